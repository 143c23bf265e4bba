#include "tfenrich/StringHash.h"

#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"

namespace {

using tfenrich::NamedIdSet;
using tfenrich::StringHash;

TEST(StringHash, HashFollowsTheSignedByteRecurrence) {
  StringHash hash;
  ASSERT_TRUE(hash.init(6017));
  EXPECT_EQ(hash.hash("abc"), 3478);
  EXPECT_EQ(hash.hash("\xE9"), 585);  // signed value -23
  EXPECT_EQ(hash.hash(""), 17);
  // A longer text against the recurrence written out independently.
  const std::string text = "V$E2F_01(human)\xC3\xA9";
  long long h = 17;
  for (unsigned char u : text) {
    const long long c = u < 128 ? u : static_cast<long long>(u) - 256;
    h = (c * c + 3 * h + 5) % 6017;
  }
  EXPECT_EQ(hash.hash(text.c_str()), h);
}

TEST(StringHash, LookupAndInsertBasics) {
  tftest::Capture capture;
  StringHash hash;
  ASSERT_TRUE(hash.init(tfenrich::tableSizeFor(2000)));
  EXPECT_EQ(hash.tableSize(), 6017);
  void* value = &hash;
  EXPECT_FALSE(hash.lookup("abc", &value));
  EXPECT_EQ(value, nullptr);

  int a = 1, b = 2;
  ASSERT_TRUE(hash.insert("gene", &a));
  ASSERT_TRUE(hash.insert("Gene", &b));  // case matters
  EXPECT_TRUE(hash.lookup("gene", &value));
  EXPECT_EQ(value, &a);
  EXPECT_TRUE(hash.lookup("Gene", &value));
  EXPECT_EQ(value, &b);
  EXPECT_FALSE(hash.lookup("GENE", &value));
  EXPECT_FALSE(hash.lookup("", &value));
  EXPECT_FALSE(hash.lookup(nullptr, &value));
  EXPECT_EQ(capture.err(), "");
}

TEST(StringHash, ReinsertingReplacesTheValueAndStillCounts) {
  StringHash hash;
  ASSERT_TRUE(hash.init(6017));
  int a = 1, b = 2;
  ASSERT_TRUE(hash.insert("E2F", &a));
  ASSERT_TRUE(hash.insert("E2F", &b));
  EXPECT_EQ(hash.stringCount(), 2);
  void* value = nullptr;
  ASSERT_TRUE(hash.lookup("E2F", &value));
  EXPECT_EQ(value, &b);
}

TEST(StringHash, CollidingTextsProbeToTheNextSlots) {
  // With 20 slots many short texts collide; every one must stay findable.
  StringHash hash;
  ASSERT_TRUE(hash.init(20));
  static int values[7];
  const char* names[7] = {"a", "b", "c", "d", "e", "f", "g"};
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(hash.insert(names[i], &values[i])) << names[i];
  for (int i = 0; i < 7; ++i) {
    void* value = nullptr;
    ASSERT_TRUE(hash.lookup(names[i], &value)) << names[i];
    EXPECT_EQ(value, &values[i]);
  }
  EXPECT_FALSE(hash.lookup("h", nullptr));
}

TEST(StringHash, FullTableRefusesFurtherTexts) {
  tftest::Capture capture;
  StringHash hash;
  ASSERT_TRUE(hash.init(20));  // accepts while the count is at most 20 / 3 = 6
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(hash.insert(std::string(1, 'a' + i).c_str(), nullptr));
  EXPECT_FALSE(hash.insert("x", nullptr));
  EXPECT_EQ(capture.err(), "ERROR: Cannot insert string to string-hash - hash is full (7 strings).\n");
  EXPECT_EQ(hash.stringCount(), 7);
}

TEST(StringHash, LengthLimits) {
  tftest::Capture capture;
  StringHash hash;
  ASSERT_TRUE(hash.init(6017));
  const std::string name200(200, 'n'), name201(201, 'n');
  EXPECT_TRUE(hash.insert(name200.c_str(), nullptr));
  EXPECT_TRUE(hash.lookup(name200.c_str(), nullptr));
  EXPECT_FALSE(hash.insert(name201.c_str(), nullptr));
  EXPECT_FALSE(hash.lookup(name201.c_str(), nullptr));
  EXPECT_FALSE(hash.insert("", nullptr));
  EXPECT_FALSE(hash.insert(nullptr, nullptr));
  EXPECT_EQ(capture.err(),
            "ERROR: Cannot insert string to string-hash (length must be 1-200).\n"
            "ERROR: Cannot insert string to string-hash (length must be 1-200).\n"
            "ERROR: Cannot insert NULL string to string-hash.\n");
  EXPECT_EQ(hash.stringCount(), 1);
}

TEST(StringHash, UninitialisedOrReleasedTableHoldsNothing) {
  tftest::Capture capture;
  StringHash hash;
  EXPECT_FALSE(hash.lookup("a", nullptr));
  EXPECT_FALSE(hash.insert("a", nullptr));
  ASSERT_TRUE(hash.init(50));
  ASSERT_TRUE(hash.insert("a", nullptr));
  hash.release();
  EXPECT_EQ(hash.tableSize(), 0);
  EXPECT_EQ(hash.stringCount(), 0);
  EXPECT_FALSE(hash.lookup("a", nullptr));
  // init on a used table starts empty.
  ASSERT_TRUE(hash.init(50));
  ASSERT_TRUE(hash.insert("a", nullptr));
  ASSERT_TRUE(hash.init(50));
  EXPECT_FALSE(hash.lookup("a", nullptr));
}

TEST(NamedIdSet, IdsFollowInsertionOrder) {
  NamedIdSet set;
  ASSERT_TRUE(set.init(2000));
  const char* names[] = {"GENE3", "gene3", "GENE1", "GENE2"};
  for (const char* name : names) ASSERT_TRUE(set.add(name));
  EXPECT_EQ(set.count(), 4);
  for (int id = 0; id < 4; ++id) {
    EXPECT_EQ(set.idOf(names[id]), id);
    EXPECT_STREQ(set.nameOf(id), names[id]);
  }
  EXPECT_EQ(set.idOf("GENE4"), -1);
  EXPECT_EQ(set.nameOf(-1), nullptr);
  EXPECT_EQ(set.nameOf(4), nullptr);
}

TEST(NamedIdSet, DuplicateNameIsRefusedAndLeavesTheSetUnchanged) {
  tftest::Capture capture;
  NamedIdSet set;
  ASSERT_TRUE(set.init(10));
  ASSERT_TRUE(set.add("A"));
  ASSERT_TRUE(set.add("B"));
  EXPECT_FALSE(set.add("A"));
  EXPECT_EQ(capture.err(), "ERROR: 'A' is already in the set.\n");
  EXPECT_EQ(set.count(), 2);
  EXPECT_EQ(set.idOf("A"), 0);
  EXPECT_EQ(set.idOf("B"), 1);
}

TEST(NamedIdSet, CapacityIsTheLimit) {
  tftest::Capture capture;
  NamedIdSet set;
  ASSERT_TRUE(set.init(2000));
  for (int i = 0; i < 2000; ++i) ASSERT_TRUE(set.add(("TF" + std::to_string(i)).c_str())) << i;
  EXPECT_FALSE(set.add("TF2000"));
  EXPECT_EQ(capture.err(), "ERROR: Too many names in set.\n");
  EXPECT_EQ(set.count(), 2000);
  for (int i = 0; i < 2000; i += 123) EXPECT_EQ(set.idOf(("TF" + std::to_string(i)).c_str()), i);
}

TEST(NamedIdSet, OverlongNameIsRefusedByTheHash) {
  tftest::Capture capture;
  NamedIdSet set;
  ASSERT_TRUE(set.init(5));
  EXPECT_FALSE(set.add(std::string(201, 'x').c_str()));
  EXPECT_EQ(capture.err(),
            "ERROR: Cannot insert string to string-hash (length must be 1-200).\n"
            "ERROR: Problems adding '" + std::string(201, 'x') + "' to hash.\n");
  EXPECT_EQ(set.count(), 0);
  EXPECT_TRUE(set.add("ok"));
  EXPECT_EQ(set.idOf("ok"), 0);
}

}  // namespace

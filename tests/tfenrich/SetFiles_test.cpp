#include "tfenrich/SetFiles.h"

#include <gtest/gtest.h>

#include <string>

#include "TestUtil.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

namespace {

using tfenrich::StringHash;

StringHash& withCapacity(StringHash& set, int capacity) {
  set.setCapacity(capacity);
  return set;
}

TEST(NameSetFiles, NamesAreTheFirstWordOfEachLine) {
  tftest::TempDir dir;
  const std::string path = dir.write("pwms.txt", "E2F_01\n  NFKB_Q6  extra words\r\nSP1\tx\nlast");
  tftest::Capture capture;
  StringHash set;
  ASSERT_TRUE(tfenrich::readPWMSet(path.c_str(), withCapacity(set, 2000)));
  EXPECT_EQ(set.tableSize(), 6017);
  EXPECT_EQ(set.stringCount(), 4);
  for (const char* name : {"E2F_01", "NFKB_Q6", "SP1", "last"}) {
    EXPECT_TRUE(set.lookup(name, nullptr)) << name;
  }
  EXPECT_FALSE(set.lookup("extra", nullptr));
  EXPECT_FALSE(set.lookup("NFKB_Q6\r", nullptr));
  EXPECT_EQ(capture.err(), "");
}

TEST(NameSetFiles, RepeatedNameIsCountedTwice) {
  tftest::TempDir dir;
  const std::string path = dir.write("bg.txt", "GENE1\nGENE2\nGENE1\n");
  StringHash set;
  ASSERT_TRUE(tfenrich::readBGSet(path.c_str(), withCapacity(set, 40000)));
  EXPECT_EQ(set.tableSize(), 120017);
  EXPECT_EQ(set.stringCount(), 3);
}

TEST(NameSetFiles, LongLinesAreReadInPiecesOf199Characters) {
  tftest::TempDir dir;
  const std::string a(199, 'a'), b(150, 'b');
  // One line of 349 characters gives two names; one of exactly 199 gives one.
  const std::string path = dir.write("pwms.txt", a + b + "\n" + std::string(199, 'c') + "\n");
  StringHash set;
  ASSERT_TRUE(tfenrich::readPWMSet(path.c_str(), withCapacity(set, 2000)));
  EXPECT_EQ(set.stringCount(), 3);
  EXPECT_TRUE(set.lookup(a.c_str(), nullptr));
  EXPECT_TRUE(set.lookup(b.c_str(), nullptr));
  EXPECT_TRUE(set.lookup(std::string(199, 'c').c_str(), nullptr));
}

TEST(NameSetFiles, Errors) {
  tftest::TempDir dir;
  const std::string missing = dir.file("missing.txt");
  const struct {
    bool pwm;
    std::string content;  // "" with missing: no file at all
    bool noFile;
    int capacity;
    std::string error;
  } cases[] = {
      {true, "", true, 2000, "ERROR: Can't read PWM-set file '" + missing + "'.\n"},
      {false, "", true, 40000, "ERROR: Can't read BG-set file '" + missing + "'.\n"},
      {true, "\nE2F\n", false, 2000,
       "ERROR: Problems reading PWM name from '" + dir.file("set.txt") + "' (line #0).\n"},
      {false, "G1\nG2\n   \nG3\n", false, 40000,
       "ERROR: Problems reading BG promoter name from '" + dir.file("set.txt") +
           "' (line #2).\n"},
      {true, "A\nB\nC\n", false, 2, "ERROR: Problems adding PWM 'C' to the PWM-set.\n"},
      {false, "G1\nG1\nG1\n", false, 2, "ERROR: Problems adding promoter 'G1' to BG-set.\n"},
  };
  for (const auto& c : cases) {
    const std::string path = c.noFile ? missing : dir.write("set.txt", c.content);
    tftest::Capture capture;
    StringHash set;
    set.setCapacity(c.capacity);
    const bool ok = c.pwm ? tfenrich::readPWMSet(path.c_str(), set)
                          : tfenrich::readBGSet(path.c_str(), set);
    EXPECT_FALSE(ok) << c.content;
    EXPECT_EQ(capture.err(), c.error) << c.content;
  }
}

TEST(NameSetFiles, EmptyFileGivesAnEmptySet) {
  tftest::TempDir dir;
  const std::string path = dir.write("empty.txt", "");
  StringHash set;
  ASSERT_TRUE(tfenrich::readBGSet(path.c_str(), withCapacity(set, 40000)));
  EXPECT_EQ(set.stringCount(), 0);
}

// Target-sets: the promoter set is G0..G4 (ids 0..4).
class TargetSetsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(promoters.init(40000));
    for (const char* name : {"G0", "G1", "G2", "G3", "G4"}) ASSERT_TRUE(promoters.add(name));
  }
  bool read(const std::string& content) {
    return tfenrich::readTargetSets(dir.write("tar.txt", content).c_str(), promoters, sets);
  }
  tftest::TempDir dir;
  tfenrich::NamedIdSet promoters;
  tfenrich::TargetSets sets;
};

TEST_F(TargetSetsFile, SetsInOrderOfFirstAppearance) {
  tftest::Capture capture;
  ASSERT_TRUE(read("G3 5\nG1\r\nG4 -2\nG0 5\nunknown 5\nG2\nG3 5\nalso_unknown 7\n"));
  ASSERT_EQ(sets.count(), 3);
  EXPECT_EQ(sets.id(0), 5);
  EXPECT_EQ(sets.members(0), (std::vector<int>{3, 0}));
  EXPECT_EQ(sets.id(1), 0);  // name-only lines
  EXPECT_EQ(sets.members(1), (std::vector<int>{1, 2}));
  EXPECT_EQ(sets.id(2), -2);
  EXPECT_EQ(sets.size(2), 1);
  EXPECT_EQ(capture.err(),
            "WARNING: Promoter #3 (G3) is already in target-set 5 - not adding.\n"
            "WARNING: Total of 2 promoters in target-sets were not found in BG set and "
            "ignored.\n");
}

TEST_F(TargetSetsFile, Errors) {
  const struct {
    const char* content;
    const char* error;
  } cases[] = {
      {"G1 0\n", "ERROR: Target-set id may not be 0 (line #0).\n"},
      {"G1 3\nG2 3\nG3 0\n", "ERROR: Target-set id may not be 0 (line #2).\n"},
      {"\nG1 3\n", "ERROR: Problems reading promoter name and/or set id (line #0).\n"},
      {"G1 3\n \t \n", "ERROR: Problems reading promoter name and/or set id (line #1).\n"},
      {"G1 99999999999\n", "ERROR: Problems reading promoter name and/or set id (line #0).\n"},
  };
  for (const auto& c : cases) {
    tftest::Capture capture;
    EXPECT_FALSE(read(c.content)) << c.content;
    EXPECT_EQ(capture.err(), c.error) << c.content;
  }
  tftest::Capture capture;
  EXPECT_FALSE(tfenrich::readTargetSets(dir.file("none.txt").c_str(), promoters, sets));
  EXPECT_EQ(capture.err(), "ERROR: Can't read target-sets file '" + dir.file("none.txt") + "'.\n");
}

TEST(TargetSets, LimitsOnSetsAndMembers) {
  tftest::Capture capture;
  tfenrich::TargetSets sets;
  ASSERT_TRUE(sets.init());
  for (int id = 1; id <= 2000; ++id) ASSERT_TRUE(sets.add(0, "G0", id));
  EXPECT_FALSE(sets.add(0, "G0", 2001));
  EXPECT_TRUE(sets.add(1, "G1", 2000));  // existing sets still grow
  EXPECT_EQ(capture.err(), "ERROR: Too many target-sets.\n");

  ASSERT_TRUE(sets.init());
  EXPECT_EQ(sets.count(), 0);
  for (int p = 0; p < 40000; ++p) ASSERT_TRUE(sets.add(p, "G", 9));
  EXPECT_FALSE(sets.add(40000, "G", 9));
  EXPECT_EQ(sets.size(0), 40000);
  EXPECT_EQ(capture.err(),
            "ERROR: Too many target-sets.\nERROR: Target-set 9 too large.\n");
}

}  // namespace

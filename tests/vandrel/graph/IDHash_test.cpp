// Id hash: growth, bucket placement, iteration order, erase promotion,
// copies and misuse of iterators and cells.

#include "vandrel/graph/IDHash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

std::vector<unsigned int> IterIDs(const CIDHash<int>& h) {
  std::vector<unsigned int> ids;
  for (CHashIter<int> it = h.Begin(); it != h.End(); ++it) ids.push_back(it.GetConstPointed().first);
  return ids;
}

// Independent model of the table: buckets as vectors of ids, growth and
// promotion as the rules state them.
struct ModelHash {
  std::vector<std::vector<unsigned int>> buckets = std::vector<std::vector<unsigned int>>(4);
  int count = 0;
  bool Has(unsigned int id) const {
    const auto& b = buckets[id % buckets.size()];
    return std::find(b.begin(), b.end(), id) != b.end();
  }
  std::vector<unsigned int> Order() const {
    std::vector<unsigned int> out;
    for (const auto& b : buckets) out.insert(out.end(), b.begin(), b.end());
    return out;
  }
  void Insert(unsigned int id) {
    if (Has(id)) return;
    if (buckets.size() * 0.5 <= count) {
      std::vector<unsigned int> order = Order();
      buckets.assign(buckets.size() * 2, {});
      for (unsigned int x : order) buckets[x % buckets.size()].push_back(x);
    }
    buckets[id % buckets.size()].push_back(id);
    ++count;
  }
  void Erase(unsigned int id) {
    auto& b = buckets[id % buckets.size()];
    b.erase(std::find(b.begin(), b.end(), id));
    --count;
  }
};

TEST(IDHashTest, GrowsBeforeInsertingWhenHalfFull) {
  CIDHash<int> h;
  EXPECT_EQ(h.GetBucketCount(), 4);
  const int expected[] = {4, 4, 8, 8, 16, 16, 16, 16, 32};
  for (unsigned int id = 0; id < 9; ++id) {
    h[id] = static_cast<int>(id) * 10;
    EXPECT_EQ(h.GetBucketCount(), expected[id]) << "after inserting id " << id;
    EXPECT_EQ(h.Size(), static_cast<int>(id) + 1);
  }
  // Writing to present ids never grows the table.
  for (unsigned int id = 0; id < 9; ++id) h[id] += 1;
  EXPECT_EQ(h.GetBucketCount(), 32);
  for (unsigned int id = 0; id < 9; ++id) EXPECT_EQ(static_cast<const CIDHash<int>&>(h)[id], static_cast<int>(id) * 10 + 1);
}

TEST(IDHashTest, SharedBucketOrderAndGrowthRedistribution) {
  CIDHash<int> h;
  h[1] = 11;
  h[5] = 55;
  EXPECT_EQ(h.GetBucketCount(), 4);
  EXPECT_EQ(IterIDs(h), (std::vector<unsigned int>{1, 5}));
  CHashIter<int> it5 = h.Find(5);
  EXPECT_EQ(it5.GetBucket(), 1);
  EXPECT_EQ(it5.GetPosition(), 0);

  // 9 forces growth to 8 buckets: 1 -> bucket 1, 5 -> bucket 5, 9 behind 1.
  h[9] = 99;
  EXPECT_EQ(h.GetBucketCount(), 8);
  EXPECT_EQ(IterIDs(h), (std::vector<unsigned int>{1, 9, 5}));

  // Erasing the first entry of a bucket promotes its oldest overflow entry.
  h.Erase(1);
  EXPECT_EQ(IterIDs(h), (std::vector<unsigned int>{9, 5}));
  CHashIter<int> it9 = h.Find(9);
  EXPECT_EQ(it9.GetBucket(), 1);
  EXPECT_EQ(it9.GetPosition(), -1);
  EXPECT_EQ(it9.GetPointed().second, 99);
}

TEST(IDHashTest, EraseFromFirstWithoutGrowth) {
  CIDHash<int> h;
  h[1] = 1;
  h[5] = 5;
  h.Erase(1);
  EXPECT_EQ(IterIDs(h), (std::vector<unsigned int>{5}));
  EXPECT_EQ(h.Find(5).GetPosition(), -1);
  EXPECT_EQ(h.Find(1), h.End());
  EXPECT_EQ(h.Size(), 1);
}

TEST(IDHashTest, NegativeIdUsesUnsignedValue) {
  CIDHash<int> h;
  const int minusOne = -1;
  h[static_cast<unsigned int>(minusOne)] = 7;
  CHashIter<int> it = h.Find(static_cast<unsigned int>(minusOne));
  EXPECT_EQ(it.GetBucket(), 3);
  EXPECT_EQ(it.GetConstPointed().second, 7);
  EXPECT_EQ(it.GetConstPointed().first, 4294967295u);
}

TEST(IDHashTest, ConstAccessOfAbsentIdThrowsMutableInsertsZero) {
  CIDHash<double> h;
  const CIDHash<double>& ch = h;
  try {
    (void)ch[3];
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CIDHash::operator[] (const) - key does not exist in hash");
  }
  EXPECT_EQ(h.Size(), 0);
  EXPECT_EQ(h[3], 0.0);
  EXPECT_EQ(h.Size(), 1);
  CIDHash<bool> flags;
  EXPECT_FALSE(flags[12]);
  EXPECT_EQ(flags.Size(), 1);
}

TEST(IDHashTest, IteratorMisuseThrows) {
  CIDHash<int> h;
  EXPECT_EQ(h.Begin(), h.End());
  CHashIter<int> end = h.End();
  try {
    ++end;
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashIter::opertor++ - iterator is not incrementeable");
  }
  try {
    end.GetPointed();
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashIter::GetPointed - iterator is irreferenceable");
  }
  try {
    end.GetConstPointed();
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashIter::GetConstPointed - iterator is irreferenceable");
  }
  // An iterator into a bucket that became empty is not dereferenceable.
  h[2] = 1;
  CHashIter<int> it = h.Find(2);
  h.Erase(2);
  try {
    it.GetConstPointed();
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashIter::GetConstPointed - iterator is irreferenceable");
  }
}

TEST(IDHashTest, CellPositionsAndErrors) {
  CHashCell<int> cell;
  try {
    cell[-1];
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashCell::operator[] - Index is out of scope");
  }
  try {
    cell.Erase(-1);
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "HashCell::Erase - Element index is out of scope");
  }
  cell.Insert(CHashEntry<int>(4, 40));
  cell.Insert(CHashEntry<int>(8, 80));
  cell.Insert(CHashEntry<int>(12, 120));
  EXPECT_EQ(cell[-1].first, 4u);
  EXPECT_EQ(cell[0].first, 8u);
  EXPECT_EQ(cell[1].first, 12u);
  try {
    cell[2];
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CHashCell::operator[] - Index is out of scope");
  }
  cell.Erase(0);  // middle overflow entry: later entries close up
  EXPECT_EQ(cell[0].first, 12u);
  EXPECT_EQ(cell.RestSize(), 1);
  cell.Erase(-1);  // promotes 12
  EXPECT_EQ(cell[-1].first, 12u);
  EXPECT_EQ(cell.RestSize(), 0);
  cell.Erase(-1);
  EXPECT_TRUE(cell.IsEmpty());
}

TEST(IDHashTest, CopiesIterateLikeTheSource) {
  CIDHash<int> h;
  // Ids colliding heavily so that buckets have overflow entries, then erase
  // some first entries so the source's order is not insertion order.
  const unsigned int ids[] = {3, 67, 131, 35, 99, 7, 71, 1, 65, 129, 193, 257};
  for (unsigned int id : ids) h[id] = static_cast<int>(id) + 1;
  h.Erase(3);
  h.Erase(1);
  h[3] = 4;
  const std::vector<unsigned int> order = IterIDs(h);
  CIDHash<int> copy(h);
  EXPECT_EQ(IterIDs(copy), order);
  EXPECT_EQ(copy.GetBucketCount(), h.GetBucketCount());
  CIDHash<int> assigned;
  assigned[1000] = 1;
  assigned = h;
  EXPECT_EQ(IterIDs(assigned), order);
  EXPECT_EQ(assigned.Size(), h.Size());
  // Deep copy: writing the copy leaves the source alone.
  copy[67] = -5;
  EXPECT_EQ(static_cast<const CIDHash<int>&>(h)[67], 68);
}

TEST(IDHashTest, ClearKeepsBucketCount) {
  CIDHash<int> h;
  for (unsigned int id = 0; id < 30; ++id) h[id] = 1;
  EXPECT_EQ(h.GetBucketCount(), 64);
  h.Clear();
  EXPECT_EQ(h.Size(), 0);
  EXPECT_EQ(h.GetBucketCount(), 64);
  EXPECT_EQ(h.Begin(), h.End());
  h[70] = 2;
  EXPECT_EQ(h.Find(70).GetBucket(), 6);
}

TEST(IDHashTest, EraseOfAbsentIdThrowsAndKeepsHash) {
  CIDHash<int> h;
  h[1] = 1;
  try {
    h.Erase(5);
    FAIL() << "no throw";
  } catch (const char* m) {
    EXPECT_STREQ(m, "HashCell::Erase - Element index is out of scope");
  }
  EXPECT_EQ(h.Size(), 1);
  EXPECT_EQ(IterIDs(h), (std::vector<unsigned int>{1}));
}

// Random inserts and erases against the independent model: same order, same
// values, same bucket count.
TEST(IDHashTest, MatchesModelUnderRandomOperations) {
  CIDHash<int> h;
  ModelHash model;
  std::map<unsigned int, int> values;
  unsigned int state = 12345;
  auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7fff;
  };
  for (int step = 0; step < 4000; ++step) {
    const unsigned int id = next() % 300 * 7;  // many shared buckets
    if (next() % 3 == 0 && model.Has(id)) {
      h.Erase(id);
      model.Erase(id);
      values.erase(id);
    } else {
      h[id] = step;
      model.Insert(id);
      values[id] = step;
    }
    if (step % 97 == 0) {
      ASSERT_EQ(IterIDs(h), model.Order()) << "step " << step;
      ASSERT_EQ(h.GetBucketCount(), static_cast<int>(model.buckets.size()));
    }
  }
  EXPECT_EQ(IterIDs(h), model.Order());
  EXPECT_EQ(h.Size(), model.count);
  for (const auto& kv : values) EXPECT_EQ(static_cast<const CIDHash<int>&>(h)[kv.first], kv.second);
}

}  // namespace

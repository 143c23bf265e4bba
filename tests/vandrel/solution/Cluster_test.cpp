#include "vandrel/solution/Cluster.h"

#include <gtest/gtest.h>

#include <list>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/data/Fingerprint.h"

namespace {

using IDs = std::list<unsigned int>;

TEST(Cluster, UniteAppendsTheOtherMembersInOrderAndEmptiesIt) {
  CCluster a(IDs{4, 1});
  CCluster b(std::vector<unsigned int>{7, 2, 9});
  EXPECT_EQ(a.Unite(b), 3u);
  EXPECT_EQ(a.GetMembers(), (IDs{4, 1, 7, 2, 9}));
  EXPECT_EQ(a.GetSize(), 5u);
  EXPECT_TRUE(b.GetMembers().empty());
  EXPECT_EQ(b.GetSize(), 0u);
  // Uniting with an empty cluster moves nothing.
  EXPECT_EQ(a.Unite(b), 0u);
  EXPECT_EQ(a.GetSize(), 5u);
}

TEST(Cluster, AddAndRemoveMembersKeepTheSizeInStep) {
  CCluster c(IDs{3, 5, 8});
  c.AddMember(11);
  EXPECT_TRUE(c.RemoveMember(5));
  EXPECT_FALSE(c.RemoveMember(42));
  EXPECT_EQ(c.GetMembers(), (IDs{3, 8, 11}));
  EXPECT_EQ(c.GetSize(), 3u);
}

// Fingerprints of a fixed length built straight from values (no handler).
class FPClusterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    CFingerprint::SetLength(3);
  }
  void TearDown() override { ResetFingerprintStateForTests(); }

  static CNormFP FP(float a, float b, float c) {
    std::istringstream in(std::to_string(a) + " " + std::to_string(b) + " " +
                          std::to_string(c));
    CFingerprint raw(in);
    return CNormFP(raw, 1, raw, 0);  // exactly the raw values
  }
  static std::vector<float> Values(const CNormFP& fp) {
    return {fp[0], fp[1], fp[2]};
  }
};

TEST_F(FPClusterTest, UniteMakesTheCentroidTheMeanOfAllMembers) {
  // Members {1,2,3},{3,2,1} (mean {2,2,2}) and {8,0,4},{0,8,4},{4,4,4}
  // (mean {4,4,4}); all five average to {3.2,3.2,3.2}.
  CFPCluster a(IDs{0, 1}, FP(2, 2, 2));
  CFPCluster b(IDs{2, 3, 4}, FP(4, 4, 4));
  EXPECT_EQ(a.Unite(b), 3u);
  EXPECT_EQ(a.GetMembers(), (IDs{0, 1, 2, 3, 4}));
  for (float v : Values(a.GetCentroid())) EXPECT_FLOAT_EQ(v, 3.2f);
  // The other cluster keeps its centroid but has no members left.
  EXPECT_EQ(b.GetSize(), 0u);
  for (float v : Values(b.GetCentroid())) EXPECT_FLOAT_EQ(v, 4.0f);
}

TEST_F(FPClusterTest, UniteWithAPlainClusterFails) {
  CFPCluster a(IDs{0}, FP(1, 0, 0));
  CCluster plain(IDs{1});
  try {
    a.Unite(plain);
    FAIL() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CFPCluster::Unite - other cluster not of CFPCluster type");
  }
  EXPECT_EQ(a.GetSize(), 1u);
  EXPECT_EQ(plain.GetSize(), 1u);
  // Uniting a cluster with itself moves nothing and keeps its centroid.
  EXPECT_EQ(a.Unite(a), 0u);
  EXPECT_EQ(a.GetSize(), 1u);
  EXPECT_EQ(Values(a.GetCentroid()), (std::vector<float>{1, 0, 0}));
}

TEST_F(FPClusterTest, CopiesOwnTheirCentroid) {
  CFPCluster a(IDs{0, 1}, FP(1, 2, 3));
  CFPCluster copy(a);
  a.SetCentroid(FP(9, 9, 9));
  EXPECT_EQ(Values(copy.GetCentroid()), (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(copy.GetMembers(), (IDs{0, 1}));
  copy = a;
  EXPECT_EQ(Values(copy.GetCentroid()), (std::vector<float>{9, 9, 9}));
}

}  // namespace

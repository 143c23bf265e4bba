#include <unistd.h>
#include "vandrel/solution/Solution.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <list>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/solution/Cluster.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"

namespace {

using IDs = std::list<unsigned int>;

// A graph of n elements named e0, e1, ... (vertex index = element id).
class SolutionTest : public ::testing::Test {
 protected:
  void MakeGraph(unsigned int n) {
    m_names.clear();
    m_names.reserve(n);  // vertices keep pointers to the names
    for (unsigned int i = 0; i < n; ++i) m_names.push_back("e" + std::to_string(i));
    m_graph.reset(new CSimilarityGraph(static_cast<const CSimDistrib*>(nullptr)));
    for (unsigned int i = 0; i < n; ++i) m_graph->PushBackV(&m_names[i], i);
  }
  static std::vector<const CCluster*> Ptrs(const std::vector<CCluster>& cs) {
    std::vector<const CCluster*> out;
    for (const CCluster& c : cs) out.push_back(&c);
    return out;
  }
  std::vector<unsigned int> Indices(const CSolution& s) const {
    std::vector<unsigned int> out;
    for (const auto& e : s.GetElements()) out.push_back(e.GetClusterIndex());
    return out;
  }

  std::vector<std::string> m_names;
  std::unique_ptr<CSimilarityGraph> m_graph;
};

TEST_F(SolutionTest, ClustersAreIndexedByDecreasingSizeWithTheSelectionSortOrder) {
  // Sizes 3, 2, 2', 3' in input order end as 3, 3', 2', 2.
  MakeGraph(12);
  std::vector<CCluster> cs = {CCluster(IDs{0, 1, 2}), CCluster(IDs{3, 4}),
                              CCluster(IDs{5, 6}), CCluster(IDs{7, 8, 9})};
  CSDSolution s(Ptrs(cs), *m_graph);
  EXPECT_EQ(s.GetClusterRank(), (std::vector<unsigned int>{0, 3, 2, 1}));
  EXPECT_EQ(s.GetClusterSizes(), (std::vector<unsigned int>{3, 3, 2, 2}));
  EXPECT_EQ(Indices(s),
            (std::vector<unsigned int>{1, 1, 1, 4, 4, 3, 3, 2, 2, 2, 0, 0}));
  EXPECT_EQ(s.GetClustersNum(), 4u);
  EXPECT_EQ(s.GetSingletonsNum(), 2u);
  EXPECT_EQ(s.GetElements()[7].GetName(), "e7");
}

TEST_F(SolutionTest, NoClustersLeavesEveryElementASingleton) {
  MakeGraph(3);
  CSDSolution s({}, *m_graph);
  EXPECT_EQ(Indices(s), (std::vector<unsigned int>{0, 0, 0}));
  EXPECT_EQ(s.GetSingletonsNum(), 3u);
  EXPECT_EQ(s.GetClustersNum(), 0u);
}

TEST_F(SolutionTest, InconsistentClustersFail) {
  MakeGraph(4);
  struct Case {
    std::vector<CCluster> clusters;
    const char* message;
  };
  const Case cases[] = {
      {{CCluster(IDs{0, 4})},
       "CSolution constructor - element id is out of graph scope"},
      {{CCluster(IDs{0, 1}), CCluster(IDs{2, 1})},
       "CSolution::CElement::SetClusterIndex - element already indexed"},
  };
  for (const Case& c : cases) {
    try {
      CSDSolution s(Ptrs(c.clusters), *m_graph);
      ADD_FAILURE() << "no failure for " << c.message;
    } catch (const char* m) {
      EXPECT_STREQ(m, c.message);
    }
  }
}

TEST_F(SolutionTest, MostCommonClusterIndex) {
  MakeGraph(10);
  // Cluster indices: {0,1,2,3} -> 1, {4,5,6} -> 2, {7,8} -> 3; 9 singleton.
  std::vector<CCluster> cs = {CCluster(IDs{0, 1, 2, 3}), CCluster(IDs{4, 5, 6}),
                              CCluster(IDs{7, 8})};
  CSDSolution s(Ptrs(cs), *m_graph);
  struct Case {
    IDs members;
    unsigned int index, count;
  };
  const Case cases[] = {
      {{7, 8, 0, 1}, 1, 2},     // 2 in cluster 3, 2 in cluster 1: smaller wins
      {{9, 9, 9, 4}, 2, 1},     // singletons never answer
      {{5, 6, 7, 9}, 2, 2},
      {{9}, 1, 0},              // nothing in any cluster
  };
  for (const Case& c : cases) {
    CSolution::CCommonInfo info = s.GetClusterIndex(CCluster(c.members));
    EXPECT_EQ(info.m_clusterIndex, c.index);
    EXPECT_EQ(info.m_commonNum, c.count);
  }
  try {
    s.GetClusterIndex(CCluster(IDs{1, 10}));
    ADD_FAILURE() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CSolution::GetClusterIndex - index is out of scope");
  }
}

TEST_F(SolutionTest, WithOneClusterTheAnswerIsIndexOne) {
  MakeGraph(3);
  std::vector<CCluster> cs = {CCluster(IDs{1, 2})};
  CSDSolution s(Ptrs(cs), *m_graph);
  CSolution::CCommonInfo info = s.GetClusterIndex(CCluster(IDs{0, 2}));
  EXPECT_EQ(info.m_clusterIndex, 1u);
  EXPECT_EQ(info.m_commonNum, 1u);
}

TEST_F(SolutionTest, SaveWritesOneLinePerElementInIdOrder) {
  MakeGraph(4);
  std::vector<CCluster> cs = {CCluster(IDs{3}), CCluster(IDs{2, 0})};
  CSDSolution s(Ptrs(cs), *m_graph);
  const std::string name = ::testing::TempDir() + std::to_string(getpid()) + "_solution_test_out.res";
  std::remove((name + ".sol").c_str());
  s.Save(name);
  std::ifstream in(name + ".sol", std::ios::binary);
  ASSERT_TRUE(in.is_open());
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(), "e0\t1\ne1\t0\ne2\t1\ne3\t2\n");
  std::remove((name + ".sol").c_str());
}

TEST_F(SolutionTest, SaveToAMissingFolderFails) {
  MakeGraph(1);
  CSDSolution s({}, *m_graph);
  try {
    s.Save(::testing::TempDir() + "no_such_dir_for_solution/x.res");
    FAIL() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m, "CSolution::Save - problems opening output file");
  }
}

// A fingerprint graph over four elements (dot-product measure, length 2).
class FPSolutionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFingerprintStateForTests();
    m_handler.reset(new CDotProductSimHandler(new CMeanSqNorm(0), new CDotProductSim()));
    CNormFP::SetSimilarityHandler(m_handler.get());
    if (CNormDistrib::m_manyDraws.empty()) CNormDistrib::InitManyDraws();
    const std::string prefix = ::testing::TempDir() + std::to_string(getpid()) + "_fp_solution_data";
    {
      std::ofstream orig(prefix + ".orig");
      orig << "4 2\nw 1 0\nx 0 1\ny 1 1\nz 2 1\n";
      std::ofstream model(prefix + ".dp.distrib");
      model << "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\n"
            << "NormDistrib\nEXP\t0.2\nSTD\t0.2\n";
    }
    std::remove((prefix + ".dp.sim").c_str());
    m_files = {prefix + ".orig", prefix + ".dp.distrib", prefix + ".dp.sim"};
    m_analyzer.reset(new CFPDataFileAnalyzer(prefix));
    m_data.reset(new CSIMnFPData(*m_analyzer, -1000000.0));
    m_graph.reset(new CFPGraph(*m_data, -1000000.0));
  }
  void TearDown() override {
    m_graph.reset();
    m_data.reset();
    m_analyzer.reset();
    ResetFingerprintStateForTests();
    for (const std::string& file : m_files) std::remove(file.c_str());
  }

  std::vector<std::string> m_files;  // written by SetUp, removed at the end
  std::unique_ptr<CSimilarityHandler> m_handler;
  std::unique_ptr<CFPDataFileAnalyzer> m_analyzer;
  std::unique_ptr<CSIMnFPData> m_data;
  std::unique_ptr<CFPGraph> m_graph;
};

TEST_F(FPSolutionTest, CentroidsFollowTheClusterIndices) {
  const CNormFP& w = *m_graph->GetNormFP(0);
  const CNormFP& z = *m_graph->GetNormFP(3);
  // The second input cluster is the larger one and becomes cluster 1.
  CFPCluster small(IDs{3}, z);
  CFPCluster large(IDs{0, 2}, w);
  CFPSolution s({&small, &large}, *m_graph);
  ASSERT_EQ(s.GetCentroids().size(), 2u);
  EXPECT_EQ(s.GetCentroids()[0][0], w[0]);
  EXPECT_EQ(s.GetCentroids()[0][1], w[1]);
  EXPECT_EQ(s.GetCentroids()[1][0], z[0]);
  EXPECT_EQ(s.GetCentroids()[1][1], z[1]);
  EXPECT_EQ(s.GetNormFPs(), m_graph->m_normFPs);
  std::vector<unsigned int> indices;
  for (const auto& e : s.GetElements()) indices.push_back(e.GetClusterIndex());
  EXPECT_EQ(indices, (std::vector<unsigned int>{1, 0, 1, 2}));
  EXPECT_EQ(s.GetElements()[3].GetName(), "z");
}

TEST_F(FPSolutionTest, PlainClustersAreRejected) {
  CFPCluster fp(IDs{0}, *m_graph->GetNormFP(0));
  CCluster plain(IDs{1});
  try {
    CFPSolution s({&fp, &plain}, *m_graph);
    FAIL() << "no failure";
  } catch (const char* m) {
    EXPECT_STREQ(m,
                 "CFPSolution constructor - clusters are not of CFPCluster type, "
                 "casting failed");
  }
}

}  // namespace

// Fingerprint graphs and components: fingerprints stay aligned with vertex
// indices through subgraphs, re-indexing and vertex removal; FP components
// create the fingerprint minimum cut.

#include <unistd.h>
#include "vandrel/graph/SimilarityGraph.h"

#include <gtest/gtest.h>

#include <fstream>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "vandrel/data/FPData.h"
#include "vandrel/data/SimDataTestUtil.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/mincut/MinCut.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

#include "vandrel/ThrowMessage.h"

namespace {


const CSimDistrib& Model() {
  static std::unique_ptr<CSimDistrib> model;
  if (!model) {
    const std::string prefix = ::testing::TempDir() + std::to_string(getpid()) + "_fpgraph_model";
    std::ofstream out(prefix + ".distrib");
    out << "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\nNormDistrib\nEXP\t0\nSTD\t0.3\n";
    out.close();
    model.reset(new CSimDistrib(prefix));
    std::remove((prefix + ".distrib").c_str());
  }
  return *model;
}

// FP graph with stand-in fingerprint pointers (never dereferenced here).
class TestFPGraph : public CFPGraph {
public:
  TestFPGraph(const std::vector<unsigned int>& ids, const std::vector<const CNormFP*>& fps)
      : CSimilarityGraph(&Model()), CFPGraph() {
    for (unsigned int id : ids) PushBackV(nullptr, id);
    m_normFPs = fps;
  }
};

TEST(FPGraphTest, FingerprintsFollowVertexIndices) {
  char tokens[5] = {0, 0, 0, 0, 0};
  std::vector<const CNormFP*> fp;
  for (char& t : tokens) fp.push_back(reinterpret_cast<const CNormFP*>(&t));
  TestFPGraph g({1, 2, 3, 4, 5}, fp);
  new CEdge(g.GetVByIndex(0), g.GetVByIndex(2), 1.0);
  new CEdge(g.GetVByIndex(2), g.GetVByIndex(4), 1.0);
  EXPECT_THROW_MSG(g.GetNormFP(5), "CFPGraph::GetNormFP - index is out of scope");
  EXPECT_THROW_MSG(g.GetNormFP(-1), "CFPGraph::GetNormFP - index is out of scope");

  CFPComponent sub(g, std::vector<int>{4, 0, 2});
  ASSERT_EQ(sub.GetNormFPs().size(), 3u);
  EXPECT_EQ(sub.GetNormFP(0), fp[4]);
  EXPECT_EQ(sub.GetNormFP(1), fp[0]);
  EXPECT_EQ(sub.GetNormFP(2), fp[2]);
  EXPECT_THROW_MSG(sub.GetNormFP(3), "CFPGraph::GetNormFP - index is out of scope");
  EXPECT_EQ(sub.GetEdgesNum(), 2);

  CFPGraph subGraph(g, std::list<int>{3, 1});
  EXPECT_EQ(subGraph.GetNormFP(0), fp[3]);
  EXPECT_EQ(subGraph.GetNormFP(1), fp[1]);

  // Isolated vertices 2 and 4 leave together with their fingerprints.
  EXPECT_EQ(g.RemoveIsolatedVertices(), (std::list<unsigned int>{2, 4}));
  EXPECT_EQ(g.GetNormFPs(), (std::vector<const CNormFP*>{fp[0], fp[2], fp[4]}));

  // Re-indexing keeps the fingerprints of the live slots, in order.
  g.DeleteVertices(std::vector<int>{1});
  CFPComponent rest(&g);
  EXPECT_EQ(rest.GetIDsVector(), (std::vector<unsigned int>{1, 5}));
  EXPECT_EQ(rest.GetNormFPs(), (std::vector<const CNormFP*>{fp[0], fp[4]}));
  CFPGraph again(static_cast<CFPGraph*>(&rest));
  EXPECT_EQ(again.GetNormFPs(), rest.GetNormFPs());
}

TEST(FPGraphTest, FPComponentCreatesFPMinCut) {
  char tokens[3] = {0, 0, 0};
  std::vector<const CNormFP*> fp;
  for (char& t : tokens) fp.push_back(reinterpret_cast<const CNormFP*>(&t));
  TestFPGraph g({1, 2, 3}, fp);
  new CEdge(g.GetVByIndex(0), g.GetVByIndex(1), 1.0);
  new CEdge(g.GetVByIndex(1), g.GetVByIndex(2), 2.0);
  CFPComponent c(&g);
  CComponent& asComponent = c;
  asComponent.CreateMinCut(false);
  EXPECT_NE(dynamic_cast<CFPMinCut*>(c.GetMinCut()), nullptr);
}


// Graphs built from fingerprint similarity tables: all elements and a listed
// subset, each vertex pointing at its element's fingerprint in the table.
TEST(FPGraphTest, BuiltFromFingerprintData) {
  simdata_test::TempDir dir;
  simdata_test::HandlerScope handler(true);
  simdata_test::WriteOrig(dir / "fp", simdata_test::MakeProfiles(16, 10, 9));
  vandrel::Srand(3);
  CFPDataFileAnalyzer analyzer(dir / "fp");
  const double th = 0.3;

  CSIMnFPData all(analyzer, th);
  CFPGraph g(all, th);
  ASSERT_EQ(g.GetVerticesNum(), 16);
  ASSERT_EQ(g.GetNormFPs().size(), 16u);
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(g.GetVByIndex(i)->m_id, static_cast<unsigned int>(i));
    EXPECT_EQ(g.GetNormFP(i), &all.GetNormFPMtx()[static_cast<unsigned int>(i)]);
  }
  long long stored = 0;
  for (const CSimilarityData::CElement& e : all.GetValues()) {
    if (!(e.m_value > th)) continue;
    ++stored;
    const CEdge* edge = g.GetVByIndex(static_cast<int>(e.m_first))->FindEdge(g.GetVByIndex(static_cast<int>(e.m_second)));
    ASSERT_NE(edge, nullptr);
    EXPECT_EQ(edge->m_weight, all.GetSimDistrib()->CalcLogRatio(e.m_value));
  }
  EXPECT_GT(stored, 0);
  EXPECT_EQ(g.GetEdgesNum(), stored);
  EXPECT_THROW_MSG(g.GetNormFP(16), "CFPGraph::GetNormFP - index is out of scope");

  // A listed subset in list order (vertex index = list position).
  const std::vector<unsigned int> ids{9, 2, 14, 5};
  CFPGraph sub(all, th, ids);
  EXPECT_EQ(sub.GetIDsVector(), ids);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(sub.GetNormFP(k), &all.GetNormFPMtx()[ids[k]]);
  for (int a = 0; a < 4; ++a)
    for (int b = a + 1; b < 4; ++b) {
      const bool inFull = g.GetVByIndex(static_cast<int>(ids[a]))->FindEdge(g.GetVByIndex(static_cast<int>(ids[b]))) != nullptr;
      EXPECT_EQ(sub.GetVByIndex(a)->FindEdge(sub.GetVByIndex(b)) != nullptr, inFull) << ids[a] << "-" << ids[b];
    }
  EXPECT_THROW_MSG(CFPGraph(all, th, std::vector<unsigned int>{3, 99}),
                   "CIDHash::operator[] (const) - key does not exist in hash");
}

}  // namespace

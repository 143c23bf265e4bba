// Kernel finding: the effective homogeneity and adoption threshold, the
// recursive kernel test and cut, and whole kernel-finding runs on graphs with
// known structure.
#include "vandrel/engine/FullZelk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "vandrel/data/SimilarityData.h"
#include "vandrel/engine/KernelFixtures.h"
#include "vandrel/engine/Evaluators.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/solution/Cluster.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using SDZelk = CFullZelk<CSDExtendedTypeTags>;
using SDBasic = CBasicZelk<CSDExtendedTypeTags>;

const CSimDistrib& Model() { return kerneltest::SeparatedModel(); }

// A similarity table filled directly; element id = index.
class TableData : public CSimilarityData {
 public:
  explicit TableData(unsigned int n) {
    for (unsigned int i = 0; i < n; ++i) m_names.push_back("g" + std::to_string(i));
    m_counters.assign(n, CValuesCounter());
    m_idToIndex.reset(new CIDHash<unsigned int>());
    for (unsigned int i = 0; i < n; ++i) (*m_idToIndex)[i] = i;
    SetSimDistrib(std::unique_ptr<CSimDistrib>(new CSimDistrib(Model())));
  }
  void Add(unsigned int a, unsigned int b, double v) { AddValue(a, b, v); }
  // Every pair of [first, last) with similarity v.
  void Clique(unsigned int first, unsigned int last, double v) {
    for (unsigned int i = first; i < last; ++i)
      for (unsigned int j = i + 1; j < last; ++j) Add(i, j, v);
  }
};

std::set<unsigned int> Range(unsigned int first, unsigned int last) {
  std::set<unsigned int> s;
  for (unsigned int i = first; i < last; ++i) s.insert(i);
  return s;
}

std::set<unsigned int> AsSet(const std::list<unsigned int>& ids) {
  return std::set<unsigned int>(ids.begin(), ids.end());
}

COwningHandle<CComponent> WholeAsComponent(const CSimilarityData& data) {
  CSimilarityGraph* g = new CSimilarityGraph(data, -1000000.0);
  COwningHandle<CComponent> c(new CComponent(g));
  delete g;
  return c;
}

struct ThresholdCase {
  double homogeneity, adoptTh;
  bool hhIsMatesMean;
  double hh, a;  // expected (hh ignored when it is the mates mean)
};

TEST(FullZelkThresholds, EffectiveHomogeneityAndAdoptionThreshold) {
  CSimilarityGraph g(&Model());
  const double matesMean = Model().GetDistrib(0)->GetExp();
  const ThresholdCase cases[] = {
      {-10000000.0, -3000000.0, false, -10000000.0, -3000000.0},  // none supplied
      {0.5, -3000000.0, false, 0.5, 0.5},  // the FP default threshold follows h
      {0.5, 0.0, false, 0.5, 0.0},         // any other threshold stays
      {1.0, -3000000.0, true, 0, -3000000.0},
      {0.0, 0.0, true, 0, 0.0},
      {-2.0, -3000000.0, true, 0, -3000000.0},
  };
  for (const ThresholdCase& c : cases) {
    double hh = 0, a = 0;
    SDZelk::EffectiveThresholds(g, c.homogeneity, c.adoptTh, &hh, &a);
    EXPECT_EQ(hh, c.hhIsMatesMean ? matesMean : c.hh) << "h = " << c.homogeneity;
    EXPECT_EQ(a, c.a) << "h = " << c.homogeneity;
  }
}

TEST(BasicZelk, ComponentOfAtMostMinSizeIsGivenUp) {
  TableData data(14);
  data.Clique(0, 14, 0.9);
  SDBasic basic(WholeAsComponent(data), 14, -10000000.0);
  EXPECT_TRUE(basic.m_kernels.empty());
  EXPECT_EQ(basic.m_singletonsNum, 14u);
  EXPECT_EQ(AsSet(basic.m_singletons), Range(0, 14));
}

TEST(BasicZelk, TightCliqueIsOneKernel) {
  TableData data(20);
  data.Clique(0, 20, 0.85);
  SDBasic basic(WholeAsComponent(data), 14, -10000000.0);
  ASSERT_EQ(basic.m_kernels.size(), 1u);
  EXPECT_EQ(AsSet(basic.m_kernels.front()->GetMembers()), Range(0, 20));
  EXPECT_EQ(basic.m_singletonsNum, 0u);
}

// Two cliques joined by a single weak edge fail the kernel test as a whole;
// the cut separates them and each side is a kernel.
TEST(BasicZelk, WeaklyJoinedCliquesAreCutIntoTwoKernels) {
  TableData data(40);
  data.Clique(0, 20, 0.85);
  data.Clique(20, 40, 0.85);
  data.Add(5, 25, 0.5);
  SDBasic basic(WholeAsComponent(data), 14, -10000000.0);
  ASSERT_EQ(basic.m_kernels.size(), 2u);
  std::set<std::set<unsigned int>> kernels;
  for (const auto& k : basic.m_kernels) kernels.insert(AsSet(k->GetMembers()));
  EXPECT_EQ(kernels, (std::set<std::set<unsigned int>>{Range(0, 20), Range(20, 40)}));
  EXPECT_EQ(basic.m_singletonsNum, 0u);
}

// A whole kernel-finding run: two planted groups become kernels, an element
// tied strongly to one group is adopted into it, and unrelated elements stay
// singletons.
TEST(FullZelk, FindsGroupsAdoptsAndLeavesUnrelatedElements) {
  TableData data(45);
  data.Clique(0, 20, 0.85);
  data.Clique(20, 40, 0.85);
  for (unsigned int j = 0; j < 20; ++j) data.Add(j, 40, 0.8);  // 40 belongs to the first group
  data.Add(41, 42, 0.1);                                        // weak pairs among the rest
  data.Add(43, 44, 0.05);
  CSimilarityGraph graph(data, -1000000.0);
  CEvaluatorSet<CSDTypeTags> evaluators = CreateEvaluators<CSDTypeTags>(graph);
  CAdoptBest<CSDTypeTags> adopter(evaluators.m_adopt.get());
  CRejectWorst<CSDTypeTags> rejector(evaluators.m_reject.get());
  CMergeBest<CSDTypeTags> merger(evaluators.m_merge.get());

  SDZelk zelk(&graph);
  zelk.Run(adopter, 0.0, rejector, 0.0, merger, 0.0, -10000000.0);

  std::set<std::set<unsigned int>> kernels;
  for (const auto& k : zelk.GetKernels().GetKernelList()) kernels.insert(AsSet(k.Members()));
  std::set<unsigned int> first = Range(0, 20);
  first.insert(40);
  EXPECT_EQ(kernels, (std::set<std::set<unsigned int>>{first, Range(20, 40)}));
  EXPECT_EQ(AsSet(zelk.GetSingletons()), Range(41, 45));
  EXPECT_EQ(zelk.GetSingletonsNum(), 4u);
}

}  // namespace

#include <unistd.h>
#include "vandrel/engine/Evaluators.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/ThrowMessage.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/engine/Kernels.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"
#include "vandrel/solution/Cluster.h"

namespace {

using IDs = std::list<unsigned int>;

// Writes a mates/non-mates model file: mates N(0.8, 0.1), non-mates
// N(0.2, 0.2), pMates 0.1.
std::string WriteModel(const std::string& prefix) {
  std::ofstream out(prefix + ".distrib");
  out << "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\n"
      << "NormDistrib\nEXP\t0.2\nSTD\t0.2\n";
  return prefix;
}

double LogNormalDensity(double x, double mean, double sd) {
  return -std::log(std::sqrt(2 * M_PI) * sd) - (x - mean) * (x - mean) / (2 * sd * sd);
}

// ---------------------------------------------------------------------------
// Similarity data

class SDEvaluatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CNormDistrib::m_manyDraws.empty()) CNormDistrib::InitManyDraws();
    const std::string prefix = WriteModel(::testing::TempDir() + std::to_string(getpid()) + "_sd_eval_model");
    m_model.reset(new CSimDistrib(prefix));
    std::remove((prefix + ".distrib").c_str());  // read in full above
    m_graph.reset(new CSimilarityGraph(m_model.get()));
    for (unsigned int i = 0; i < 8; ++i) {
      m_names.push_back("s" + std::to_string(i));
      m_graph->PushBackV(&m_names.back(), i);
    }
    // A weight threshold makes the missing-edge weight w0 non-zero.
    m_graph->m_analyzer.SetWeightTh(1.0);
    m_w0 = m_graph->m_analyzer.GetMissingEdgeWeight();
    m_c = m_model->GetWeightTh();
    ASSERT_NE(m_w0, 0.0);
    ASSERT_NE(m_c, 0.0);
  }
  void AddEdge(unsigned int a, unsigned int b, double w) {
    new CEdge(m_graph->GetVByIndex(static_cast<int>(a)),
              m_graph->GetVByIndex(static_cast<int>(b)), w);
  }
  static const CKernels<CSDTypeTags>::CElement& Kernel(
      const CKernels<CSDTypeTags>& ks, unsigned int pos) {
    auto it = ks.GetKernelList().begin();
    std::advance(it, pos);
    return *it;
  }

  std::unique_ptr<CSimDistrib> m_model;
  std::deque<std::string> m_names;
  std::unique_ptr<CSimilarityGraph> m_graph;
  double m_w0 = 0.0, m_c = 0.0;
};

TEST_F(SDEvaluatorTest, AdoptAndRejectScoreTheMeanWeightToTheOtherMembersPlusC) {
  // Element 0 has edges of weights 2 and 3 to members 1 and 2 of the kernel
  // {1,2,3,4}, and one to the outsider 5 that must not count.
  AddEdge(0, 1, 2.0);
  AddEdge(0, 2, 3.0);
  AddEdge(0, 5, 7.0);
  AddEdge(3, 4, 1.0);
  CKernels<CSDTypeTags> four(m_graph.get());
  four.Insert(CCluster(IDs{1, 2, 3, 4}));
  CKernels<CSDTypeTags> five(m_graph.get());
  five.Insert(CCluster(IDs{0, 1, 2, 3, 4}));

  CSDAApproxCompleteWeight adopt(*m_graph);
  CSDRApproxCompleteWeight reject(*m_graph);
  // W = 5 + (4 - 2) * w0; adopt = W / 4 + c.
  const double adoptScore = (5.0 + 2 * m_w0) / 4 + m_c;
  EXPECT_NEAR(adopt.Evaluate(Kernel(four, 0), 0), adoptScore, 1e-12);
  // As a member of the 5-kernel: W = 5 + 3 * w0, reject = (W - w0) / 4 + c,
  // the same as its adopt score against the other four.
  const double rejectScore = (5.0 + 3 * m_w0 - m_w0) / 4 + m_c;
  EXPECT_NEAR(reject.Evaluate(Kernel(five, 0), 0), rejectScore, 1e-12);
  EXPECT_NEAR(rejectScore, adoptScore, 1e-12);
}

TEST_F(SDEvaluatorTest, MergeScoresTheTotalWeightPlusCPerPair) {
  CKernels<CSDTypeTags> ks(m_graph.get());
  ks.Insert(CCluster(IDs{0, 1}));
  ks.Insert(CCluster(IDs{2, 3, 4}));
  CSDMApproxCompleteWeight merge(*m_graph);
  // No edges between the two kernels: 6 * w0 + 6 * c.
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 0), Kernel(ks, 1)), 6 * m_w0 + 6 * m_c, 1e-12);
  // Edges 0-2 (1.5) and 1-4 (-0.5), plus one inside a kernel that must not
  // count: W = 1.0 + 4 * w0, in either order.
  AddEdge(0, 2, 1.5);
  AddEdge(1, 4, -0.5);
  AddEdge(2, 3, 9.0);
  const double expected = 1.0 + 4 * m_w0 + 6 * m_c;
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 0), Kernel(ks, 1)), expected, 1e-12);
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 1), Kernel(ks, 0)), expected, 1e-12);
}

TEST_F(SDEvaluatorTest, AdoptedMembersCountInTheSizeButNotInTheMemberSet) {
  AddEdge(0, 1, 2.0);
  AddEdge(0, 2, 4.0);
  AddEdge(0, 3, 8.0);
  CKernels<CSDTypeTags> ks(m_graph.get());
  ks.Insert(CCluster(IDs{1, 2}));
  IDs unassigned{3};
  ks.Adopt(ks.GetKernelList().front(), unassigned, unassigned.begin());
  CSDAApproxCompleteWeight adopt(*m_graph);
  // |K| = 3 but only the edges to 1 and 2 are found: W = 6 + (3 - 2) * w0.
  EXPECT_NEAR(adopt.Evaluate(Kernel(ks, 0), 0), (6.0 + m_w0) / 3 + m_c, 1e-12);
}

TEST_F(SDEvaluatorTest, ALoneMemberIsNeverRejectedAndThresholdsPassThrough) {
  CKernels<CSDTypeTags> ks(m_graph.get());
  ks.Insert(CCluster(IDs{6}));
  CEvaluatorSet<CSDTypeTags> set = CreateEvaluators<CSDTypeTags>(*m_graph);
  ASSERT_NE(dynamic_cast<CSDAApproxCompleteWeight*>(set.m_adopt.get()), nullptr);
  ASSERT_NE(dynamic_cast<CSDRApproxCompleteWeight*>(set.m_reject.get()), nullptr);
  ASSERT_NE(dynamic_cast<CSDMApproxCompleteWeight*>(set.m_merge.get()), nullptr);
  const double score = set.m_reject->Evaluate(Kernel(ks, 0), 6);
  EXPECT_FALSE(std::isnan(score));
  EXPECT_EQ(score, vandrel::kLoneMemberScore);
  for (double v : {-2000000.0, -3000000.0, -1000000.0, 0.25}) {
    EXPECT_EQ(set.m_adopt->ResolveThreshold(ks, v), v);
    EXPECT_EQ(set.m_reject->ResolveThreshold(ks, v), v);
    EXPECT_EQ(set.m_merge->ResolveThreshold(ks, v), v);
  }
  ExpectThrows([&] { set.m_adopt->Evaluate(Kernel(ks, 0), 99); },
               "CGraph::ID2Index - id is not in graph");
}

// Batch scores against the single scores, bit for bit, on random graphs:
// weights from a short list (so that scores tie) mixed with values whose
// sums round differently in another order, kernels grown by adoption and
// merging (sizes beyond the member sets, members of merged-away kernels
// still in their dead member sets), elements inside kernels and elements
// without edges.
class SDBatchScoreTest : public SDEvaluatorTest {
 protected:
  // Rebuilds the graph with n vertices whose ids differ from their indices.
  void Build(unsigned int n, std::uint32_t seed) {
    m_graph.reset(new CSimilarityGraph(m_model.get()));
    m_names.clear();
    for (unsigned int i = 0; i < n; ++i) {
      m_names.push_back("b" + std::to_string(i));
      m_graph->PushBackV(&m_names.back(), 3 * i + 1);
    }
    m_graph->m_analyzer.SetWeightTh(1.0);
    std::uint32_t state = seed;
    auto next = [&state](std::uint32_t range) {
      state = state * 1664525u + 1013904223u;
      return (state >> 8) % range;
    };
    const double weights[] = {2.0, 2.0, -1.0, 0.1, 0.7, 1e-3, 3.3, 1e8, -1e8, 0.30000000000000004};
    for (unsigned int a = 0; a + 1 < n; ++a)
      for (unsigned int b = a + 1; b < n; ++b)
        if (a % 9 != 4 && b % 9 != 4 && next(100) < 40) AddEdge(a, b, weights[next(10)]);
    // Kernels of 1 to 5 vertices over the first two thirds of the vertices.
    m_kernels.reset(new CKernels<CSDTypeTags>(m_graph.get()));
    unsigned int v = 0;
    while (v < 2 * n / 3) {
      IDs ids;
      for (unsigned int k = 1 + next(5); k > 0 && v < 2 * n / 3; --k) ids.push_back(3 * v++ + 1);
      m_kernels->Insert(CCluster(ids));
    }
    IDs rest;
    for (; v < n; ++v) rest.push_back(3 * v + 1);
    // Adopt every third left-over element into a random kernel, then merge
    // a few random pairs.
    auto& list = m_kernels->GetKernelList();
    for (auto it = rest.begin(); it != rest.end();) {
      auto cur = it++;
      if (next(3) == 0) {
        auto k = list.begin();
        std::advance(k, next(static_cast<std::uint32_t>(list.size())));
        m_kernels->Adopt(*k, rest, cur);
      }
    }
    for (int m = 0; m < 3 && list.size() > 2; ++m) {
      auto a = list.begin();
      std::advance(a, next(static_cast<std::uint32_t>(list.size() - 1)));
      auto b = std::next(a);
      m_kernels->Merge(*a, *b);
    }
  }
  std::vector<CKernels<CSDTypeTags>::CElement*> Columns() {
    std::vector<CKernels<CSDTypeTags>::CElement*> columns;
    for (auto& k : m_kernels->GetKernelList()) columns.push_back(&k);
    return columns;
  }
  static bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

  // Every element against every kernel, and every kernel against every
  // later one, from every starting column.
  void ExpectBatchesEqualSingleScores() {
    CSDAApproxCompleteWeight adopt(*m_graph);
    CSDMApproxCompleteWeight merge(*m_graph);
    const auto columns = Columns();
    std::vector<double> out(columns.size() + 1);
    int ties = 0;
    for (int i = 0; i < m_graph->GetVerticesNum(); ++i) {
      const unsigned int id = m_graph->GetVByIndex(i)->m_id;
      out.assign(columns.size() + 1, -7.0);
      adopt.EvaluateAll(*m_kernels, columns, id, out.data());
      for (std::size_t r = 0; r < columns.size(); ++r) {
        const double single = adopt.Evaluate(*columns[r], id);
        EXPECT_TRUE(SameBits(out[r], single)) << "id " << id << " column " << r << ": "
                                              << out[r] << " vs " << single;
        if (r > 0 && out[r] == out[r - 1]) ++ties;
      }
      EXPECT_EQ(out[columns.size()], -7.0) << "wrote past the columns";
    }
    for (std::size_t p = 0; p < columns.size(); ++p) {
      for (std::size_t begin = p + 1; begin <= columns.size(); begin += 1 + begin % 3) {
        out.assign(columns.size() + 1, -7.0);
        merge.EvaluateRow(*m_kernels, *columns[p], columns, begin, out.data());
        for (std::size_t q = begin; q < columns.size(); ++q) {
          const double single = merge.Evaluate(*columns[p], *columns[q]);
          EXPECT_TRUE(SameBits(out[q - begin], single))
              << "kernel " << p << " with " << q << ": " << out[q - begin] << " vs " << single;
        }
        EXPECT_EQ(out[columns.size() - begin], -7.0) << "wrote past the row";
      }
    }
    EXPECT_GT(ties, 0) << "the case has no equal scores";
  }

  std::unique_ptr<CKernels<CSDTypeTags>> m_kernels;
};

TEST_F(SDBatchScoreTest, BatchScoresEqualSingleScoresBitForBit) {
  for (std::uint32_t seed = 1; seed <= 6; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Build(60 + 7 * seed, seed);
    ASSERT_TRUE(m_kernels->MemberSetOwnersKnown());
    ExpectBatchesEqualSingleScores();
  }
}

TEST_F(SDBatchScoreTest, SharedMemberSetsFallBackToSingleScores) {
  // A rejected member stays in its kernel's member set; inserting it into a
  // new kernel puts it into two live member sets, which the owner table
  // cannot express.
  Build(50, 11);
  auto& first = m_kernels->GetKernelList().front();
  ASSERT_GE(first.Size(), 1u);
  IDs unassigned;
  const unsigned int id = first.Members().front();
  m_kernels->Reject(first, first.Members().begin(), unassigned);
  m_kernels->Insert(CCluster(IDs{id}));
  EXPECT_FALSE(m_kernels->MemberSetOwnersKnown());
  ExpectBatchesEqualSingleScores();
  // A copy keeps the state, and clearing the kernels restores the table.
  CKernels<CSDTypeTags> copy(*m_kernels);
  EXPECT_FALSE(copy.MemberSetOwnersKnown());
  copy.Clear();
  EXPECT_TRUE(copy.MemberSetOwnersKnown());
  EXPECT_EQ(copy.MemberSetOwner(id), CKernels<CSDTypeTags>::kNoKernel);
}

TEST_F(SDBatchScoreTest, EmptyBatchesScoreNothingAndUnknownIdsFail) {
  Build(40, 5);
  CSDAApproxCompleteWeight adopt(*m_graph);
  CSDMApproxCompleteWeight merge(*m_graph);
  const auto columns = Columns();
  double out = -7.0;
  // No columns: nothing is looked up, as with no single scores.
  adopt.EvaluateAll(*m_kernels, {}, 999999, &out);
  merge.EvaluateRow(*m_kernels, *columns.back(), columns, columns.size(), &out);
  EXPECT_EQ(out, -7.0);
  std::vector<double> row(columns.size());
  ExpectThrows([&] { adopt.EvaluateAll(*m_kernels, columns, 999999, row.data()); },
               "CGraph::ID2Index - id is not in graph");
}

// ---------------------------------------------------------------------------
// Similarity data from a file that does not list every pair: the graph has
// no weight threshold (w0 = 0) and a pair without a value weighs u, the
// model's weight of a similarity below the smallest listed value 0.4.

class SDUnlistedPairTest : public SDEvaluatorTest {
 protected:
  void SetUp() override {
    if (CNormDistrib::m_manyDraws.empty()) CNormDistrib::InitManyDraws();
    const std::string prefix = WriteModel(::testing::TempDir() + std::to_string(getpid()) + "_sd_unlisted_model");
    m_model.reset(new CSimDistrib(prefix));
    std::remove((prefix + ".distrib").c_str());  // read in full above
    NewGraph(true);
    m_c = m_model->GetWeightTh();
  }
  void NewGraph(bool sparse) {
    m_graph.reset(new CSimilarityGraph(m_model.get()));
    for (unsigned int i = 0; i < 8; ++i) m_graph->PushBackV(nullptr, i);
    if (sparse) m_graph->m_analyzer.SetUnlistedPairWeight(0.4);
    m_w0 = m_graph->m_analyzer.GetMissingEdgeWeight();
    m_u = m_graph->m_analyzer.GetUnlistedPairWeight();
  }
  double m_u = 0.0;
};

struct UnlistedAdoptCase {
  const char* name;
  bool sparse;                       // false: the file lists every pair (u = w0 = 0)
  IDs inserted;                      // the kernel's members at insertion
  IDs gained;                        // members it adopted afterwards
  std::vector<std::pair<unsigned int, double>> edges;  // element 0 to member, sim
  int unlisted;                      // pairs to inserted members without a value
  bool adopted;                      // at the final threshold c: W >= 0
};

TEST_F(SDUnlistedPairTest, AnElementIsAdoptedOnlyWhenItsValuesOutweighTheUnlistedPairs) {
  ASSERT_EQ(m_w0, 0.0);
  // ln(Phi(-4) / Phi(1)) under mates N(0.8, 0.1) and non-mates N(0.2, 0.2).
  ASSERT_NEAR(m_u, std::log(3.1671241833e-5 / 0.8413447461), 1e-5);
  const double high = 0.9, low = 0.45;  // weights +6.3 and -4.7
  ASSERT_GT(m_model->CalcLogRatio(high), 0.0);
  ASSERT_LT(m_model->CalcLogRatio(low), 0.0);
  const UnlistedAdoptCase cases[] = {
      {"no value at all", true, {1, 2, 3, 4}, {}, {}, 4, false},
      {"no value at all, every pair listed (u = 0)", false, {1, 2, 3, 4}, {}, {}, 4, true},
      {"values to every member, all below where mates become likelier", true, {1, 2, 3, 4}, {},
       {{1, low}, {2, low}, {3, low}, {4, low}}, 0, false},
      {"a high value to one member of four", true, {1, 2, 3, 4}, {}, {{1, high}}, 3, false},
      {"a high value to the one member", true, {5}, {}, {{5, high}}, 0, true},
      {"high values to three members of four", true, {1, 2, 3, 4}, {},
       {{1, high}, {2, high}, {3, high}}, 1, true},
      {"a member gained by adoption counts w0, not u", true, {1, 2}, {3},
       {{1, 0.7}, {2, 0.7}}, 0, true},
      {"the same member inserted counts u", true, {1, 2, 3}, {}, {{1, 0.7}, {2, 0.7}}, 1, false},
  };
  for (const UnlistedAdoptCase& c : cases) {
    SCOPED_TRACE(c.name);
    NewGraph(c.sparse);
    double sum = 0.0;
    for (const auto& [member, sim] : c.edges) {
      const double w = m_model->CalcLogRatio(sim);
      AddEdge(0, member, w);
      sum += w;
    }
    CKernels<CSDTypeTags> ks(m_graph.get());
    ks.Insert(CCluster(c.inserted));
    for (unsigned int id : c.gained) {
      IDs one{id};
      ks.Adopt(ks.GetKernelList().front(), one, one.begin());
    }
    const double size = static_cast<double>(c.inserted.size() + c.gained.size());
    CSDAApproxCompleteWeight adopt(*m_graph);
    const double w = sum + c.unlisted * m_u;
    EXPECT_NEAR(adopt.Evaluate(Kernel(ks, 0), 0), w / size + m_c, 1e-9);
    IDs unassigned{0};
    CAdoptEvery<CSDTypeTags> adopter(&adopt);
    adopter.AdoptAll(ks, unassigned, m_c);
    EXPECT_EQ(unassigned.empty(), c.adopted) << "W = " << w;
  }
}

TEST_F(SDUnlistedPairTest, MergeAndRejectScoresCountUnlistedPairsToInsertedMembers) {
  AddEdge(1, 3, 2.0);
  AddEdge(2, 4, 1.0);
  AddEdge(5, 6, 4.0);
  CKernels<CSDTypeTags> ks(m_graph.get());
  ks.Insert(CCluster(IDs{1, 2}));
  ks.Insert(CCluster(IDs{3, 4, 5}));
  CSDMApproxCompleteWeight merge(*m_graph);
  CSDRApproxCompleteWeight reject(*m_graph);
  CSDAApproxCompleteWeight adopt(*m_graph);
  // Six pairs, two with a value: W = 3 + 4u, plus c per pair.
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 0), Kernel(ks, 1)), 3.0 + 4 * m_u + 6 * m_c, 1e-9);
  // Member 5 of {3, 4, 5}: its pairs to 3 and 4 have no value, and its
  // pair with itself is taken out again; the same as adopting it into {3, 4}.
  CKernels<CSDTypeTags> two(m_graph.get());
  two.Insert(CCluster(IDs{3, 4}));
  EXPECT_NEAR(reject.Evaluate(Kernel(ks, 1), 5), (2 * m_u) / 2 + m_c, 1e-9);
  EXPECT_NEAR(reject.Evaluate(Kernel(ks, 1), 5), adopt.Evaluate(Kernel(two, 0), 5), 1e-9);
  // The second kernel gains 6 by adoption: the pairs 1-6 and 2-6 weigh w0 = 0.
  IDs one{6};
  ks.Adopt(*std::next(ks.GetKernelList().begin()), one, one.begin());
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 0), Kernel(ks, 1)), 3.0 + 4 * m_u + 8 * m_c, 1e-9);
}

TEST_F(SDEvaluatorTest, WithoutAnUnlistedPairWeightScoresAreTheMissingEdgeFormulaBitForBit) {
  AddEdge(0, 1, 2.0);
  AddEdge(0, 2, 3.0);
  CKernels<CSDTypeTags> ks(m_graph.get());
  ks.Insert(CCluster(IDs{1, 2, 3, 4}));
  ks.Insert(CCluster(IDs{0, 5}));
  ASSERT_EQ(m_graph->m_analyzer.GetUnlistedPairWeight(), m_w0);
  CSDAApproxCompleteWeight adopt(*m_graph);
  CSDMApproxCompleteWeight merge(*m_graph);
  EXPECT_EQ(adopt.Evaluate(Kernel(ks, 0), 0), (5.0 + 2 * m_w0) / 4 + m_c);
  EXPECT_EQ(merge.Evaluate(Kernel(ks, 1), Kernel(ks, 0)), (5.0 + 6 * m_w0) + 8 * m_c);
}

// ---------------------------------------------------------------------------
// Fingerprints

// Five fingerprints of length 3 under the dot-product measure (normalized
// to unit length), a model file, and the graph over all of them.
class FPEvaluatorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Load(new CDotProductSimHandler(new CMeanSqNorm(0), new CDotProductSim()), ".dp",
         "5\t3\na 1 0 0\nb 3 4 0\nc 0 1 1\nd 0 0 2\ne 1 1 1\n");
    ASSERT_EQ(m_graph->GetVerticesNum(), 5);
  }
  // Installs the handler and builds the graph over the fingerprints of
  // `orig` (a `.orig` file's text), with the model file of WriteModel.
  void Load(CSimilarityHandler* handler, const std::string& suffix, const std::string& orig) {
    m_graph.reset();
    m_data.reset();
    m_analyzer.reset();
    ResetFingerprintStateForTests();
    m_handler.reset(handler);
    CNormFP::SetSimilarityHandler(m_handler.get());
    if (CNormDistrib::m_manyDraws.empty()) CNormDistrib::InitManyDraws();
    const std::string prefix = ::testing::TempDir() + std::to_string(getpid()) + "_fp_eval_data";
    {
      std::ofstream out(prefix + ".orig");
      out << orig;
    }
    std::remove((prefix + suffix + ".sim").c_str());
    WriteModel(prefix + suffix);
    m_files.push_back(prefix + ".orig");
    m_files.push_back(prefix + suffix + ".distrib");
    m_files.push_back(prefix + suffix + ".sim");
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
  // Files Load wrote (or the run may have written), removed at the end.
  std::vector<std::string> m_files;

  std::vector<double> Values(int index) const {
    const CNormFP& fp = *m_graph->GetNormFP(index);
    return {fp[0], fp[1], fp[2]};
  }
  static double Dot(const std::vector<double>& a, const std::vector<double>& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
  }
  static std::vector<double> Mean(const std::vector<std::vector<double>>& vs) {
    std::vector<double> m(3, 0.0);
    for (const auto& v : vs)
      for (int j = 0; j < 3; ++j) m[j] += v[j] / static_cast<double>(vs.size());
    return m;
  }
  double Sim(int a, int b) const { return Dot(Values(a), Values(b)); }
  // A kernel with the members' exact mean as its centroid.
  void Insert(CKernels<CFPTypeTags>& ks, const IDs& ids) {
    CNormFPConstPtrVec group;
    for (unsigned int id : ids) group.push_back(m_graph->GetNormFP(static_cast<int>(id)));
    ks.Insert(CFPCluster(ids, CNormFP(group)));
  }
  static const CKernels<CFPTypeTags>::CElement& Kernel(
      const CKernels<CFPTypeTags>& ks, unsigned int pos) {
    auto it = ks.GetKernelList().begin();
    std::advance(it, pos);
    return *it;
  }

  std::unique_ptr<CSimilarityHandler> m_handler;
  std::unique_ptr<CFPDataFileAnalyzer> m_analyzer;
  std::unique_ptr<CSIMnFPData> m_data;
  std::unique_ptr<CFPGraph> m_graph;
};

TEST_F(FPEvaluatorTest, ScoresAreSimilaritiesToKernelMeans) {
  CKernels<CFPTypeTags> ks(m_graph.get());
  Insert(ks, {0, 1});
  Insert(ks, {2, 3, 4});
  CFPAEvalMeanSim adopt(*m_graph);
  CFPREvalMeanSim reject(*m_graph);
  CFPMEvalMeanSim merge(*m_graph);
  const auto m01 = Mean({Values(0), Values(1)});
  const auto m234 = Mean({Values(2), Values(3), Values(4)});
  EXPECT_NEAR(adopt.Evaluate(Kernel(ks, 0), 3), Dot(m01, Values(3)), 1e-6);
  EXPECT_NEAR(adopt.Evaluate(Kernel(ks, 1), 1), Dot(m234, Values(1)), 1e-6);
  EXPECT_NEAR(merge.Evaluate(Kernel(ks, 0), Kernel(ks, 1)), Dot(m01, m234), 1e-6);
  // Keeping member 4 scores its similarity to the mean of 2 and 3.
  EXPECT_NEAR(reject.Evaluate(Kernel(ks, 1), 4), Dot(Values(4), Mean({Values(2), Values(3)})),
              1e-6);
  EXPECT_NEAR(reject.Evaluate(Kernel(ks, 0), 0), Sim(0, 1), 1e-6);
}

TEST_F(FPEvaluatorTest, BatchAdoptScoresEqualSingleScoresBitForBit) {
  // Five kernels (a batch of four and one left over) and twelve elements
  // with values that make every sum round.
  std::string orig = "12 5\n";
  for (int e = 0; e < 12; ++e) {
    orig += "g" + std::to_string(e);
    for (int j = 0; j < 5; ++j) orig += " " + std::to_string(((e * 7 + j * 13) % 11) / 3.0 + e * 0.1);
    orig += "\n";
  }
  Load(new CFisherTransSimHandler(new CVecStandardizer(), new CFisherTransSim()), ".co", orig);
  CKernels<CFPTypeTags> ks(m_graph.get());
  for (unsigned int k = 0; k < 5; ++k) Insert(ks, {2 * k, 2 * k + 1});
  std::vector<CKernels<CFPTypeTags>::CElement*> kernels;
  for (auto& k : ks.GetKernelList()) kernels.push_back(&k);
  CFPAEvalMeanSim adopt(*m_graph);
  for (unsigned int id = 0; id < 12; ++id) {
    std::vector<double> batch(kernels.size(), -7.0);
    adopt.EvaluateAll(ks, kernels, id, batch.data());
    for (std::size_t k = 0; k < kernels.size(); ++k)
      EXPECT_EQ(batch[k], adopt.Evaluate(*kernels[k], id)) << "element " << id << " kernel " << k;
  }
}

TEST_F(FPEvaluatorTest, DerivedThresholdsFromTheKernelSet) {
  CKernels<CFPTypeTags> ks(m_graph.get());
  Insert(ks, {0, 1});
  Insert(ks, {2, 3, 4});
  // within: the mean similarity over ordered pairs of distinct members of a
  // kernel; between: the mean similarity over pairs of different kernels.
  const double within =
      (2 * Sim(0, 1) + 2 * (Sim(2, 3) + Sim(2, 4) + Sim(3, 4))) / (2 * 1 + 3 * 2);
  double cross = 0.0;
  for (int a : {0, 1})
    for (int b : {2, 3, 4}) cross += Sim(a, b);
  const double between = cross / 6;
  ASSERT_GE(between, 0.0);
  CFPAEvalMeanSim adopt(*m_graph);
  CFPREvalMeanSim reject(*m_graph);
  CFPMEvalMeanSim merge(*m_graph);
  EXPECT_NEAR(adopt.WithinMeanSim(ks), within, 1e-6);
  EXPECT_NEAR(adopt.BetweenMeanSim(ks), between, 1e-6);
  EXPECT_NEAR(adopt.ResolveThreshold(ks, -2000000.0), 0.5 * (within + between), 1e-6);
  EXPECT_NEAR(reject.ResolveThreshold(ks, -2000000.0), 0.9 * within + 0.1 * between, 1e-6);
  EXPECT_EQ(merge.ResolveThreshold(ks, -2000000.0), -2000000.0);
  // The model's means: mates 0.8, non-mates 0.2.
  for (double v : {-3000000.0}) {
    EXPECT_DOUBLE_EQ(adopt.ResolveThreshold(ks, v), 0.8);
    EXPECT_DOUBLE_EQ(reject.ResolveThreshold(ks, v), 0.8);
    EXPECT_DOUBLE_EQ(merge.ResolveThreshold(ks, v), 0.8);
  }
  EXPECT_DOUBLE_EQ(merge.ResolveThreshold(ks, -1000000.0), 0.5);
  EXPECT_EQ(adopt.ResolveThreshold(ks, -1000000.0), -1000000.0);
  EXPECT_EQ(reject.ResolveThreshold(ks, -1000000.0), -1000000.0);
  for (double v : {0.3, -9999999.0}) {
    EXPECT_EQ(adopt.ResolveThreshold(ks, v), v);
    EXPECT_EQ(reject.ResolveThreshold(ks, v), v);
    EXPECT_EQ(merge.ResolveThreshold(ks, v), v);
  }
}

TEST_F(FPEvaluatorTest, ANegativeBetweenSimilarityIsLeftOutOfTheAdoptThreshold) {
  // Correlation: kernels {0,1} and {2,3} are anti-correlated.
  Load(new CFisherTransSimHandler(new CVecStandardizer(), new CFisherTransSim()), ".co",
       "4 3\na 1 2 3\nb 1 2 4\nc 3 2 1\nd 4 2 1\n");
  CKernels<CFPTypeTags> ks(m_graph.get());
  Insert(ks, {0, 1});
  Insert(ks, {2, 3});
  CFPAEvalMeanSim adopt(*m_graph);
  CFPREvalMeanSim reject(*m_graph);
  const double within = (Sim(0, 1) + Sim(2, 3)) / 2;
  const double between = (Sim(0, 2) + Sim(0, 3) + Sim(1, 2) + Sim(1, 3)) / 4;
  ASSERT_LT(between, 0.0);
  EXPECT_NEAR(adopt.ResolveThreshold(ks, -2000000.0), 0.5 * within, 1e-6);
  EXPECT_NEAR(reject.ResolveThreshold(ks, -2000000.0), 0.9 * within + 0.1 * between, 1e-6);
}

TEST_F(FPEvaluatorTest, OneKernelUsesHalfTheWithinSimilarity) {
  CFPAEvalMeanSim adopt(*m_graph);
  CFPREvalMeanSim reject(*m_graph);
  {
    CKernels<CFPTypeTags> ks(m_graph.get());
    Insert(ks, {1, 2, 4});
    const double within = (Sim(1, 2) + Sim(1, 4) + Sim(2, 4)) / 3;
    EXPECT_NEAR(adopt.ResolveThreshold(ks, -2000000.0), 0.5 * within, 1e-6);
    // between is the measure's smallest value, 0 for the dot product.
    EXPECT_EQ(adopt.BetweenMeanSim(ks), 0.0);
    EXPECT_NEAR(reject.ResolveThreshold(ks, -2000000.0), 0.9 * within, 1e-6);
  }
  {
    // A single one-member kernel: the divisor is 0 and within is the first
    // fingerprint's similarity with itself (1 for unit vectors).
    CKernels<CFPTypeTags> ks(m_graph.get());
    Insert(ks, {3});
    EXPECT_NEAR(adopt.WithinMeanSim(ks), 1.0, 1e-6);
    EXPECT_NEAR(adopt.ResolveThreshold(ks, -2000000.0), 0.5, 1e-6);
    const double score = reject.Evaluate(Kernel(ks, 0), 3);
    EXPECT_EQ(score, vandrel::kLoneMemberScore);
  }
}

TEST_F(FPEvaluatorTest, UnknownIdsFailThroughTheIdHash) {
  CKernels<CFPTypeTags> ks(m_graph.get());
  Insert(ks, {0, 1});
  CFPAEvalMeanSim adopt(*m_graph);
  ExpectThrows([&] { adopt.Evaluate(Kernel(ks, 0), 17); },
               "CIDHash::operator[] (const) - key does not exist in hash");
}

TEST_F(FPEvaluatorTest, ExactCompleteWeightSumsTheLogRatioOfEveryOtherPair) {
  CFPCalcExactCompleteWeight calc(*m_graph);
  auto lr = [&](double s) {
    return LogNormalDensity(s, 0.8, 0.1) - LogNormalDensity(s, 0.2, 0.2);
  };
  const double expected = lr(Sim(2, 0)) + lr(Sim(2, 3)) + lr(Sim(2, 4));
  EXPECT_NEAR(calc.ExactWeight(IDs{0, 2, 3, 4}, 2), expected, 1e-6);
  EXPECT_NEAR(calc.ExactWeight(std::vector<unsigned int>{4, 3, 0}, 2), expected, 1e-6);
  EXPECT_EQ(calc.ExactWeight(IDs{2}, 2), 0.0);
  CEvaluatorSet<CFPTypeTags> set = CreateEvaluators<CFPTypeTags>(*m_graph);
  EXPECT_NE(dynamic_cast<CFPAEvalMeanSim*>(set.m_adopt.get()), nullptr);
  EXPECT_NE(dynamic_cast<CFPREvalMeanSim*>(set.m_reject.get()), nullptr);
  EXPECT_NE(dynamic_cast<CFPMEvalMeanSim*>(set.m_merge.get()), nullptr);
}

}  // namespace

#pragma once
// Random graphs of both data types for tests that compare a fast way of
// building subgraphs with the plain one: random sizes, densities, weight
// kinds and deletions (which reorder the lists and change the weight sums by
// subtraction), vertex ids shuffled against the indices, and a comparison of
// every observable of two graphs.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/engine/KernelFixtures.h"
#include "vandrel/graph/SimilarityGraph.h"

namespace randomgraphs {

using kerneltest::CTestLcg;

inline std::uint64_t Bits(double x) {
  std::uint64_t b;
  std::memcpy(&b, &x, sizeof b);
  return b;
}

// One random graph: its vertex count, edge density (per mille), how the
// weights are drawn, how many edges are deleted afterwards (reordering the
// lists and changing the sums by subtraction), and the subsets split.
enum class Weights { Mixed, Positive, Negative, Tied };

struct GraphCase {
  const char* name;
  int n;
  int density;  // per mille of all pairs
  Weights weights;
  int deletions;
  unsigned int maxPartSize;
};

inline double DrawWeight(CTestLcg& rng, Weights kind) {
  const double x = static_cast<double>(rng.Range(0, 1 << 20)) / (1 << 20);
  switch (kind) {
    case Weights::Positive:
      return 0.1 + 5.0 * x;
    case Weights::Negative:
      return -0.1 - 5.0 * x;
    case Weights::Tied: {
      static const double kValues[] = {-2.5, -0.5, 0.0, 0.5, 0.5, 3.0};
      return kValues[rng.Range(0, 5)];
    }
    case Weights::Mixed:
    default:
      return 10.0 * x - 6.0;
  }
}

// Graphs of both data types over a model whose missing-edge weight is not 0,
// vertex ids shuffled against the indices.
template <class G>
struct Source;

template <>
struct Source<CSimilarityGraph> {
  explicit Source(int) : graph(&kerneltest::SeparatedModel()) {}
  CSimilarityGraph graph;
  void AddFingerprint(int) {}
  void UseFingerprintsOf(const Source&) {}
};

class CModelFPGraph : public CFPGraph {
 public:
  CModelFPGraph() : CSimilarityGraph(&kerneltest::SeparatedModel()), CFPGraph() {}
};

template <>
struct Source<CFPGraph> {
  explicit Source(int) {}
  CModelFPGraph graph;
  std::vector<std::unique_ptr<CNormFP>> fps;
  void AddFingerprint(int v) {
    fps.push_back(kerneltest::MakeFP(kerneltest::ValuesOf(v, kerneltest::TestFPLength())));
    graph.m_normFPs.push_back(fps.back().get());
  }
  // Two sources built alike then point at one fingerprint table, so that
  // their graphs compare equal.
  void UseFingerprintsOf(const Source& other) { graph.m_normFPs = other.graph.m_normFPs; }
};

inline int StaleMark(int index, int n) { return n - 1 - index; }

template <class G>
std::unique_ptr<Source<G>> MakeSource(const GraphCase& c, CTestLcg& rng) {
  std::unique_ptr<Source<G>> s(new Source<G>(c.n));
  s->graph.m_analyzer.SetWeightTh(0.3);
  std::vector<unsigned int> ids(c.n);
  for (int i = 0; i < c.n; ++i) ids[i] = 3u * static_cast<unsigned int>(i) + 1u;
  for (int i = c.n - 1; i > 0; --i) std::swap(ids[i], ids[rng.Range(0, i)]);
  for (int i = 0; i < c.n; ++i) {
    s->graph.PushBackV(nullptr, ids[i]);
    s->AddFingerprint(i);
  }
  for (int i = 0; i < c.n; ++i)
    for (int j = i + 1; j < c.n; ++j)
      if (rng.Range(0, 999) < c.density)
        new CEdge(s->graph.GetVByIndex(i), s->graph.GetVByIndex(j), DrawWeight(rng, c.weights));
  for (int k = 0; k < c.deletions; ++k) {
    CVertex* v = s->graph.GetVByIndex(rng.Range(0, c.n - 1));
    const int list = rng.Range(0, 1);
    if (!v->m_edges[list].empty()) delete v->m_edges[list][rng.Range(0, static_cast<int>(v->m_edges[list].size()) - 1)];
  }
  // Marks of an earlier user of m_work, which must be given back; they are
  // valid positions of other vertices, so that a builder that trusted a
  // mark it did not set would link the wrong vertex.
  for (int i = 0; i < c.n; ++i) s->graph.GetVByIndex(i)->m_work = StaleMark(i, c.n);
  return s;
}

// Subsets as kernel-finding iterations use them: everything in index
// order, then random subsets in random order.
inline std::vector<std::vector<int>> Subsets(int n, CTestLcg& rng) {
  std::vector<std::vector<int>> subsets(1);
  for (int i = 0; i < n; ++i) subsets[0].push_back(i);
  for (int k = 0; k < 2; ++k) {
    std::vector<int> s;
    const int keep = rng.Range(300, 900);
    for (int i = 0; i < n; ++i)
      if (rng.Range(0, 999) < keep) s.push_back(i);
    for (int i = static_cast<int>(s.size()) - 1; i > 0; --i) std::swap(s[i], s[rng.Range(0, i)]);
    subsets.push_back(s);
  }
  return subsets;
}

inline void ExpectFingerprints(const CSimilarityGraph&, const CSimilarityGraph&) {}
inline void ExpectFingerprints(const CFPGraph& expected, const CFPGraph& actual) {
  EXPECT_EQ(expected.GetNormFPs(), actual.GetNormFPs());
}

// Every observable of a part: vertices and ids, the id hash, both lists in
// order (far end's id, weight bits, remembered slots), weight sum bits,
// positive edge counts, the analyzer and the fingerprints.  A fresh part has
// no labels and no flows; otherwise labels and flows match the expected's.
template <class G>
void ExpectSamePart(const G& expected, const G& actual, const std::string& where, bool fresh = true) {
  SCOPED_TRACE(where);
  ASSERT_EQ(expected.GetIDsVector(), actual.GetIDsVector());
  EXPECT_EQ(Bits(expected.m_analyzer.GetWeightTh()), Bits(actual.m_analyzer.GetWeightTh()));
  EXPECT_EQ(Bits(expected.m_analyzer.GetMissingEdgeWeight()), Bits(actual.m_analyzer.GetMissingEdgeWeight()));
  ExpectFingerprints(expected, actual);
  for (int i = 0; i < expected.GetVerticesNum(); ++i) {
    const CVertex* e = expected.GetVByIndex(i);
    const CVertex* a = actual.GetVByIndex(i);
    EXPECT_EQ(actual.ID2Index(a->m_id), i);
    EXPECT_EQ(Bits(e->m_weightSum), Bits(a->m_weightSum)) << "vertex " << i;
    EXPECT_EQ(e->m_posEdgeCount, a->m_posEdgeCount) << "vertex " << i;
    EXPECT_EQ(a->m_label, fresh ? -1 : e->m_label) << "vertex " << i;
    for (int list = 0; list < 2; ++list) {
      ASSERT_EQ(e->m_edges[list].size(), a->m_edges[list].size()) << "vertex " << i << " list " << list;
      for (size_t s = 0; s < e->m_edges[list].size(); ++s) {
        const CEdge* ee = e->m_edges[list][s];
        const CEdge* ae = a->m_edges[list][s];
        EXPECT_EQ(ee->GetOther(e)->m_id, ae->GetOther(a)->m_id) << "vertex " << i << " list " << list << " slot " << s;
        EXPECT_EQ(Bits(ee->m_weight), Bits(ae->m_weight));
        EXPECT_EQ(ae->GetSlot(list), static_cast<int>(s));
        EXPECT_EQ(Bits(ae->m_flow), Bits(fresh ? 0.0 : ee->m_flow));
      }
    }
  }
}

// Cases from two vertices to a few hundred, sparse to complete.
inline const GraphCase kCases[] = {
    {"two vertices", 2, 1000, Weights::Mixed, 0, 2},
    {"small mixed", 14, 600, Weights::Mixed, 5, 15},
    {"mixed sparse", 60, 150, Weights::Mixed, 20, 15},
    {"mixed dense", 80, 800, Weights::Mixed, 200, 15},
    {"complete mixed", 120, 1000, Weights::Mixed, 0, 15},
    {"complete positive", 90, 1000, Weights::Positive, 0, 15},
    {"positive with deletions", 90, 950, Weights::Positive, 300, 15},
    {"all negative", 50, 700, Weights::Negative, 10, 15},
    {"tied weights", 70, 900, Weights::Tied, 100, 15},
    {"tied sparse small parts", 100, 100, Weights::Tied, 0, 4},
    {"large mixed", 300, 500, Weights::Mixed, 2000, 15},
    {"no edges", 30, 0, Weights::Mixed, 0, 15},
};

}  // namespace randomgraphs

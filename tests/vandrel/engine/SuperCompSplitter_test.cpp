#include "vandrel/engine/SuperCompSplitter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <limits>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <unistd.h>
#include <vector>

#include "vandrel/engine/KernelFixtures.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

using kerneltest::CTestLcg;
using kerneltest::IdOf;
using Ids = std::vector<unsigned int>;
using Splitter = CSuperCompSplitter<CSDTypeTags>;

const CSimDistrib& Model() { return kerneltest::SeparatedModel(); }

struct Edge {
  int a, b;  // vertex indices
  double w;
};

struct Case {
  int n = 0;
  std::vector<unsigned int> ids;  // of the vertices; empty: IdOf(index)
  std::vector<Edge> edges;  // in creation order
  double t = 0.0, d = 0.1, weightTh = 0.5;
  unsigned int minPiece = 3, maxSize = 20;
};

// A component over the case's vertices and edges, with its weight
// threshold.
CComponent* MakeComponent(const Case& tc) {
  CSimilarityGraph g(&Model());
  for (int v = 0; v < tc.n; ++v) g.PushBackV(nullptr, tc.ids.empty() ? IdOf(v) : tc.ids[v]);
  for (const Edge& e : tc.edges) new CEdge(g.GetVByIndex(e.a), g.GetVByIndex(e.b), e.w);
  g.m_analyzer.SetWeightTh(tc.weightTh);
  return new CComponent(&g);
}

struct Result {
  std::vector<Ids> superComps;
  std::list<unsigned int> remained;
};

// Paths the reference took, so that the random cases are known to reach them.
struct Coverage {
  int emptySplits = 0;   // levels that split nothing off
  int splits = 0;        // levels that split a piece
  int tooManyPieces = 0; // splits that send large pieces to screening
  int screenedOut = 0;   // screenings that removed elements
};

// The straightforward recursion: one search of the whole piece per level.
void ReferenceSplit(const COwningHandle<CComponent>& handle, double t, const Case& tc,
                    Result* out, Coverage* cov) {
  COwningHandle<CComponent> component(handle);
  const unsigned int n = static_cast<unsigned int>(component->GetVerticesNum());
  if (n < tc.minPiece) {
    for (unsigned int id : component->GetIDsList()) out->remained.push_back(id);
    return;
  }
  if (n <= tc.maxSize) {
    out->superComps.push_back(component->GetIDsVector());
    return;
  }
  const CSimDistrib& model = *component->GetSimDistrib();
  const double r = model.GetDistrib(0)->LogPdf(t) - model.GetDistrib(1)->LogPdf(t);
  if (t < 0.0 || r < component->GetWeightTh()) {
    CComp2Screened<CSDTypeTags> screened(component);
    cov->screenedOut += screened.GetScreenedIDs().empty() ? 0 : 1;
    for (unsigned int id : screened.GetScreenedIDs()) out->remained.push_back(id);
    out->superComps.push_back(screened.TakeScreenedGraph()->GetIDsVector());
    return;
  }
  CGraph2Components<CSDTypeTags> pieces(COwningHandle<CSimilarityGraph>(component), t);
  const unsigned int num = pieces.GetComponentsNum();
  (num == 1 ? cov->emptySplits : cov->splits) += 1;
  if (num > 0.2 * n) ++cov->tooManyPieces;
  const double next = num > 0.2 * n ? -1.0 : t + tc.d;
  for (unsigned int i = 0; i < num; ++i) ReferenceSplit(pieces.TakeComponent(i), next, tc, out, cov);
}

Result RunReference(const Case& tc, Coverage* cov) {
  Result out;
  ReferenceSplit(COwningHandle<CComponent>(MakeComponent(tc)), tc.t, tc, &out, cov);
  return out;
}

Result RunSplitter(const Case& tc) {
  Result out;
  Splitter splitter(tc.minPiece, tc.maxSize);
  splitter.Split(COwningHandle<CComponent>(MakeComponent(tc)), tc.t, tc.d, &out.superComps,
                 &out.remained);
  return out;
}

void ExpectSame(const Result& want, const Result& got, const std::string& what) {
  EXPECT_EQ(want.superComps, got.superComps) << what;
  EXPECT_EQ(want.remained, got.remained) << what;
}

// Random component with planted groups inside groups: edges within a
// subgroup are heavy, within a group middling, between groups light, so that
// rising thresholds split it at several levels.  Some weights are exactly a
// level's threshold or repeat, vertices are numbered apart from id order.
// With `loose`, about a sixth of the vertices get only one or two heavy
// edges: they stay in their pieces, and screening removes them.
Case RandomCase(std::uint32_t seed, int nLo, int nHi, unsigned int maxLo, unsigned int maxHi,
                bool loose = false) {
  CTestLcg lcg(seed);
  Case s;
  s.n = lcg.Range(nLo, nHi);
  s.minPiece = static_cast<unsigned int>(lcg.Range(1, 6));
  s.maxSize = static_cast<unsigned int>(lcg.Range(static_cast<int>(maxLo), static_cast<int>(maxHi)));
  s.t = 0.6 + 0.02 * lcg.Range(0, 5);
  s.d = 0.01 * lcg.Range(2, 12);
  s.weightTh = 0.5;
  const int groups = lcg.Range(1, 6);
  const int subgroups = lcg.Range(1, 5);
  std::vector<int> group(s.n), sub(s.n);
  std::vector<bool> isLoose(s.n, false);
  for (int v = 0; v < s.n; ++v) s.ids.push_back(IdOf(v));
  for (int v = s.n - 1; v > 0; --v) std::swap(s.ids[v], s.ids[lcg.Range(0, v)]);
  for (int v = 0; v < s.n; ++v) {
    group[v] = lcg.Range(0, groups - 1);
    sub[v] = lcg.Range(0, subgroups - 1);
    isLoose[v] = loose && lcg.Range(0, 5) == 0;
  }
  // Threshold levels, for weights that sit exactly on one.
  std::vector<double> levels(1, s.t);
  for (int k = 0; k < 40; ++k) levels.push_back(levels.back() + s.d);
  const int density = lcg.Range(3, 30);  // percent, for pairs within a group
  const bool ties = lcg.Range(0, 2) == 0;
  for (int a = 0; a < s.n; ++a) {
    for (int b = a + 1; b < s.n; ++b) {
      if (isLoose[a] || isLoose[b]) continue;
      const bool sameGroup = group[a] == group[b];
      const bool sameSub = sameGroup && sub[a] == sub[b];
      const int p = sameSub ? 2 * density : sameGroup ? density : density / 6;
      if (lcg.Range(0, 99) >= p) continue;
      double w;
      if (lcg.Range(0, 9) == 0) {
        w = levels[lcg.Range(0, 39)];
      } else {
        const double base = sameSub ? 1.0 : sameGroup ? 0.6 : 0.1;
        w = base + 0.001 * lcg.Range(-300, 900);
        if (ties) w = 0.25 * static_cast<int>(w * 4.0);
      }
      s.edges.push_back(lcg.Range(0, 1) ? Edge{a, b, w} : Edge{b, a, w});
    }
  }
  for (int v = 0; v < s.n; ++v) {
    if (!isLoose[v]) continue;
    for (int k = lcg.Range(1, 2); k > 0; --k) {
      const int other = lcg.Range(0, s.n - 1);
      if (other != v) s.edges.push_back({v, other, 1.0 + 0.05 * lcg.Range(0, 18)});
    }
  }
  // Creation order decides the adjacency order, hence what copies look like.
  for (std::size_t i = s.edges.size(); i > 1; --i) {
    const std::size_t j = static_cast<std::size_t>(lcg.Range(0, static_cast<int>(i) - 1));
    std::swap(s.edges[i - 1], s.edges[j]);
  }
  return s;
}

TEST(SuperCompSplitter, SamePiecesInTheSameOrderAsALevelByLevelSearchOnRandomComponents) {
  Coverage cov;
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    const Case tc = RandomCase(seed, 20, 220, 4, 60);
    ExpectSame(RunReference(tc, &cov), RunSplitter(tc), "seed " + std::to_string(seed));
    if (HasFailure()) return;
  }
  EXPECT_GT(cov.emptySplits, 100);
  EXPECT_GT(cov.splits, 100);
  EXPECT_GT(cov.tooManyPieces, 10);
}

// Pieces above the minimum screen size (250): screening removes elements,
// so the weight sums of the pieces must be those of the level-by-level
// search, whose largest pieces lose the edges of the pieces split off.
TEST(SuperCompSplitter, ScreenedPiecesAreTheSameAsALevelByLevelSearch) {
  Coverage cov;
  for (std::uint32_t seed = 1000; seed < 1060; ++seed) {
    const Case tc = RandomCase(seed, 400, 900, 251, 290, true);
    ExpectSame(RunReference(tc, &cov), RunSplitter(tc), "seed " + std::to_string(seed));
    if (HasFailure()) return;
  }
  EXPECT_GT(cov.screenedOut, 20);
  EXPECT_GT(cov.splits, 50);
}

TEST(SuperCompSplitter, BoundsDecideWhatIsLeftAndWhatIsASuperComponent) {
  // A path of 12 vertices with heavy edges, except one light edge in the
  // middle: the first level (t = 0.6) keeps it whole, the second drops the
  // light edge, giving two halves of 6.
  struct Row {
    unsigned int minPiece, maxSize;
    std::size_t superComps, remained;
  } rows[] = {{7, 10, 0, 12}, {6, 10, 2, 0}, {3, 12, 1, 0}, {13, 20, 0, 12}};
  for (const Row& row : rows) {
    Case s;
    s.n = 12;
    for (int v = 0; v + 1 < 12; ++v) s.edges.push_back({v, v + 1, v == 5 ? 0.65 : 1.0});
    s.t = 0.6;
    s.d = 0.1;
    s.minPiece = row.minPiece;
    s.maxSize = row.maxSize;
    Coverage cov;
    const Result got = RunSplitter(s);
    ExpectSame(RunReference(s, &cov), got, "row " + std::to_string(row.minPiece));
    EXPECT_EQ(got.superComps.size(), row.superComps);
    EXPECT_EQ(got.remained.size(), row.remained);
  }
}

TEST(SuperCompSplitter, APieceThatNoLevelSplitsIsScreened) {
  // Every edge weighs +inf: no threshold ever drops one, and with this
  // weight threshold no level ever calls for screening, so going from level
  // to level could never make the clique smaller; it is screened (and, being
  // below the minimum screen size, kept whole).
  Case s;
  s.n = 30;
  for (int a = 0; a < s.n; ++a)
    for (int b = a + 1; b < s.n; ++b)
      s.edges.push_back({a, b, std::numeric_limits<double>::infinity()});
  s.maxSize = 10;
  s.t = 0.8;
  s.weightTh = -1e300;
  const Result got = RunSplitter(s);
  ASSERT_EQ(got.superComps.size(), 1u);
  EXPECT_EQ(got.superComps[0].size(), 30u);
  EXPECT_TRUE(got.remained.empty());
}

}  // namespace

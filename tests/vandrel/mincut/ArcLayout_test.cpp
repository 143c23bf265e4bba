// Arc layout: every vertex's arcs follow its two adjacency lists in order,
// each arc's reverse is the same edge seen from its head, on graphs whose
// lists were reordered by edge removal and on lists edited behind the
// edges' backs (stale remembered slots).

#include "vandrel/mincut/ArcLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CutTestGraphs.h"

using cuttest::WEdge;

namespace {

// Checks the layout against the component's lists, entry by entry.
void ExpectLayoutFollowsLists(CComponent* comp, const CArcLayout& layout, const std::vector<double>& weights,
                              const std::string& what) {
  const int n = comp->GetVerticesNum();
  ASSERT_EQ(layout.VertexCount(), n) << what;
  ASSERT_EQ(static_cast<int>(weights.size()), layout.ArcCount()) << what;
  for (int i = 0; i < n; ++i) {
    const CVertex* v = comp->GetVByIndex(i);
    EXPECT_EQ(v->m_work, i) << what;
    ASSERT_EQ(layout.first[i + 1] - layout.first[i], v->GetDegree()) << what << " vertex " << i;
    EXPECT_EQ(layout.listSplit[i], layout.first[i] + static_cast<int>(v->m_edges[0].size())) << what;
    int a = layout.first[i];
    for (int list = 0; list < 2; ++list) {
      for (const CEdge* e : v->m_edges[list]) {
        const CVertex* other = list == 0 ? e->m_v2 : e->m_v1;
        EXPECT_EQ(layout.head[a], comp->ID2Index(other->m_id)) << what << " arc " << a;
        EXPECT_EQ(weights[a], e->m_weight) << what << " arc " << a;
        const int b = layout.reverse[a];
        ASSERT_GE(b, 0) << what;
        ASSERT_LT(b, layout.ArcCount()) << what;
        EXPECT_EQ(layout.reverse[b], a) << what << " arc " << a;
        EXPECT_EQ(layout.head[b], i) << what << " arc " << a;
        // The reverse arc sits in the other list of the head.
        const int h = layout.head[a];
        if (list == 0)
          EXPECT_GE(b, layout.listSplit[h]) << what;
        else
          EXPECT_LT(b, layout.listSplit[h]) << what;
        ++a;
      }
    }
  }
}

}  // namespace

TEST(ArcLayoutTest, ArcsFollowTheListsAndPairUp) {
  struct Case {
    const char* name;
    int n;
    double density;
    bool scrambled;
    bool removals;  // delete every third edge again, reordering the lists
  };
  const Case cases[] = {
      {"two vertices", 2, 1.0, false, false},
      {"sparse, scrambled ids", 30, 0.1, true, false},
      {"dense, removals", 40, 0.8, false, true},
      {"dense, scrambled ids, removals", 60, 0.9, true, true},
  };
  cuttest::Gen gen(31);
  for (const Case& c : cases) {
    const std::vector<WEdge> edges =
        cuttest::RandomConnected(c.n, c.density, gen, [](cuttest::Gen& g) { return 0.5 + g.Unit(); });
    const std::vector<unsigned int> ids = c.scrambled ? cuttest::ScrambledIds(c.n, gen) : cuttest::PlainIds(c.n);
    std::unique_ptr<CComponent> comp = cuttest::MakeComponent(ids, edges);
    if (c.removals) {
      // Each deletion moves the last entry of two lists into the gaps.
      for (size_t k = 0; k < edges.size(); k += 3)
        delete comp->GetVByIndex(edges[k].a)->FindEdge(comp->GetVByIndex(edges[k].b));
    }
    CArcLayout layout;
    std::vector<double> weights;
    layout.Build(comp.get(), &weights);
    ExpectLayoutFollowsLists(comp.get(), layout, weights, c.name);
  }
}

TEST(ArcLayoutTest, ListsEditedDirectlyAreFollowedToo) {
  // Swapping two entries of a list without telling the edges leaves their
  // remembered slots stale; the layout must still follow the list order.
  const std::vector<WEdge> edges = {{0, 3, 1.0}, {1, 3, 2.0}, {2, 3, 3.0}, {0, 1, 4.0}, {1, 2, 5.0}};
  std::unique_ptr<CComponent> comp = cuttest::MakeComponent(cuttest::PlainIds(4), edges);
  CVertex* v3 = comp->GetVByIndex(3);
  ASSERT_EQ(v3->m_edges[1].size(), 3u);
  std::swap(v3->m_edges[1][0], v3->m_edges[1][2]);
  CVertex* v1 = comp->GetVByIndex(1);
  std::swap(v1->m_edges[0][0], v1->m_edges[0][1]);
  CArcLayout layout;
  std::vector<double> weights;
  layout.Build(comp.get(), &weights);
  ExpectLayoutFollowsLists(comp.get(), layout, weights, "edited lists");
  // Vertex 3's arcs now run 2, 1, 0.
  EXPECT_EQ(std::vector<int>(layout.head.begin() + layout.first[3], layout.head.begin() + layout.first[4]),
            (std::vector<int>{2, 1, 0}));
}

#pragma once
// Small graphs for the minimum-cut tests, and independent reference
// computations over them (exhaustive cuts, plain augmenting-path max flow).

#include <algorithm>
#include <cstdint>
#include <list>
#include <memory>
#include <queue>
#include <set>
#include <vector>

#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"

namespace cuttest {

struct WEdge {
  int a;  // vertex index
  int b;
  double w;
};

// Deterministic generator for test graphs (xorshift64*).
class Gen {
 public:
  explicit Gen(uint64_t seed) : m_state(seed * 2685821657736338717ULL + 1) {}
  uint64_t Next() {
    m_state ^= m_state >> 12;
    m_state ^= m_state << 25;
    m_state ^= m_state >> 27;
    return m_state * 2685821657736338717ULL;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

 private:
  uint64_t m_state;
};

// A component whose vertex i has id ids[i] (ids need not follow the index
// order) and the given edges.  Without a model the missing-edge weight is 0;
// with one, the graph's weight threshold is set to weightTh first.
inline std::unique_ptr<CComponent> MakeComponent(const std::vector<unsigned int>& ids,
                                                 const std::vector<WEdge>& edges,
                                                 const CSimDistrib* model = nullptr, double weightTh = 0.0) {
  CSimilarityGraph graph(model);
  if (model != nullptr) graph.m_analyzer.SetWeightTh(weightTh);
  std::vector<CVertex*> v;
  for (unsigned int id : ids) v.push_back(graph.PushBackV(nullptr, id));
  for (const WEdge& e : edges) new CEdge(v[e.a], v[e.b], e.w);
  return std::unique_ptr<CComponent>(new CComponent(&graph));
}

inline std::vector<unsigned int> PlainIds(int n) {
  std::vector<unsigned int> ids;
  for (int i = 0; i < n; ++i) ids.push_back(static_cast<unsigned int>(i));
  return ids;
}

// Ids 0..n-1 in a scrambled order, so that index order, id order and the
// id hash's iteration order all differ.
inline std::vector<unsigned int> ScrambledIds(int n, Gen& gen) {
  std::vector<unsigned int> ids = PlainIds(n);
  for (int i = n - 1; i > 0; --i) std::swap(ids[i], ids[gen.Below(i + 1)]);
  for (unsigned int& id : ids) id = id * 7 + 3;
  return ids;
}

// Weight of the edges between `side` and the other vertices.
inline double CrossWeight(int n, const std::vector<WEdge>& edges, const std::list<int>& side) {
  std::vector<bool> in(n, false);
  for (int i : side) in[i] = true;
  double sum = 0.0;
  for (const WEdge& e : edges)
    if (in[e.a] != in[e.b]) sum += e.w;
  return sum;
}

// The lightest cut over all bipartitions into two non-empty sides.
inline double BruteForceMinCut(int n, const std::vector<WEdge>& edges) {
  double best = 1e300;
  // Vertex n-1 always on the "0" side: each bipartition is seen once.
  for (uint32_t mask = 1; mask < (1u << (n - 1)); ++mask) {
    double sum = 0.0;
    for (const WEdge& e : edges)
      if (((mask >> e.a) & 1u) != ((mask >> e.b) & 1u)) sum += e.w;
    if (sum < best) best = sum;
  }
  return best;
}

// Stoer-Wagner minimum cut value (non-negative weights), for graphs too
// large to enumerate.
inline double StoerWagner(int n, const std::vector<WEdge>& edges) {
  std::vector<std::vector<double>> w(n, std::vector<double>(n, 0.0));
  for (const WEdge& e : edges) {
    w[e.a][e.b] += e.w;
    w[e.b][e.a] += e.w;
  }
  std::vector<int> alive;
  for (int i = 0; i < n; ++i) alive.push_back(i);
  double best = 1e300;
  while (alive.size() > 1) {
    const size_t m = alive.size();
    std::vector<double> key(m, 0.0);
    std::vector<bool> added(m, false);
    int prev = -1, last = -1;
    for (size_t step = 0; step < m; ++step) {
      int pick = -1;
      for (size_t i = 0; i < m; ++i)
        if (!added[i] && (pick < 0 || key[i] > key[pick])) pick = static_cast<int>(i);
      added[pick] = true;
      prev = last;
      last = pick;
      if (step + 1 == m) best = std::min(best, key[pick]);
      for (size_t i = 0; i < m; ++i)
        if (!added[i]) key[i] += w[alive[pick]][alive[i]];
    }
    // Merge the last vertex into the one before it.
    const int a = alive[prev], b = alive[last];
    for (int i = 0; i < n; ++i) {
      w[a][i] += w[b][i];
      w[i][a] = w[a][i];
    }
    w[a][a] = 0.0;
    alive.erase(alive.begin() + last);
  }
  return best;
}

// Connected random graph: a random spanning tree plus extra edges.
inline std::vector<WEdge> RandomConnected(int n, double extraProb, Gen& gen,
                                          double (*weight)(Gen&)) {
  std::vector<WEdge> edges;
  std::set<std::pair<int, int>> seen;
  for (int i = 1; i < n; ++i) {
    const int j = gen.Below(i);
    edges.push_back({i, j, weight(gen)});
    seen.insert({j, i});
  }
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j)
      if (!seen.count({i, j}) && gen.Unit() < extraProb) edges.push_back({i, j, weight(gen)});
  return edges;
}

// Unit-capacity undirected max flow by breadth-first augmenting paths
// (Edmonds-Karp).  Fills `reach` with the vertices that s reaches in the
// final residual graph: the smallest source side of a minimum s-t cut.
inline int UnitMaxFlow(int n, const std::vector<WEdge>& edges, int s, int t, std::vector<bool>* reach) {
  // flow[k] in {-1, 0, 1}: units from edges[k].a to edges[k].b.
  std::vector<int> flow(edges.size(), 0);
  std::vector<std::vector<int>> adj(n);
  for (size_t k = 0; k < edges.size(); ++k) {
    adj[edges[k].a].push_back(static_cast<int>(k));
    adj[edges[k].b].push_back(static_cast<int>(k));
  }
  auto residual = [&](int k, int from) { return edges[k].a == from ? 1 - flow[k] : 1 + flow[k]; };
  int total = 0;
  while (true) {
    std::vector<int> via(n, -1);
    std::vector<bool> seen(n, false);
    std::queue<int> q;
    q.push(s);
    seen[s] = true;
    while (!q.empty()) {
      const int u = q.front();
      q.pop();
      for (int k : adj[u]) {
        const int w = edges[k].a == u ? edges[k].b : edges[k].a;
        if (!seen[w] && residual(k, u) > 0) {
          seen[w] = true;
          via[w] = k;
          q.push(w);
        }
      }
    }
    if (s == t || !seen[t]) {
      *reach = seen;
      return total;
    }
    for (int w = t; w != s;) {
      const int k = via[w];
      const int u = edges[k].a == w ? edges[k].b : edges[k].a;
      flow[k] += edges[k].a == u ? 1 : -1;
      w = u;
    }
    ++total;
  }
}

}  // namespace cuttest

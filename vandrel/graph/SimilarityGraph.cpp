// Similarity graphs built from similarity tables, their components, the
// weight-threshold raise, the far-pair search and the kernel test.  See
// SimilarityGraph.h for the costs.

#include "vandrel/graph/SimilarityGraph.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "vandrel/data/SimilarityData.h"
#include "vandrel/mincut/MinCut.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

std::vector<unsigned int> ToVector(const std::list<unsigned int>& l) {
  return std::vector<unsigned int>(l.begin(), l.end());
}

}  // namespace

// ---------------------------------------------------------------- CSimilarityGraph

CSimilarityGraph::CSimilarityGraph() : CGraph() {}

CSimilarityGraph::CSimilarityGraph(const CSimDistrib* model) : CGraph() {
  if (model != nullptr) m_analyzer.Init(model);
}

CSimilarityGraph::CSimilarityGraph(const CSimilarityData& data, double simThreshold) : CGraph() {
  BuildFromData(data, simThreshold, nullptr);
}

CSimilarityGraph::CSimilarityGraph(const CSimilarityData& data, double simThreshold,
                                   const std::vector<unsigned int>& ids)
    : CGraph() {
  BuildFromData(data, simThreshold, &ids);
}

CSimilarityGraph::CSimilarityGraph(const CSimilarityData& data, double simThreshold,
                                   const std::list<unsigned int>& ids)
    : CGraph() {
  const std::vector<unsigned int> v = ToVector(ids);
  BuildFromData(data, simThreshold, &v);
}

CSimilarityGraph::CSimilarityGraph(const CSimilarityGraph& parent, const std::vector<int>& indices)
    : CGraph(parent, indices), m_analyzer(parent.m_analyzer) {}

CSimilarityGraph::CSimilarityGraph(const CSimilarityGraph& parent, const std::list<int>& indices)
    : CGraph(parent, indices), m_analyzer(parent.m_analyzer) {}

CSimilarityGraph::CSimilarityGraph(CSimilarityGraph* source) : CGraph(*source), m_analyzer(source->m_analyzer) {}

CSimilarityGraph::~CSimilarityGraph() {}

void CSimilarityGraph::BuildFromData(const CSimilarityData& data, double simThreshold,
                                     const std::vector<unsigned int>* ids) {
  const CSimDistrib* model = data.GetSimDistrib();
  if (model == nullptr) throw "CSimilarityGraph constructor - similarity data has no model";
  try {
    m_analyzer.Init(model);
    if (simThreshold != kNoSimThreshold) m_analyzer.SetWeightTh(simThreshold);

    const std::vector<std::string>& names = data.GetNames();
    const size_t namesNum = names.size();
    const CIDHash<unsigned int>& idHash = data.GetIDHash();
    // Element index -> vertex index (-1: element not in this graph).
    std::vector<int> vertexOf(namesNum, -1);

    if (ids == nullptr) {
      // Every element; its id is the one the data maps to its index (a table
      // without any id map covers all elements with id = index).
      std::vector<unsigned int> idOf(namesNum, 0);
      std::vector<bool> known(namesNum, idHash.Size() == 0);
      if (idHash.Size() == 0)
        for (size_t i = 0; i < namesNum; ++i) idOf[i] = static_cast<unsigned int>(i);
      for (CHashIter<unsigned int> it = idHash.Begin(); it != idHash.End(); ++it) {
        const CHashEntry<unsigned int>& entry = it.GetConstPointed();
        if (entry.second < namesNum) {
          idOf[entry.second] = entry.first;
          known[entry.second] = true;
        }
      }
      m_vertices.reserve(namesNum);
      for (size_t i = 0; i < namesNum; ++i) {
        const unsigned int index = static_cast<unsigned int>(i);
        const unsigned int toBigger = data.GetSimValsNumToBigger(index);
        const unsigned int toSmaller = data.GetSimValsNumToSmaller(index);
        if (!known[i]) throw "CSimilarityGraph constructor - element index has no id";
        if (m_idToIndex.Contains(idOf[i])) throw "CGraph::PushBackV - id is already in graph";
        CVertex* v = new CVertex(&names[i], idOf[i], toBigger, toSmaller);
        m_vertices.push_back(v);
        m_idToIndex[idOf[i]] = static_cast<int>(i);
        vertexOf[i] = static_cast<int>(i);
      }
    } else {
      const size_t n = ids->size();
      m_vertices.reserve(n);
      for (unsigned int id : *ids) {
        const unsigned int index = idHash[id];
        const size_t toBigger = std::min<size_t>(data.GetSimValsNumToBigger(index), n);
        const size_t toSmaller = std::min<size_t>(data.GetSimValsNumToSmaller(index), n);
        if (index >= namesNum) throw "CSimilarityGraph constructor - name index is out of scope";
        if (m_idToIndex.Contains(id)) throw "CGraph::PushBackV - id is already in graph";
        CVertex* v = new CVertex(&names[index], id, toBigger, toSmaller);
        m_vertices.push_back(v);
        const int vertexIndex = static_cast<int>(m_vertices.size()) - 1;
        m_idToIndex[id] = vertexIndex;
        vertexOf[index] = vertexIndex;
      }
    }

    // Edges in the data's storage order; a pair whose element is outside the
    // graph (or outside the table) makes no edge.
    for (const CSimilarityData::CElement& value : data.GetValues()) {
      if (!(value.m_value > simThreshold)) continue;
      if (value.m_first >= namesNum || value.m_second >= namesNum) {
        if (ids == nullptr) throw "CGraph::GetVByIndex - index is out of scope";
        continue;
      }
      const int a = vertexOf[value.m_first];
      const int b = vertexOf[value.m_second];
      if (a < 0 || b < 0) continue;
      new CEdge(m_vertices[a], m_vertices[b], model->CalcLogRatio(value.m_value));
    }
  } catch (const std::bad_alloc&) {
    throw "CSimilarityGraph constructor - memory problem";
  }
}

double CSimilarityGraph::Weight(double sim) const {
  const CSimDistrib* model = m_analyzer.GetSimDistrib();
  if (model == nullptr) throw "CSimilarityGraph::Weight - graph has no model";
  return model->CalcLogRatio(sim);
}

bool CSimilarityGraph::RaiseWeightThreshold(double sim) {
  const CSimDistrib* model = m_analyzer.GetSimDistrib();
  if (model == nullptr) throw "CSimilarityGraph::RaiseWeightThreshold - graph has no model";
  double w;
  if (sim == kPriorWeightThreshold) {
    const double pMates = model->GetPMates();
    w = std::log((1.0 - pMates) / pMates);
    w = std::min(w, model->GetWeightMean(0));
  } else {
    w = model->CalcLogRatio(sim);
  }
  if (w < 0) w = 0;
  const double current = m_analyzer.GetWeightTh();
  if (w > current) {
    m_analyzer.SetWeightTh(w);
    for (CVertex* v : m_vertices)
      if (v != nullptr) v->DeleteEdgesUpTo(0, w);
    return true;
  }
  return w == current;
}

// ---------------------------------------------------------------- CComponent

CComponent::CComponent() : CSimilarityGraph(), m_farDepth(-1), m_farSource(nullptr), m_farSink(nullptr) {}

CComponent::CComponent(const CSimilarityGraph& parent, const std::vector<int>& indices)
    : CSimilarityGraph(parent, indices), m_farDepth(-1), m_farSource(nullptr), m_farSink(nullptr) {}

CComponent::CComponent(const CSimilarityGraph& parent, const std::list<int>& indices)
    : CSimilarityGraph(parent, indices), m_farDepth(-1), m_farSource(nullptr), m_farSink(nullptr) {}

CComponent::CComponent(CSimilarityGraph* source)
    : CSimilarityGraph(source), m_farDepth(-1), m_farSource(nullptr), m_farSink(nullptr) {}

CComponent::~CComponent() { m_minCut.reset(); }

void CComponent::CreateMinCut(bool allowNegative) {
  try {
    std::unique_ptr<CMinCut> cut(new CMinCut(this, allowNegative));
    m_minCut = std::move(cut);
  } catch (const std::bad_alloc&) {
    throw "CComponent::CreateMinCut - memory problem";
  }
}

CMinCut* CComponent::GetMinCut() const {
  if (!m_minCut) throw "CComponent::GetMinCut - minCut was not created";
  return m_minCut.get();
}

namespace {

// Weight floor of the edges that count for the far-pair search.
const double kFarEdgeFloor = 2.0;
// Above this many vertices the neighbourhood bitsets would be too large and
// the search runs one breadth-first search per start vertex.
const size_t kFarPairBitsetLimit = 8192;

}  // namespace

// The far pair is the first start vertex (in index order) of greatest BFS
// depth over edges of weight >= 2.0, the search ending at the first start of
// depth 3 or more.  Running a BFS from every start costs O(V * E) on dense
// components, so the depth of each start is first classified as 0, 1, 2 or
// "3 or more" from neighbourhood bitsets (is the ball of radius 1 or 2 the
// whole connected piece?), and a real BFS runs only for the starts that
// improve the best depth (at most four) and for the last start examined, so
// that the result and the labels left behind are those of the plain search.
void CComponent::FindFarPair() {
  m_farDepth = -1;
  m_farSource = nullptr;
  m_farSink = nullptr;
  const size_t n = m_vertices.size();
  if (n > kFarPairBitsetLimit) {
    for (CVertex* v : m_vertices) {
      if (m_farDepth > 2) break;
      if (v == nullptr) continue;
      ClearLabels();
      const BFSResult r = BFS(v, 0, kFarEdgeFloor, 0);
      if (r.first > m_farDepth) {
        m_farDepth = r.first;
        m_farSource = v;
        m_farSink = r.second;
      }
    }
    return;
  }

  try {
    const size_t words = (n + 63) / 64;
    std::vector<unsigned long long> adj(n * words, 0ULL);
    std::vector<int> heavyDegree(n, 0);
    for (size_t i = 0; i < n; ++i) {
      const CVertex* v = m_vertices[i];
      if (v == nullptr) continue;
      for (const CEdge* e : v->m_edges[0]) {
        if (!(e->m_weight >= kFarEdgeFloor)) continue;
        const size_t j = static_cast<size_t>(ID2Index(e->m_v2->m_id));
        unsigned long long& wi = adj[i * words + j / 64];
        const unsigned long long bj = 1ULL << (j % 64);
        if ((wi & bj) == 0) {
          wi |= bj;
          adj[j * words + i / 64] |= 1ULL << (i % 64);
          ++heavyDegree[i];
          ++heavyDegree[j];
        }
      }
    }
    // Connected pieces over heavy edges and their sizes.
    std::vector<int> piece(n, -1);
    std::vector<int> pieceSize;
    std::vector<size_t> stack;
    for (size_t i = 0; i < n; ++i) {
      if (m_vertices[i] == nullptr || piece[i] >= 0) continue;
      const int id = static_cast<int>(pieceSize.size());
      pieceSize.push_back(0);
      piece[i] = id;
      stack.push_back(i);
      while (!stack.empty()) {
        const size_t x = stack.back();
        stack.pop_back();
        ++pieceSize[id];
        for (size_t w = 0; w < words; ++w) {
          unsigned long long bits = adj[x * words + w];
          while (bits != 0) {
            const size_t y = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
            bits &= bits - 1;
            if (piece[y] < 0) {
              piece[y] = id;
              stack.push_back(y);
            }
          }
        }
      }
    }
    auto count = [words](const std::vector<unsigned long long>& set) {
      int c = 0;
      for (size_t w = 0; w < words; ++w) c += __builtin_popcountll(set[w]);
      return c;
    };
    // Depth of a BFS from vertex i, capped at 3.
    std::vector<unsigned long long> ball(words);
    auto cappedDepth = [&](size_t i) {
      if (heavyDegree[i] == 0) return 0;
      const int size = pieceSize[piece[i]];
      if (heavyDegree[i] + 1 == size) return 1;
      for (size_t w = 0; w < words; ++w) ball[w] = adj[i * words + w];
      ball[i / 64] |= 1ULL << (i % 64);
      for (size_t w = 0; w < words; ++w) {
        unsigned long long bits = adj[i * words + w];
        while (bits != 0) {
          const size_t y = w * 64 + static_cast<size_t>(__builtin_ctzll(bits));
          bits &= bits - 1;
          for (size_t k = 0; k < words; ++k) ball[k] |= adj[y * words + k];
          if (count(ball) == size) return 2;
        }
      }
      return 3;
    };

    CVertex* lastTried = nullptr;
    CVertex* lastSearched = nullptr;
    for (size_t i = 0; i < n && m_farDepth <= 2; ++i) {
      CVertex* v = m_vertices[i];
      if (v == nullptr) continue;
      lastTried = v;
      if (cappedDepth(i) <= m_farDepth) continue;
      ClearLabels();
      const BFSResult r = BFS(v, 0, kFarEdgeFloor, 0);
      lastSearched = v;
      m_farDepth = r.first;
      m_farSource = v;
      m_farSink = r.second;
    }
    if (lastTried != nullptr && lastTried != lastSearched) {
      ClearLabels();
      BFS(lastTried, 0, kFarEdgeFloor, 0);
    }
  } catch (const std::bad_alloc&) {
    throw "CComponent::FindFarPair - memory problem";
  }
}

bool CComponent::IsKernel(double minPairWeight) {
  const CSimDistrib* model = GetSimDistrib();
  if (model == nullptr) throw "CComponent::IsKernel - component has no model";
  if (!m_minCut) CreateMinCut(false);
  const double pairs = static_cast<double>(m_minCut->CrossPairs());
  const double expected = pairs * model->GetWeightMean(1) + 3.0 * std::sqrt(pairs) * model->GetWeightStd(1);
  const double negModelTh = -model->GetWeightTh();
  const double level = minPairWeight > negModelTh ? minPairWeight : negModelTh;
  const double byLevel = pairs * level;
  const double threshold = byLevel > expected ? byLevel : expected;
  if (m_minCut->GetCompleteCutWeight() == 0) m_minCut->CalcCompleteWeight();
  const double w = m_minCut->GetCompleteCutWeight();
  if (m_farDepth < 0) FindFarPair();
  if (w > threshold && m_farDepth <= 2) {
    m_minCut->MakeSmallSide();
    return true;
  }
  return false;
}

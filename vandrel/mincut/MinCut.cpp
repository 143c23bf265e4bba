// Minimum-cut front end: algorithm choice, the stored side, its smaller
// side, the weight of the crossing edges and the complete cut weight (the
// crossing edges plus the missing-edge weight for every split pair without
// an edge, or for fingerprints the exact weight of every split pair).
// Cost: the chosen algorithm once; the weight questions touch the edges of
// the small side (fingerprints: one similarity per split pair).

#include "vandrel/mincut/MinCut.h"

#include <memory>
#include <new>

#include "vandrel/engine/Evaluators.h"
#include "vandrel/graph/Graph.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/Dinic.h"
#include "vandrel/mincut/HaoOrlin.h"
#include "vandrel/mincut/NegMinCut.h"

namespace {

// Largest component that the exact Hao-Orlin search cuts.
const int kMaxHaoOrlinVertices = 1000;

}  // namespace

CMinCutAlg::~CMinCutAlg() {}

CMinCut::CMinCut(CComponent* component, bool allowNegative)
    : m_comp(component), m_cutWeight(0.0), m_completeCutWeight(0.0), m_cutEdges(0) {
  std::unique_ptr<CMinCutAlg> alg;
  if (allowNegative)
    alg.reset(new (std::nothrow) CNegMinCut());
  else if (component->GetVerticesNum() <= kMaxHaoOrlinVertices)
    alg.reset(new (std::nothrow) CHaoOrlin());
  else
    alg.reset(new (std::nothrow) CDinic());
  if (!alg) throw "CMinCut constructor - Memory problems";
  m_part = alg->Run(component);
}

CMinCut::~CMinCut() {}

int CMinCut::VertexCount() const { return m_comp->GetVerticesNum(); }

const std::list<int>& CMinCut::GetSmallPartIndices() const {
  if (static_cast<int>(m_part.size()) > VertexCount() / 2)
    throw "CMinCut::GetSmallPartIndices - small part wasn't computed";
  return m_part;
}

void CMinCut::BuildSideMarks() {
  const int n = VertexCount();
  const bool listedIsSmall = static_cast<int>(m_part.size()) <= n / 2;
  m_side.assign(n, listedIsSmall ? 1 : 0);
  for (int index : m_part) m_side[index] = listedIsSmall ? 0 : 1;
}

void CMinCut::MakeSmallSide() {
  const int n = VertexCount();
  if (static_cast<int>(m_part.size()) <= n / 2) return;
  if (static_cast<int>(m_side.size()) != n) BuildSideMarks();
  m_part.clear();
  for (int i = 0; i < n; ++i)
    if (m_side[i] == 0) m_part.push_back(i);
}

long long CMinCut::CrossPairs() const {
  const long long k = static_cast<long long>(m_part.size());
  return k * (VertexCount() - k);
}

void CMinCut::CalcCutWeight() {
  m_cutWeight = 0.0;
  m_cutEdges = 0;
  BuildSideMarks();
  MakeSmallSide();
  for (int index : m_part) {
    const CVertex* v = m_comp->GetVByIndex(index);
    for (int list = 0; list < 2; ++list) {
      for (const CEdge* e : v->m_edges[list]) {
        const CVertex* other = list == 0 ? e->m_v2 : e->m_v1;
        if (m_side[m_comp->ID2Index(other->m_id)] == 1) {
          m_cutWeight += e->m_weight;
          ++m_cutEdges;
        }
      }
    }
  }
}

long long CMinCut::CalcCompleteWeight() {
  if (m_cutWeight == 0.0) CalcCutWeight();
  const long long missing = CrossPairs() - m_cutEdges;
  m_completeCutWeight = m_cutWeight + missing * m_comp->m_analyzer.GetMissingEdgeWeight();
  return missing;
}

CFPMinCut::CFPMinCut(CFPComponent* component, bool allowNegative)
    : CMinCut(component, allowNegative), m_fpComp(component) {}

CFPMinCut::~CFPMinCut() {}

long long CFPMinCut::CalcCompleteWeight() {
  BuildSideMarks();
  std::vector<unsigned int> small;
  std::vector<unsigned int> large;
  const int n = VertexCount();
  for (int i = 0; i < n; ++i) {
    const unsigned int id = m_fpComp->GetVByIndex(i)->m_id;
    (m_side[i] == 0 ? small : large).push_back(id);
  }
  const CFPCalcExactCompleteWeight exact(*m_fpComp);
  double weight = 0.0;
  for (unsigned int x : small) weight += exact.ExactWeight(large, x);
  m_completeCutWeight = weight;
  return 0;
}

// Fingerprint similarity graphs and components: the graph parts come from
// CSimilarityGraph; these classes keep, for every vertex index, a pointer to
// the element's normalized fingerprint, in step with every renumbering.
// Costs: O(V) per construction on top of the graph's own.

#include <new>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimilarityData.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/mincut/MinCut.h"

namespace {

std::vector<int> ToVector(const std::list<int>& l) { return std::vector<int>(l.begin(), l.end()); }
std::vector<unsigned int> ToVector(const std::list<unsigned int>& l) {
  return std::vector<unsigned int>(l.begin(), l.end());
}

}  // namespace

// ---------------------------------------------------------------- CFPGraph

CFPGraph::CFPGraph() : CSimilarityGraph() {}

CFPGraph::CFPGraph(const CSIMnFPData& fpData, double simThreshold, const std::vector<unsigned int>& ids)
    : CSimilarityGraph(fpData, simThreshold, ids) {
  AppendDataFPs(fpData, ids);
}

CFPGraph::CFPGraph(const CSIMnFPData& fpData, double simThreshold, const std::list<unsigned int>& ids)
    : CSimilarityGraph(fpData, simThreshold, ids) {
  AppendDataFPs(fpData, ToVector(ids));
}

CFPGraph::CFPGraph(const CSIMnFPData& fpData, double simThreshold) : CSimilarityGraph(fpData, simThreshold) {
  // Vertex index = element index.
  const CNormFPMtx& mtx = fpData.GetNormFPMtx();
  try {
    m_normFPs.reserve(m_vertices.size());
    for (size_t i = 0; i < m_vertices.size(); ++i) m_normFPs.push_back(&mtx[static_cast<unsigned int>(i)]);
  } catch (const std::bad_alloc&) {
    throw "CFPGraph constructor - memory problem";
  }
}

CFPGraph::CFPGraph(const CFPGraph& parent, const std::vector<int>& indices) : CSimilarityGraph(parent, indices) {
  CopyParentFPs(parent, indices);
}

CFPGraph::CFPGraph(const CFPGraph& parent, const std::list<int>& indices) : CSimilarityGraph(parent, indices) {
  CopyParentFPs(parent, ToVector(indices));
}

CFPGraph::CFPGraph(CFPGraph* source) : CSimilarityGraph(source) { CopySourceFPs(*source); }

CFPGraph::~CFPGraph() {}

void CFPGraph::AppendDataFPs(const CSIMnFPData& fpData, const std::vector<unsigned int>& ids) {
  const CIDHash<unsigned int>& idHash = fpData.GetIDHash();
  const CNormFPMtx& mtx = fpData.GetNormFPMtx();
  try {
    m_normFPs.reserve(m_normFPs.size() + ids.size());
    for (unsigned int id : ids) m_normFPs.push_back(&mtx[idHash[id]]);
  } catch (const std::bad_alloc&) {
    throw "CFPGraph constructor - memory problem";
  }
}

void CFPGraph::CopyParentFPs(const CFPGraph& parent, const std::vector<int>& indices) {
  try {
    m_normFPs.reserve(m_normFPs.size() + indices.size());
    for (int index : indices) m_normFPs.push_back(parent.GetNormFP(index));
  } catch (const std::bad_alloc&) {
    throw "CFPGraph constructor - memory problem";
  }
}

void CFPGraph::CopySourceFPs(const CFPGraph& source) {
  try {
    m_normFPs.reserve(m_normFPs.size() + m_vertices.size());
    for (size_t k = 0; k < source.m_vertices.size(); ++k)
      if (source.m_vertices[k] != nullptr) m_normFPs.push_back(source.GetNormFP(static_cast<int>(k)));
  } catch (const std::bad_alloc&) {
    throw "CFPGraph constructor - memory problem";
  }
}

const CNormFP* CFPGraph::GetNormFP(int index) const {
  if (static_cast<unsigned int>(index) >= m_normFPs.size()) throw "CFPGraph::GetNormFP - index is out of scope";
  return m_normFPs[index];
}

std::list<unsigned int> CFPGraph::RemoveIsolatedVertices() {
  std::vector<const CNormFP*> kept;
  kept.reserve(m_normFPs.size());
  for (size_t k = 0; k < m_vertices.size(); ++k) {
    const CVertex* v = m_vertices[k];
    if (v != nullptr && v->GetDegree() > 0) kept.push_back(GetNormFP(static_cast<int>(k)));
  }
  std::list<unsigned int> removed = CSimilarityGraph::RemoveIsolatedVertices();
  m_normFPs.swap(kept);
  return removed;
}

void CFPGraph::TakeInduced(CGraph& source, const std::vector<int>& indices) {
  const CFPGraph* parent = dynamic_cast<const CFPGraph*>(&source);
  if (parent == nullptr) throw "CFPGraph::TakeInduced - source has no fingerprints";
  CSimilarityGraph::TakeInduced(source, indices);
  // source's table keeps the moved vertices' entries, as after a deletion.
  CopyParentFPs(*parent, indices);
}

// ---------------------------------------------------------------- CFPComponent

CFPComponent::CFPComponent(const CFPGraph& parent, const std::vector<int>& indices)
    : CSimilarityGraph(parent, indices), CFPGraph(), CComponent() {
  CopyParentFPs(parent, indices);
}

CFPComponent::CFPComponent(const CFPGraph& parent, const std::list<int>& indices)
    : CSimilarityGraph(parent, indices), CFPGraph(), CComponent() {
  CopyParentFPs(parent, ToVector(indices));
}

CFPComponent::CFPComponent(CFPGraph* source) : CSimilarityGraph(source), CFPGraph(), CComponent() {
  CopySourceFPs(*source);
}

CFPComponent::~CFPComponent() {}

void CFPComponent::CreateMinCut(bool allowNegative) {
  try {
    std::unique_ptr<CMinCut> cut(new CFPMinCut(this, allowNegative));
    m_minCut = std::move(cut);
  } catch (const std::bad_alloc&) {
    throw "CComponent::CreateMinCut - memory problem";
  }
}

#include "vandrel/engine/FullZelk.h"

#include <new>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/engine/CompactSplitter.h"
#include "vandrel/engine/Evaluators.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/run/AnalysisFile.h"
#include "vandrel/solution/Cluster.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

constexpr double kNoHomogeneity = -10000000.0;
constexpr double kFPDefaultThreshold = -3000000.0;
constexpr double kAllEdges = -1000000.0;
constexpr unsigned int kMinKernelSize = 14;
constexpr double kMaxPartSize = 15.0;

// A new cluster of the component's elements, in vertex order; for
// fingerprints with the members' mean fingerprint as centroid.
template <class Component>
CCluster* MakeCluster(const Component& component) {
  return new CCluster(component.GetIDsList());
}

template <>
CCluster* MakeCluster<CFPComponent>(const CFPComponent& component) {
  CNormFPConstPtrVec group;
  const int n = component.GetVerticesNum();
  for (int i = 0; i < n; ++i) group.push_back(component.GetNormFP(i));
  const CNormFP centroid(group);
  return new CFPCluster(component.GetIDsList(), centroid);
}

}  // namespace

// ---------------------------------------------------------------------------
// CBasicZelk

template <class T>
CBasicZelk<T>::CBasicZelk(const COwningHandle<Component>& component,
                          unsigned int minSize, double minPairWeight) {
  Find(component, minSize, minPairWeight);
}

template <class T>
void CBasicZelk<T>::GiveUp(const Component& component) {
  std::list<unsigned int> ids = component.GetIDsList();
  m_singletonsNum += static_cast<unsigned int>(ids.size());
  m_singletons.splice(m_singletons.end(), ids);
}

template <class T>
void CBasicZelk<T>::Find(const COwningHandle<Component>& handle,
                         unsigned int minSize, double minPairWeight) {
  COwningHandle<Component> component(handle);
  const unsigned int n = static_cast<unsigned int>(component->GetVerticesNum());
  if (n <= minSize) {
    GiveUp(*component);
    return;
  }
  if (component->IsKernel(minPairWeight)) {
    std::unique_ptr<Cluster> kernel(
        static_cast<Cluster*>(MakeCluster<Component>(*component)));
    CAnalysisFile::Write("\nCBasicZelk found new kernel : size = ", kernel->GetSize());
    m_kernels.push_back(std::move(kernel));
    return;
  }
  COwningHandle<Component> first, second;
  {
    CComp2CutSubcomps<typename T::Basic> cut(component, false);
    first = cut.TakeFirstSubcomp();
    second = cut.TakeSecondSubcomp();
  }
  // A cut that separates nothing would recurse forever on the same
  // component: its elements are given up instead.
  if (first->GetVerticesNum() == 0 || second->GetVerticesNum() == 0) {
    GiveUp(*first);
    GiveUp(*second);
    return;
  }
  CBasicZelk<T> a, b;
  a.Find(first, minSize, minPairWeight);
  b.Find(second, minSize, minPairWeight);
  m_singletons.splice(m_singletons.end(), a.m_singletons);
  m_singletons.splice(m_singletons.end(), b.m_singletons);
  m_singletonsNum += a.m_singletonsNum + b.m_singletonsNum;
  m_kernels.splice(m_kernels.end(), a.m_kernels);
  m_kernels.splice(m_kernels.end(), b.m_kernels);
}

// ---------------------------------------------------------------------------
// CFullZelk

template <class T>
CFullZelk<T>::CFullZelk(Graph* graph) : m_graph(graph) {}

template <class T>
void CFullZelk<T>::EffectiveThresholds(const Graph& graph, double homogeneity,
                                       double adoptTh, double* hh, double* a) {
  *a = adoptTh;
  if (homogeneity == kNoHomogeneity) {
    *hh = kNoHomogeneity;
  } else if (homogeneity <= 0.0 || homogeneity >= 1.0) {
    *hh = graph.GetSimDistrib()->GetDistrib(0)->GetExp();
  } else {
    *hh = homogeneity;
    if (adoptTh == kFPDefaultThreshold) *a = homogeneity;
  }
}

template <class T>
std::vector<COwningHandle<typename T::Graph>> CFullZelk<T>::SplitGraph(
    const COwningHandle<Graph>& graph, double maxPartSize) {
  std::vector<COwningHandle<Graph>> parts;
  std::unique_ptr<CFullGraph2Parts<Basic>> splitter;
  try {
    splitter.reset(new CFullGraph2Parts<Basic>(graph, static_cast<unsigned int>(maxPartSize)));
  } catch (const std::bad_alloc&) {
    throw "CFullZelk::SplitGraph - memory problem";
  }
  const unsigned int num = splitter->GetPartsNum();
  parts.reserve(num);
  for (unsigned int i = 0; i < num; ++i) parts.push_back(splitter->TakeGraphPart(i));
  return parts;
}

template <class T>
void CFullZelk<T>::ProcessPart(const COwningHandle<Graph>& handle, double hh) {
  COwningHandle<Graph> part(handle);
  part->RaiseWeightThreshold(hh);
  std::list<unsigned int> isolated = part->RemoveIsolatedVertices();
  m_singletons.splice(m_singletons.end(), isolated);

  CGraph2Components<Basic> components(part, kAllEdges);
  CAnalysisFile::Write("\nNumber of components = ", components.GetComponentsNum());
  for (unsigned int j = 0; j < components.GetComponentsNum(); ++j) {
    CComp2Screened<Basic> screened(components.TakeComponent(j));
    std::list<unsigned int> out = screened.GetScreenedIDs();
    m_singletons.splice(m_singletons.end(), out);
    CGraph2Components<Basic> pieces(screened.TakeScreenedGraph(), kAllEdges);
    for (unsigned int k = 0; k < pieces.GetComponentsNum(); ++k) {
      CBasicZelk<T> basic(pieces.TakeComponent(k), kMinKernelSize, hh);
      m_singletons.splice(m_singletons.end(), basic.m_singletons);
      for (const auto& kernel : basic.m_kernels) m_partKernels->Insert(*kernel);
    }
  }
  for (const auto& kernel : m_partKernels->GetKernelList())
    m_kernels->Insert(kernel.m_cluster);
  m_partKernels->Clear();
}

template <class T>
void CFullZelk<T>::Run(CAdoptBest<Basic>& adopter, double adoptTh,
                       CRejectWorst<Basic>& /*rejector*/, double /*rejectTh*/,
                       CMergeBest<Basic>& /*merger*/, double /*mergeTh*/,
                       double homogeneity) {
  m_kernels.reset(new Kernels(m_graph));
  m_partKernels.reset(new Kernels(m_graph));
  m_singletons = m_graph->GetIDsList();

  double hh = 0.0, a = 0.0;
  EffectiveThresholds(*m_graph, homogeneity, adoptTh, &hh, &a);

  while (!m_singletons.empty()) {
    std::vector<int> indices;
    indices.reserve(m_singletons.size());
    for (unsigned int id : m_singletons) indices.push_back(m_graph->ID2Index(id));
    const unsigned int s0 = static_cast<unsigned int>(indices.size());
    CAnalysisFile::Write("\n--->Full Zelk iteration\nStart number of elements = ", s0, "\n");
    m_singletons.clear();

    // The parts SplitGraph gives for the subgraph over the singletons,
    // without building that subgraph's edges.
    std::vector<COwningHandle<Graph>> parts =
        CCompactSplitter<Graph>::Split(*m_graph, indices, static_cast<unsigned int>(kMaxPartSize));
    for (std::size_t i = 0; i < parts.size(); ++i) {
      CAnalysisFile::Write("\nGraph part ", static_cast<unsigned int>(i + 1),
                           ": size = ", static_cast<unsigned int>(parts[i]->GetVerticesNum()));
      ProcessPart(parts[i], hh);
    }

    if (m_kernels->GetKernelsNum() == 0) break;
    CAnalysisFile::Write("\n--->FullZelk Iteration Adoption");
    adopter.AdoptAll(*m_kernels, m_singletons, a);
    if (m_singletons.size() == s0) break;
  }

  const unsigned int kernels = m_kernels->GetKernelsNum();
  const unsigned int singletons = GetSingletonsNum();
  CAnalysisFile::Write("\n\n--->Full Zelk iterating finished\nKernels num = ", kernels,
                       ", Singletons num = ", singletons);
  CAnalysisFile::Write("\nFinal Kernels num = ", kernels,
                       ", Final Singletons num = ", singletons);
}

template class CBasicZelk<CSDExtendedTypeTags>;
template class CBasicZelk<CFPExtendedTypeTags>;
template class CFullZelk<CSDExtendedTypeTags>;
template class CFullZelk<CFPExtendedTypeTags>;

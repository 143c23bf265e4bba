#pragma once
// Kernel finding on one super component.
//
// CBasicZelk is the recursive core: a component that passes the kernel test
// becomes a kernel; one that does not is cut along its minimum cut and both
// sides are treated again; pieces of at most minSize vertices are given up
// as singletons.  Cost: one minimum cut per tested component.
//
// CFullZelk drives it in iterations over a whole super component: split the
// graph into parts of fewer than 15 vertices by cuts that allow negative
// weights, prune weak edges, drop isolated vertices, split into components,
// screen, run CBasicZelk on every piece, then adopt leftover elements into
// the kernels (one best adoption per pass) and start again on what is still
// left, until an iteration places nothing.
//
// Both are instantiated for CSDExtendedTypeTags and CFPExtendedTypeTags.
#include <list>
#include <memory>
#include <vector>

#include "vandrel/engine/Kernels.h"
#include "vandrel/engine/Merger.h"
#include "vandrel/engine/Transformers.h"
#include "vandrel/engine/TypeTags.h"

template <class T>
class CBasicZelk {
 public:
  using Component = typename T::Component;
  using Cluster = typename T::Cluster;

  // Does all the work: the component is consumed.
  CBasicZelk(const COwningHandle<Component>& component, unsigned int minSize,
             double minPairWeight);
  virtual ~CBasicZelk() = default;

  std::list<unsigned int> m_singletons;
  unsigned int m_singletonsNum = 0;
  std::list<std::unique_ptr<Cluster>> m_kernels;

 private:
  CBasicZelk() = default;
  void Find(const COwningHandle<Component>& component, unsigned int minSize,
            double minPairWeight);
  void GiveUp(const Component& component);
};

template <class T>
class CFullZelk {
 public:
  using Basic = typename T::Basic;
  using Graph = typename T::Graph;
  using Kernels = CKernels<Basic>;

  // The super-component graph is not owned.
  explicit CFullZelk(Graph* graph);
  CFullZelk(const CFullZelk&) = delete;
  CFullZelk& operator=(const CFullZelk&) = delete;
  virtual ~CFullZelk() = default;

  // The rejector, the merger and their thresholds are accepted and not used.
  void Run(CAdoptBest<Basic>& adopter, double adoptTh,
           CRejectWorst<Basic>& rejector, double rejectTh,
           CMergeBest<Basic>& merger, double mergeTh, double homogeneity);

  // Parts of fewer than maxPartSize (truncated) vertices; the graph is consumed.
  static std::vector<COwningHandle<Graph>> SplitGraph(const COwningHandle<Graph>& graph,
                                                      double maxPartSize);

  const std::list<unsigned int>& GetSingletons() const { return m_singletons; }
  unsigned int GetSingletonsNum() const {
    return static_cast<unsigned int>(m_singletons.size());
  }
  const Kernels& GetKernels() const { return *m_kernels; }

  // The per-pair floor (effective homogeneity) and adoption threshold that
  // Run uses for the given homogeneity and adoption threshold.
  static void EffectiveThresholds(const Graph& graph, double homogeneity,
                                  double adoptTh, double* hh, double* a);

 private:
  void ProcessPart(const COwningHandle<Graph>& part, double hh);

  Graph* m_graph;
  std::list<unsigned int> m_singletons;
  std::unique_ptr<Kernels> m_kernels;
  std::unique_ptr<Kernels> m_partKernels;
};

extern template class CBasicZelk<CSDExtendedTypeTags>;
extern template class CBasicZelk<CFPExtendedTypeTags>;
extern template class CFullZelk<CSDExtendedTypeTags>;
extern template class CFullZelk<CFPExtendedTypeTags>;

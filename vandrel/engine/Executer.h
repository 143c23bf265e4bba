#pragma once
// The executer: the engine's top level.
//
// From the analyzed input it builds the similarity data and the similarity
// graph, breaks the graph into super components of at most 2000 elements,
// runs kernel finding on each, gathers the kernels over the whole data set,
// adopts and merges in passes until no further element is placed, and builds
// the clustering solution.  CExecuter<CSDExtendedTypeTags> works on
// similarity data, CExecuter<CFPExtendedTypeTags> on fingerprints.
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/engine/Evaluators.h"
#include "vandrel/engine/FullZelk.h"
#include "vandrel/engine/Kernels.h"
#include "vandrel/engine/Merger.h"
#include "vandrel/engine/Transformers.h"
#include "vandrel/engine/TypeTags.h"

class CSolution;
namespace vandrel {
class COrderedTasks;
}

class CExecuterBase {
 public:
  virtual ~CExecuterBase() = default;
  virtual void Run(double adoptTh, double rejectTh, double mergeTh, double homogeneity,
                   int clustersNum) = 0;
  // Throws "CSuperZelk executer - no Run action preformed yet" before a run.
  virtual CSolution* GetSolution() = 0;
};

template <class T>
class CExecuter : public CExecuterBase {
 public:
  using Basic = typename T::Basic;
  using Graph = typename T::Graph;
  using Component = typename T::Component;
  using SimData = typename T::SimData;
  using Analyzer = typename T::Analyzer;
  using Solution = typename T::Solution;
  using Kernels = CKernels<Basic>;
  using IDList = std::list<unsigned int>;

  // Reads the input through the analyzer and computes the similarity
  // threshold that keeps about one million pairs.
  explicit CExecuter(const char* inputPrefix);
  CExecuter(const CExecuter&) = delete;
  CExecuter& operator=(const CExecuter&) = delete;
  ~CExecuter() override;

  void Run(double adoptTh, double rejectTh, double mergeTh, double homogeneity,
           int clustersNum) override;
  CSolution* GetSolution() override;

  double GetSimTh() const { return m_simTh; }

  // Test seam for failures in the middle of kernel finding: when set, it is
  // called with a super component's index (from 0) and kFound once that
  // super component's kernel finding is done, on the thread that ran it,
  // and with kBuilt once its graph is built, on the thread that builds the
  // graphs.  Whatever it throws fails that super component there.
  enum ProbePoint { kBuilt, kFound };
  using Probe = std::function<void(std::size_t k, ProbePoint point)>;
  static void SetProbe(Probe probe) { s_probe = std::move(probe); }

 private:
  void BuildSimData();
  Graph* NewFullGraph(double threshold);
  // The graph of the refinement (adoption and merging) over all elements.
  Graph* NewRefinementGraph();
  Graph* NewGraph(double threshold, const IDList& ids);
  SimData* NewSubsetData(const std::vector<unsigned int>& ids);
  void HandleVerySmallComps(const Component& component, unsigned int* passSize);
  void CreateSuperCompsIDsLists(const COwningHandle<Component>& component, double t, double d);
  struct SuperCompTask;
  void SubmitSuperComponent(vandrel::COrderedTasks& tasks, std::size_t k, double adoptTh,
                            double rejectTh, double mergeTh, double homogeneity,
                            unsigned int* clustered, unsigned int total);
  void RefineKernels(double a, double rejectTh, double mergeTh, int clustersNum, double h);
  double AdjustThresholds(CAdoptEvaluator<Basic>& adopt, double a, CRejectEvaluator<Basic>& reject,
                          double rejectTh, CMergeEvaluator<Basic>& merge, double h);
  unsigned int Unplaced() const {
    return static_cast<unsigned int>(m_singletons.size() + m_remained.size());
  }
  void PrintProgress(unsigned int clustered, unsigned int total) const;

  double m_simTh = 0.0;
  std::string m_inputPrefix;
  std::unique_ptr<Analyzer> m_analyzer;
  std::vector<bool> m_superCompIsWhole;
  std::vector<std::vector<unsigned int>> m_superComps;
  IDList m_singletons;
  std::unique_ptr<Graph> m_graph;
  std::unique_ptr<SimData> m_simData;
  std::list<IDList> m_kernelsIDs;
  IDList m_remained;
  std::unique_ptr<Kernels> m_kernels;
  std::unique_ptr<Solution> m_solution;

  static bool s_initialized;  // the draw table and screen size, once per type
  static Probe s_probe;
};

extern template class CExecuter<CSDExtendedTypeTags>;
extern template class CExecuter<CFPExtendedTypeTags>;

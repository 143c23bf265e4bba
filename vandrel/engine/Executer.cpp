#include "vandrel/engine/Executer.h"

#include <cstdio>

#include <exception>
#include <iostream>
#include <memory>
#include <new>
#include <sstream>
#include <utility>

#include "vandrel/data/SimilarityData.h"
#include "vandrel/engine/OrderedTasks.h"
#include "vandrel/engine/SuperCompSplitter.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/run/AnalysisFile.h"
#include "vandrel/solution/Cluster.h"
#include "vandrel/solution/Solution.h"
#include "vandrel/run/StageTimer.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/NormDistrib.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

constexpr unsigned int kSimilarPairsWanted = 1000000;
constexpr unsigned int kMinScreenSize = 250;
constexpr unsigned int kMinSuperCompSize = 14;   // smaller components: final singletons
constexpr unsigned int kMinSplitPieceSize = 15;  // smaller split pieces: retried later
constexpr unsigned int kMaxSuperCompSize = 2000;
constexpr double kAllEdges = -1000000.0;
constexpr double kKeepAllValues = -10000000.0;
constexpr double kAutoAdoptTh = -9999999.0;
constexpr double kEveryPairMerges = -100000000.0;
// Edges and vertices of the super-component graphs built or in kernel
// finding at once: about one complete graph of 2000 vertices, the largest
// super component, so running several at once holds no more than the
// largest one alone.
constexpr std::size_t kCostInFlight = 2000000;

const CSimDistrib& ModelOf(const CDataFileAnalyzer& analyzer) {
  return *analyzer.GetSimDistrib();
}

}  // namespace

template <class T>
bool CExecuter<T>::s_initialized = false;

template <class T>
typename CExecuter<T>::Probe CExecuter<T>::s_probe;

template <class T>
CExecuter<T>::CExecuter(const char* inputPrefix) : m_inputPrefix(inputPrefix) {
  if (!s_initialized) {
    CNormDistrib::InitManyDraws();
    CComp2Screened<Basic>::SetMinScreenSize(kMinScreenSize);
    s_initialized = true;
  }
  std::cout << "Preprocessing the data ..." << std::endl;
  {
    vandrel::ScopedStage stage("reading + model fit");
    try {
      m_analyzer.reset(new Analyzer(m_inputPrefix));
    } catch (const std::bad_alloc&) {
      throw "CSuperZelk constructor - memory problem";
    }
  }
  vandrel::ScopedStage stage("similarity threshold");
  m_simTh = m_analyzer->CalcSimTh(kSimilarPairsWanted);
  if (vandrel::StageTimingEnabled())
    std::fprintf(stderr, "[timing] similarity threshold value %.17g\n", m_simTh);
}

template <class T>
CExecuter<T>::~CExecuter() {
  // Solution, kernels and graphs refer to the similarity data: drop them first.
  m_solution.reset();
  m_kernels.reset();
  m_graph.reset();
  m_simData.reset();
  m_analyzer.reset();
}

template <class T>
CSolution* CExecuter<T>::GetSolution() {
  if (!m_solution) throw "CSuperZelk executer - no Run action preformed yet";
  return m_solution.get();
}

template <class T>
void CExecuter<T>::PrintProgress(unsigned int clustered, unsigned int total) const {
  // An empty data set has nothing left to place.
  const unsigned int percent = total == 0 ? 100u : clustered * 100u / total;
  std::cout << "Finished " << percent << " % of main part ..." << std::endl;
}

template <class T>
void CExecuter<T>::BuildSimData() {
  vandrel::ScopedStage stage("all-pairs similarities");
  try {
    if constexpr (Basic::kIsFP) {
      m_simData.reset(new CSIMnFPData(*m_analyzer, m_simTh));
    } else {
      m_simData.reset(new CSimilarityData());
      m_simData->SetSimDistrib(std::make_unique<CSimDistrib>(ModelOf(*m_analyzer)));
      m_simData->ReadValsFile(m_analyzer->GetPrefix(), m_simTh);
    }
  } catch (const std::bad_alloc&) {
    throw "CSimilarityData constructor - memory problem";
  }
  vandrel::ScopedStage saving("  (of which saving .sim cache)");
  m_simData->Save(m_analyzer->GetPrefix(), false);
}

template <class T>
typename T::Graph* CExecuter<T>::NewFullGraph(double threshold) {
  try {
    return new Graph(*m_simData, threshold);
  } catch (const std::bad_alloc&) {
    throw "CExecuter::Run - memory problem";
  }
}

namespace {

// Whether every pair of the graph's vertices has an edge.
bool HasEveryPair(const CSimilarityGraph& graph) {
  const unsigned long long n = static_cast<unsigned long long>(graph.GetVerticesNum());
  unsigned long long ends = 0;
  for (unsigned long long i = 0; i < n; ++i) {
    const CVertex* v = graph.GetVByIndex(static_cast<int>(i));
    ends += v->m_edges[0].size() + v->m_edges[1].size();
  }
  return ends / 2 >= n * (n - 1) / 2;
}

}  // namespace

// Built with the similarity threshold of the run.  When that threshold keeps
// every value of a similarity file (no threshold), the graph's missing-edge
// weight would stay 0, so a pair that the file does not list would weigh as
// much as an undecided pair and an element without any value would reach the
// adoption threshold of every kernel.  Such a pair stands for a similarity
// below every listed value: it gets the weight of that range under the model.
// A file that lists every pair keeps the weight 0 it had.
template <class T>
typename T::Graph* CExecuter<T>::NewRefinementGraph() {
  std::unique_ptr<Graph> graph(NewFullGraph(m_simTh));
  if constexpr (!Basic::kIsFP) {
    if (m_simTh == kAllEdges && !HasEveryPair(*graph))
      graph->m_analyzer.SetUnlistedPairWeight(m_analyzer->GetMinSimVal());
  }
  return graph.release();
}

template <class T>
typename T::Graph* CExecuter<T>::NewGraph(double threshold, const IDList& ids) {
  try {
    return new Graph(*m_simData, threshold, ids);
  } catch (const std::bad_alloc&) {
    throw "CExecuter::Run - memory problem";
  }
}

template <class T>
typename T::SimData* CExecuter<T>::NewSubsetData(const std::vector<unsigned int>& ids) {
  try {
    return new SimData(*m_analyzer, kKeepAllValues, ids);
  } catch (const std::bad_alloc&) {
    throw "CSimilarityData constructor - memory problem";
  }
}

template <class T>
void CExecuter<T>::HandleVerySmallComps(const Component& component, unsigned int* passSize) {
  IDList ids;
  try {
    ids = component.GetIDsList();
  } catch (const std::bad_alloc&) {
    throw "CSuperZelk executer ::HandleVerySmallComps - memory problem";
  }
  *passSize -= static_cast<unsigned int>(ids.size());
  m_singletons.splice(m_singletons.end(), ids);
}

template <class T>
void CExecuter<T>::CreateSuperCompsIDsLists(const COwningHandle<Component>& component, double t,
                                            double d) {
  CSuperCompSplitter<Basic> splitter(kMinSplitPieceSize, kMaxSuperCompSize);
  splitter.Split(component, t, d, &m_superComps, &m_remained);
  m_superCompIsWhole.resize(m_superComps.size(), false);  // none is a whole component
}

// What one super component's kernel finding hands on: its log records,
// and the results that AddResults gathers.
template <class T>
struct CExecuter<T>::SuperCompTask {
  std::ostringstream log;
  std::unique_ptr<SimData> data;
  std::unique_ptr<Graph> graph;
  unsigned int size = 0;
  IDList leftover;
  unsigned int leftoverNum = 0;
  std::vector<std::pair<unsigned int, IDList>> kernels;  // size, members
};

// The data and graph of super component k are built here, on the calling
// thread and in super-component order (refitting its model draws from the
// program's generator); its kernel finding runs as a task of `tasks`, and its
// hand-on writes its records, adds its results and prints the progress line.
template <class T>
void CExecuter<T>::SubmitSuperComponent(vandrel::COrderedTasks& tasks, std::size_t k,
                                        double adoptTh, double rejectTh, double mergeTh,
                                        double homogeneity, unsigned int* clustered,
                                        unsigned int total) {
  const std::size_t n = m_superComps[k].size();
  tasks.MakeRoom(n * (n - 1) / 2 + n);  // edges at most, and vertices

  auto task = std::make_shared<SuperCompTask>();
  task->data.reset(NewSubsetData(m_superComps[k]));
  try {
    task->graph.reset(new Graph(*task->data, kAllEdges));
  } catch (const std::bad_alloc&) {
    throw "CExecuter::Run - memory problem";
  }
  task->data->ReleaseValues();  // the graph holds them as edges now
  task->size = static_cast<unsigned int>(task->graph->GetVerticesNum());
  if (s_probe) s_probe(k, kBuilt);
  {
    CAnalysisFile::CCapture capture(task->log);
    CAnalysisFile::Write("\n+++++++++++++++\nSuper component ", static_cast<unsigned int>(k + 1),
                         ", size = ", task->size);
  }
  const std::size_t cost = static_cast<std::size_t>(task->graph->GetEdgesNum()) + task->size;

  auto work = [task, k, adoptTh, rejectTh, mergeTh, homogeneity] {
    CAnalysisFile::CCapture capture(task->log);
    {
      CFullZelk<T> fullZelk(task->graph.get());
      {
        CEvaluatorSet<Basic> evaluators = CreateEvaluators<Basic>(*task->graph);
        CAdoptBest<Basic> adopter(evaluators.m_adopt.get());
        CRejectWorst<Basic> rejector(evaluators.m_reject.get());
        CMergeBest<Basic> merger(evaluators.m_merge.get());
        fullZelk.Run(adopter, adoptTh, rejector, rejectTh, merger, mergeTh, homogeneity);
      }
      if (s_probe) s_probe(k, kFound);
      task->leftoverNum = fullZelk.GetSingletonsNum();
      try {
        task->leftover = fullZelk.GetSingletons();
      } catch (const std::bad_alloc&) {
        throw "CExecuter::AddResults - memory problem";
      }
      for (const auto& kernel : fullZelk.GetKernels().GetKernelList())
        task->kernels.emplace_back(kernel.Size(), kernel.Members());
    }
    task->graph.reset();
    task->data.reset();
  };

  auto handOn = [this, task, k, clustered, total](std::exception_ptr error) {
    CAnalysisFile::WriteCaptured(task->log.str());
    if (error) std::rethrow_exception(error);
    *clustered += task->size;
    *clustered -= task->leftoverNum;
    // AddResults.
    if (task->leftover.size() == task->size && m_superCompIsWhole[k])
      m_singletons.splice(m_singletons.end(), task->leftover);
    else
      m_remained.splice(m_remained.end(), task->leftover);
    for (auto& kernel : task->kernels) {
      CAnalysisFile::Write("\nSuperZelk cluster : size = ", kernel.first, ", ");
      m_kernelsIDs.push_back(std::move(kernel.second));
    }
    PrintProgress(*clustered, total);
  };

  tasks.Submit(cost, std::move(work), std::move(handOn));
}

template <class T>
void CExecuter<T>::Run(double adoptTh, double rejectTh, double mergeTh, double homogeneity,
                       int clustersNum) {
  m_solution.reset();
  m_kernels.reset();
  m_graph.reset();
  m_kernelsIDs.clear();

  std::cout << "Reading Data and preforming algorithm initializations ..." << std::endl;
  if (!m_simData) BuildSimData();

  const CSimDistrib& model = ModelOf(*m_analyzer);
  const double matesMean = model.GetDistrib(0)->GetExp();
  const double g = matesMean > m_simTh ? matesMean : m_simTh;
  std::unique_ptr<Graph> passGraph;
  {
    vandrel::ScopedStage stage("similarity graph");
    passGraph.reset(NewFullGraph(g));
  }

  const unsigned int total = static_cast<unsigned int>(passGraph->GetVerticesNum());
  unsigned int clustered = 0;
  const double d = 0.05 * (model.GetDistrib(0)->GetStd() + model.GetDistrib(1)->GetStd()) / 2.0;
  const double t1 = g + d;

  for (;;) {
    unsigned int passSize = static_cast<unsigned int>(passGraph->GetVerticesNum());
    m_remained.clear();
    m_superCompIsWhole.clear();
    m_superComps.clear();

    {
      vandrel::ScopedStage stage("super components");
      std::unique_ptr<CGraph2Components<Basic>> components;
      try {
        components.reset(
            new CGraph2Components<Basic>(COwningHandle<Graph>(passGraph.release()), kAllEdges));
      } catch (const std::bad_alloc&) {
        throw "CSuperZelk executer :: Run - memory problem";
      }
      for (unsigned int i = 0; i < components->GetComponentsNum(); ++i) {
        COwningHandle<Component> component = components->TakeComponent(i);
        const unsigned int n = static_cast<unsigned int>(component->GetVerticesNum());
        if (n < kMinSuperCompSize) {
          HandleVerySmallComps(*component, &passSize);
        } else if (n <= kMaxSuperCompSize) {
          m_superComps.push_back(component->GetIDsVector());
          m_superCompIsWhole.push_back(true);
        } else {
          CreateSuperCompsIDsLists(component, t1, d);
        }
      }
    }

    CAnalysisFile::Write("\nFound ", static_cast<unsigned int>(m_superComps.size()),
                         " super components, ", Unplaced(), " singletons\n");

    {
      vandrel::ScopedStage stage("kernel finding");
      const unsigned int threads = vandrel::SimilarityThreads();
      vandrel::COrderedTasks tasks(threads, kCostInFlight, 2 * std::size_t(threads));
      try {
        for (std::size_t k = 0; k < m_superComps.size(); ++k)
          SubmitSuperComponent(tasks, k, adoptTh, rejectTh, mergeTh, homogeneity, &clustered,
                               total);
      } catch (...) {
        // Whatever fails here comes after the super components already
        // submitted: they are handed on first (one of them may fail first).
        tasks.Finish();
        throw;
      }
      tasks.Finish();
    }

    vandrel::ScopedStage refining("refinement");
    m_graph.reset(NewRefinementGraph());
    try {
      m_kernels.reset(new Kernels(m_graph.get()));
    } catch (const std::bad_alloc&) {
      throw "CExecuter::Run - memory problem";
    }
    for (const IDList& ids : m_kernelsIDs) m_kernels->InsertIDs(ids);

    RefineKernels(adoptTh, rejectTh, mergeTh, 0, 1.0);

    clustered = total - Unplaced();
    PrintProgress(clustered, total);

    if (m_remained.empty() || m_remained.size() == passSize) break;
    m_kernelsIDs = m_kernels->GetKernelIDsLists();
    m_kernels.reset();
    m_graph.reset();
    passGraph.reset(NewGraph(g, m_remained));
  }

  std::cout << "Finished 100 % of main part ..." << std::endl;
  vandrel::ScopedStage refining("refinement");
  RefineKernels(kAutoAdoptTh, rejectTh, mergeTh, clustersNum, homogeneity);
  CAnalysisFile::Write("\n\n--->Super Zelk finished\nKernels num = ", m_kernels->GetKernelsNum(),
                       ", Singletons num = ", Unplaced(), "\n");

  std::vector<const CCluster*> clusters;
  for (const auto& kernel : m_kernels->GetKernelList()) clusters.push_back(&kernel.m_cluster);
  try {
    m_solution.reset(new Solution(clusters, *m_graph));
  } catch (const std::bad_alloc&) {
    throw "CSuperZelk::Run - memory problem";
  }
}

template <class T>
void CExecuter<T>::RefineKernels(double a, double rejectTh, double mergeTh, int clustersNum,
                                 double h) {
  CAnalysisFile::Write("\n\n--->Full Zelk on super components finished\nKernels num = ",
                       m_kernels->GetKernelsNum(), ", Singletons num = ", Unplaced());

  CEvaluatorSet<Basic> evaluators = CreateEvaluators<Basic>(*m_graph);
  CAdoptEvery<Basic> adopter(evaluators.m_adopt.get());
  CRejectEvery<Basic> rejector(evaluators.m_reject.get());
  (void)rejector;  // no stage drives rejection; the strategy exists for symmetry

  const bool supplied = h > 0.0 && h < 1.0;
  if (!supplied) h = ModelOf(*m_analyzer).GetDistrib(0)->GetExp();

  if (a == kAutoAdoptTh) {
    if (!supplied) {
      CMergeBest<Basic> merger(evaluators.m_merge.get());
      CAnalysisFile::Write("\n--->SuperZelk Merging");
      if (clustersNum != 0) {
        merger.MergeAll(*m_kernels, kEveryPairMerges, clustersNum);
      } else {
        const double theta = evaluators.m_merge->ResolveThreshold(*m_kernels, mergeTh);
        merger.MergeAll(*m_kernels, theta, 1);
      }
    }
    CAnalysisFile::Write("\n--->SuperZelk Optimize Threshold\n");
    a = AdjustThresholds(*evaluators.m_adopt, a, *evaluators.m_reject, rejectTh,
                         *evaluators.m_merge, h);
    if (supplied) {
      CAnalysisFile::Write("\n--->SuperZelk Merging");
      CMergeBest<Basic> merger(evaluators.m_merge.get());
      merger.MergeAll(*m_kernels, a);
    }
  }

  CAnalysisFile::Write("\n--->SuperZelk Adoption");
  for (;;) {
    const unsigned int before = Unplaced();
    adopter.AdoptAll(*m_kernels, m_singletons, a);
    adopter.AdoptAll(*m_kernels, m_remained, a);
    const unsigned int after = Unplaced();
    if (after == 0 || after == before) break;
  }
}

template <class T>
double CExecuter<T>::AdjustThresholds(CAdoptEvaluator<Basic>& adopt, double a,
                                      CRejectEvaluator<Basic>& /*reject*/, double /*rejectTh*/,
                                      CMergeEvaluator<Basic>& merge, double h) {
  if constexpr (!Basic::kIsFP) {
    (void)adopt;
    (void)a;
    (void)merge;
    (void)h;
    return m_simData->GetSimDistrib()->GetWeightTh();
  } else {
    IDList unassigned;
    try {
      unassigned = m_singletons;
      unassigned.insert(unassigned.end(), m_remained.begin(), m_remained.end());
    } catch (const std::bad_alloc&) {
      throw "Super Zelk executer :: AdjustThresholds - memory problem";
    }
    if (m_kernels->GetKernelsNum() < 2) return 0.0;

    const CFPEvalMeanSim& stats = dynamic_cast<const CFPEvalMeanSim&>(merge);
    const double w = stats.WithinMeanSim(*m_kernels);
    const double b = stats.BetweenMeanSim(*m_kernels);
    const double lo = b > 0.0 ? b : 0.0;
    if (w < h) return h;
    if (lo >= w) return 0.0;

    const double step = (w - lo) * 0.1;
    double t = lo;
    for (;;) {
      Kernels trial(*m_kernels);
      IDList trialUnassigned = unassigned;
      CMergeBest<Basic> merger(&merge);
      merger.MergeAll(trial, merge.ResolveThreshold(trial, t), 1);
      CAdoptEvery<Basic> adopter(&adopt);
      adopter.AdoptAll(trial, trialUnassigned, t);
      const double q = stats.WithinMeanSim(trial);
      if (t + step >= w || q >= h) return t;
      t = t + step;
    }
  }
}

template class CExecuter<CSDExtendedTypeTags>;
template class CExecuter<CFPExtendedTypeTags>;

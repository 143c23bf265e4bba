#pragma once
// Type tags: the engine's templates (kernels, evaluators, strategies, kernel
// finding, the executer) are written once and instantiated for the two data
// types.  A tag names the concrete classes of its data type.
//
//   CSDTypeTags  - similarity data: plain similarity graphs and clusters.
//   CFPTypeTags  - fingerprints: graphs and clusters that also carry
//                  normalized fingerprints and centroids.
//
// The extended tags add the executer-level types.  Only forward declarations
// are needed here; each user includes the headers of the types it uses.

class CSimilarityGraph;
class CComponent;
class CFPGraph;
class CFPComponent;
class CMinCut;
class CFPMinCut;
class CCluster;
class CFPCluster;
class CSolution;
class CSDSolution;
class CFPSolution;
class CSDDataFileAnalyzer;
class CFPDataFileAnalyzer;
class CSimilarityData;
class CSIMnFPData;

template <class T> class CAdoptEvaluator;
template <class T> class CRejectEvaluator;
template <class T> class CMergeEvaluator;
template <class T> class CExecuter;
template <class T> class CFullZelk;

class CSDAApproxCompleteWeight;
class CSDRApproxCompleteWeight;
class CSDMApproxCompleteWeight;
class CFPAEvalMeanSim;
class CFPREvalMeanSim;
class CFPMEvalMeanSim;

struct CSDTypeTags {
  using Graph = CSimilarityGraph;
  using Component = CComponent;
  using MinCut = CMinCut;
  using Cluster = CCluster;
  using Solution = CSDSolution;
  using SimData = CSimilarityData;
  using Analyzer = CSDDataFileAnalyzer;
  using AdoptEvaluator = CAdoptEvaluator<CSDTypeTags>;
  using RejectEvaluator = CRejectEvaluator<CSDTypeTags>;
  using MergeEvaluator = CMergeEvaluator<CSDTypeTags>;
  using AdoptEvaluatorImpl = CSDAApproxCompleteWeight;
  using RejectEvaluatorImpl = CSDRApproxCompleteWeight;
  using MergeEvaluatorImpl = CSDMApproxCompleteWeight;
  static constexpr bool kIsFP = false;
};

struct CFPTypeTags {
  using Graph = CFPGraph;
  using Component = CFPComponent;
  using MinCut = CFPMinCut;
  using Cluster = CFPCluster;
  using Solution = CFPSolution;
  using SimData = CSIMnFPData;
  using Analyzer = CFPDataFileAnalyzer;
  using AdoptEvaluator = CAdoptEvaluator<CFPTypeTags>;
  using RejectEvaluator = CRejectEvaluator<CFPTypeTags>;
  using MergeEvaluator = CMergeEvaluator<CFPTypeTags>;
  using AdoptEvaluatorImpl = CFPAEvalMeanSim;
  using RejectEvaluatorImpl = CFPREvalMeanSim;
  using MergeEvaluatorImpl = CFPMEvalMeanSim;
  static constexpr bool kIsFP = true;
};

struct CSDExtendedTypeTags : CSDTypeTags {
  using Basic = CSDTypeTags;
  using Executer = CExecuter<CSDExtendedTypeTags>;
  using FullZelk = CFullZelk<CSDExtendedTypeTags>;
};

struct CFPExtendedTypeTags : CFPTypeTags {
  using Basic = CFPTypeTags;
  using Executer = CExecuter<CFPExtendedTypeTags>;
  using FullZelk = CFullZelk<CFPExtendedTypeTags>;
};

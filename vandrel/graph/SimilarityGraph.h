#pragma once
// Similarity graphs: one vertex per element, one edge per pair whose
// similarity exceeds a threshold, weighted by the model's log-likelihood
// ratio of mates versus non-mates (CSimilarityGraph).  Components
// (CComponent) are pieces of such a graph that carry their minimum cut and
// answer the kernel test; the fingerprint variants (CFPGraph, CFPComponent)
// also know each vertex's normalized fingerprint.
//
// CSimilarityGraph is a virtual base, so a CFPComponent holds one graph.  A
// most-derived class constructs that base itself; the protected default
// constructors of CFPGraph and CComponent exist only for that.
//
// Costs: building O(V + stored values); RaiseWeightThreshold O(V + E);
// FindFarPair O(V * (V + E)) in the worst case; IsKernel one minimum cut.

#include <list>
#include <memory>
#include <vector>

#include "vandrel/graph/Graph.h"
#include "vandrel/stats/DataFileAnalyzer.h"

class CSimilarityData;
class CSIMnFPData;
class CSimDistrib;
class CNormFP;
class CMinCut;

// Access classes of the graph transformers (no data).
class CGraphFriend {
public:
  virtual ~CGraphFriend() {}
};

class CCompFriend {
public:
  virtual ~CCompFriend() {}
};

class CSimilarityGraph : public CGraph {
public:
  // Value of simThreshold meaning "no threshold": every stored pair is an edge.
  static constexpr double kNoSimThreshold = -1000000.0;
  // Value of RaiseWeightThreshold's argument asking for the prior-based threshold.
  static constexpr double kPriorWeightThreshold = -10000000.0;

  // All elements of the data (vertex index = element index).
  CSimilarityGraph(const CSimilarityData& data, double simThreshold);
  // The listed element ids, in list order (vertex index = list position).
  CSimilarityGraph(const CSimilarityData& data, double simThreshold, const std::vector<unsigned int>& ids);
  CSimilarityGraph(const CSimilarityData& data, double simThreshold, const std::list<unsigned int>& ids);
  // Subgraph of parent induced by the listed vertex indices (new vertices and
  // edge copies), with a copy of the parent's analyzer state.
  CSimilarityGraph(const CSimilarityGraph& parent, const std::vector<int>& indices);
  CSimilarityGraph(const CSimilarityGraph& parent, const std::list<int>& indices);
  // Re-indexing construction over source's vertex objects (null slots
  // skipped; ownership taken over when source owned them), with a copy of
  // source's analyzer state.
  explicit CSimilarityGraph(CSimilarityGraph* source);
  // Empty graph bound to a model (vertices and edges added by the caller with
  // PushBackV and new CEdge); model may be null.
  explicit CSimilarityGraph(const CSimDistrib* model);
  ~CSimilarityGraph() override;

  // Raises the graph's weight threshold to the weight of sim (or to the
  // prior-based weight for kPriorWeightThreshold), floored at 0, deleting
  // every edge of weight <= the new threshold.  Returns false (and changes
  // nothing) when the candidate is below the current threshold.
  bool RaiseWeightThreshold(double sim);

  const CThDistribAnalyzer& GetThDistribAnalyzer() const { return m_analyzer; }
  const CSimDistrib* GetSimDistrib() const { return m_analyzer.GetSimDistrib(); }
  // The graph's current weight threshold (-1e8 until first set).
  double GetWeightTh() const { return m_analyzer.GetWeightTh(); }
  // Log-likelihood ratio of a similarity value under the graph's model.
  double Weight(double sim) const;

  CThDistribAnalyzer m_analyzer;

protected:
  CSimilarityGraph();

private:
  void BuildFromData(const CSimilarityData& data, double simThreshold, const std::vector<unsigned int>* ids);
};

class CComponent : public virtual CSimilarityGraph {
public:
  CComponent(const CSimilarityGraph& parent, const std::vector<int>& indices);
  CComponent(const CSimilarityGraph& parent, const std::list<int>& indices);
  // Takes over source's vertex objects (re-indexing construction).
  explicit CComponent(CSimilarityGraph* source);
  ~CComponent() override;

  // Creates (or replaces) the component's minimum cut.
  virtual void CreateMinCut(bool allowNegative);
  // Throws "CComponent::GetMinCut - minCut was not created" when absent.
  CMinCut* GetMinCut() const;
  bool HasMinCut() const { return m_minCut != nullptr; }

  // Two vertices far apart over edges of weight >= 2.0 (Dinic's source and
  // sink); stops at the first start that reaches depth 3 or more.
  void FindFarPair();
  int GetFarDepth() const { return m_farDepth; }
  CVertex* GetFarSource() const { return m_farSource; }
  CVertex* GetFarSink() const { return m_farSink; }

  // Kernel test: the complete cut weight against the threshold made from the
  // split pairs, the non-mates weight statistics and minPairWeight, and a far
  // depth of at most 2.  On success the cut's stored side is the small side.
  bool IsKernel(double minPairWeight);

  std::unique_ptr<CMinCut> m_minCut;
  int m_farDepth;
  CVertex* m_farSource;
  CVertex* m_farSink;

protected:
  CComponent();
};

class CFPGraph : public virtual CSimilarityGraph {
public:
  // The listed ids of the fingerprint data, in list order.
  CFPGraph(const CSIMnFPData& fpData, double simThreshold, const std::vector<unsigned int>& ids);
  CFPGraph(const CSIMnFPData& fpData, double simThreshold, const std::list<unsigned int>& ids);
  // All elements of the fingerprint data.
  CFPGraph(const CSIMnFPData& fpData, double simThreshold);
  // Induced subgraph of parent, with the kept vertices' fingerprints.
  CFPGraph(const CFPGraph& parent, const std::vector<int>& indices);
  CFPGraph(const CFPGraph& parent, const std::list<int>& indices);
  // Re-indexing construction; fingerprints of source's non-null slots.
  explicit CFPGraph(CFPGraph* source);
  ~CFPGraph() override;

  // Throws "CFPGraph::GetNormFP - index is out of scope".
  const CNormFP* GetNormFP(int index) const;
  const std::vector<const CNormFP*>& GetNormFPs() const { return m_normFPs; }

  // Also drops the removed vertices' fingerprints, keeping the index match.
  std::list<unsigned int> RemoveIsolatedVertices() override;
  // Also takes the moved vertices' fingerprints (source must be a CFPGraph).
  void TakeInduced(CGraph& source, const std::vector<int>& indices) override;

  std::vector<const CNormFP*> m_normFPs;  // not owned

protected:
  CFPGraph();
  void AppendDataFPs(const CSIMnFPData& fpData, const std::vector<unsigned int>& ids);
  void CopyParentFPs(const CFPGraph& parent, const std::vector<int>& indices);
  void CopySourceFPs(const CFPGraph& source);
};

class CFPComponent : public CFPGraph, public CComponent {
public:
  CFPComponent(const CFPGraph& parent, const std::vector<int>& indices);
  CFPComponent(const CFPGraph& parent, const std::list<int>& indices);
  explicit CFPComponent(CFPGraph* source);
  ~CFPComponent() override;

  // Creates (or replaces) the component's CFPMinCut.
  void CreateMinCut(bool allowNegative) override;
};

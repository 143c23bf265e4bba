#pragma once
// Hao-Orlin minimum cut: one preflow-push pass with dormant vertex layers
// finds the minimum cut over all sinks of a component with non-negative
// vertex weight sums.  Highest-label selection; the per-label id tables
// and the sink choice follow the id-hash iteration orders, which decide the
// ties between equally light cuts.
// Cost: O(n^2 * m) pushes and relabels in the worst case (n vertices, m
// edges); used up to 1000 vertices.

#include <list>
#include <vector>

#include "vandrel/graph/IDHash.h"
#include "vandrel/mincut/MinCut.h"

class CVertex;

class CHaoOrlin : public CMinCutAlg {
 public:
  CHaoOrlin();
  ~CHaoOrlin() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // Labels, excess tables and the empty source set; returns the source and
  // stores the first sink in *firstSink (null when the source is isolated).
  CVertex* Initialize(CVertex** firstSink);
  void AddToSource(CVertex* v);
  CVertex* SelectNewSink();
  std::list<CVertex*> AwakeLayer();

  void Discharge(CVertex* v);
  // True when v went to sleep instead of getting a higher label.
  bool RelabelOrSleep(CVertex* v);
  bool Relabel(CVertex* v);
  void PutToSleep(CVertex* v, int layer);
  void PutToSleepFromLabel(int from, int layer);

  void UpdateExcess(CVertex* w, double delta);
  double Excess(const CVertex* v) const;
  bool IsAwake(const CVertex* v) const;
  void AddActive(CVertex* v);
  void RemoveActive(CVertex* v);
  CVertex* HighestLabelActiveV();
  CVertex* VertexOfID(unsigned int id) const;

  CComponent* m_graph;                          // not owned
  int m_n;                                      // vertex count
  std::vector<double> m_excess;                 // by working index
  std::vector<char> m_isAwake;                  // by working index: in W
  std::vector<int> m_activeIn;                  // by working index: entries in m_active
  int m_awakeCount;
  std::vector<int> m_labelCount;                // awake vertices per label
  std::vector<std::list<CVertex*>> m_active;    // active vertices per label
  int m_activeCount;
  int m_maxActiveLabel;                         // upper bound, see AddActive
  std::vector<std::list<CVertex*>> m_dormant;   // layer 0 = source set S
  // Per label: the ids carrying it, in id-hash order (values unused).
  std::vector<CIDHash<double>> m_layers;
};

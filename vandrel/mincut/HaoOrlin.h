#pragma once
// Hao-Orlin minimum cut: one preflow-push pass with dormant vertex layers
// finds the minimum cut over all sinks of a component with non-negative
// vertex weight sums.  Highest-label selection, FIFO within a label; the
// per-label id tables and the sink choice follow the id-hash iteration
// orders, which decide the ties between equally light cuts.
// The pass works on a copy of the component in arrays: vertices by working
// index, each vertex's arcs contiguous (its m_edges[0] then m_edges[1], in
// list order), one weight and flow per edge, and a current-arc position per
// vertex so that a discharge does not rescan arcs that cannot have become
// admissible.  Arc heads are 16-bit when the component is small enough
// (every component Hao-Orlin is used on), which halves the bytes of the
// array that every scan reads.
// Cost: O(n^2 * m) pushes and relabels in the worst case (n vertices, m
// edges), O(n + m) memory; used up to 1000 vertices.

#include <cstdint>
#include <list>
#include <vector>

#include "vandrel/graph/IDHash.h"
#include "vandrel/mincut/MinCut.h"

class CHaoOrlin : public CMinCutAlg {
 public:
  // Width of the arc-head array: 16-bit below kNarrowLimit vertices unless
  // wide heads are asked for (both give the same cut; tests run both).
  enum HeadWidth { kAutoHeads, kWideHeads };
  static const int kNarrowLimit = 65535;

  explicit CHaoOrlin(HeadWidth width = kAutoHeads);
  ~CHaoOrlin() override;
  std::list<int> Run(CComponent* component) override;

 private:
  // An edge's capacity and flow, side by side: a residual test reads both
  // from one cache line, and a push writes the one place both arcs of the
  // edge read.
  struct EdgeFlow {
    double weight;
    double flow;  // from the edge's m_v1 towards its m_v2
  };

  // The arc arrays of the component (vertex i = index i).
  void BuildArcs();
  // Labels, excess tables and the empty source set; returns the source and
  // stores the first sink in *firstSink (-1 when the source is isolated).
  int Initialize(int* firstSink);
  void AddToSource(int v);
  int SelectNewSink();
  // Wakes the newest dormant layer; returns its first vertex of lowest label.
  int AwakeLayer();

  void Discharge(int v);
  template <class Head>
  void DischargeWith(int v, const Head* head);
  // Pushes along v's arcs [*a, stop) of one list (kFromV1: its m_edges[0],
  // where v is the edges' m_v1) until the excess runs out; true when it ran
  // out, at *a.  *keep: see DischargeWith.
  template <bool kFromV1, class Head>
  bool PushAlong(int v, const Head* head, int* a, int stop, int* keep, int noKeep);
  // True when v went to sleep instead of getting a higher label.
  // noAdmissible: the discharge left no admissible arc of v.
  template <class Head>
  bool RelabelOrSleep(int v, const Head* head, bool noAdmissible);
  template <class Head>
  bool Relabel(int v, const Head* head, bool noAdmissible);
  // Lowers *minLabel to the lowest awake label below it over v's residual
  // arcs [begin, stop) of one list (kFromV1 as for PushAlong), *firstArc to
  // the first arc at that label; true when it reached floor, below which no
  // residual arc can lead.
  template <bool kFromV1, class Head>
  bool LowerResidualLabel(int v, const Head* head, int begin, int stop, int floor, int* minLabel,
                          int* firstArc) const;
  void PutToSleep(int v, int layer);
  void PutToSleepFromLabel(int from, int layer);

  template <bool kFromV1>
  void Push(int edge, int w, double delta);
  void UpdateExcess(int w, double delta);
  void AddActive(int v);
  void RemoveActive(int v);
  int HighestLabelActiveV();
  // The edge of arc a of vertex v, when a is an arc of v's m_edges[0]
  // (kFromV1) or of its m_edges[1].
  template <bool kFromV1>
  int EdgeOf(int v, int a) const {
    return kFromV1 ? a + m_edgeShift[v] : m_edgeOf[a];
  }
  // Residual capacity of an arc of the edge: its weight less the flow along
  // the arc, which is the edge's flow for an arc from the edge's m_v1 and
  // its negation for an arc from the m_v2.
  template <bool kFromV1>
  double Residual(int edge) const {
    const EdgeFlow& e = m_edge[edge];
    return kFromV1 ? e.weight - e.flow : e.weight - (-e.flow);
  }
  int HeadOf(int arc) const { return m_narrow ? m_head16[arc] : m_head32[arc]; }
  // Hands labels and flows back to the component's vertices and edges.
  void WriteBack();

  HeadWidth m_width;
  CComponent* m_graph;  // not owned
  int m_n;              // vertex count

  // Arcs: vertex v owns [m_firstArc[v], m_firstArc[v + 1]), those of its
  // m_edges[0] before m_listSplit[v].
  std::vector<int> m_firstArc;
  std::vector<int> m_listSplit;
  bool m_narrow;                    // heads in m_head16, else in m_head32
  std::vector<uint16_t> m_head16;   // by arc: working index of the other end
  std::vector<int> m_head32;        // by arc: the same, for large components
  // Edges are numbered in the order of the m_edges[0] lists: the edge of an
  // arc a of v's m_edges[0] is a + m_edgeShift[v]; that of an arc of an
  // m_edges[1] is m_edgeOf[a].
  std::vector<int> m_edgeShift;     // by vertex
  std::vector<int> m_edgeOf;        // by arc (of the m_edges[1] lists)
  std::vector<EdgeFlow> m_edge;     // by edge, in the order of the m_edges[0] lists
  std::vector<int> m_currentArc;    // by vertex: earlier arcs are not admissible

  std::vector<unsigned int> m_id;  // by vertex
  std::vector<int> m_label;        // by vertex
  // By vertex: the label while awake, kAsleep while dormant; one load tells
  // both things an admissible arc needs of its head.
  std::vector<int> m_awakeLabel;
  std::vector<double> m_excess;  // by vertex
  int m_awakeCount;
  std::vector<int> m_labelCount;  // awake vertices per label

  // Active vertices: one FIFO list per label, linked through the vertices.
  std::vector<int> m_activeHead;  // by label
  std::vector<int> m_activeTail;  // by label
  std::vector<int> m_activeNext;  // by vertex
  std::vector<int> m_activePrev;  // by vertex
  std::vector<char> m_isActive;   // by vertex
  int m_activeCount;
  int m_maxActiveLabel;  // upper bound, see AddActive

  std::vector<std::vector<int>> m_dormant;  // layer 0 = source set S
  // Per label: the ids carrying it, in id-hash order (value: working index).
  std::vector<CIDHash<int>> m_layers;
};

#pragma once
// Minimum-cut front end.  CMinCut picks one of three cut algorithms for a
// component (the negative-weight heuristic when negative weights are allowed,
// Hao-Orlin up to 1000 vertices, unit-capacity Dinic above), runs it once,
// keeps one side of the cut as vertex indices and answers questions about
// the cut: its smaller side, the weight of the crossing edges, and the
// "complete" cut weight that also counts the split pairs without an edge.
// CFPMinCut computes the complete weight exactly from the fingerprints.
//
// Cost: the algorithm's own cost once; the cut-weight questions touch the
// edges of the small side only.

#include <list>
#include <vector>

class CComponent;
class CFPComponent;

// One minimum-cut algorithm.  An object is created for one Run and deleted
// right after it.
class CMinCutAlg {
 public:
  virtual ~CMinCutAlg();
  // Returns the vertex indices (in the component's numbering) of one side of
  // the cut.
  virtual std::list<int> Run(CComponent* component) = 0;
};

class CMinCut {
 public:
  // Chooses the algorithm (CNegMinCut if allowNegative; else CHaoOrlin for
  // at most 1000 vertices; else CDinic), runs it and keeps the side it
  // returns.  The component owns this object; it is not owned here.
  CMinCut(CComponent* component, bool allowNegative);

  // Sets m_completeCutWeight: the cut weight plus the missing-edge weight of
  // the component's threshold analyzer for every split pair without an
  // edge.  Returns the number of those pairs.
  virtual long long CalcCompleteWeight();
  virtual ~CMinCut();

  // The stored side; throws unless it is the smaller side (at most n/2
  // vertices).  Call MakeSmallSide first.
  const std::list<int>& GetSmallPartIndices() const;
  // Replaces the stored side by the smaller side (ascending indices) when it
  // holds more than n/2 vertices.
  void MakeSmallSide();
  // k * (n - k): the number of vertex pairs split by the cut.
  long long CrossPairs() const;
  // Sets m_cutWeight and m_cutEdges (and makes the stored side the small one).
  void CalcCutWeight();

  // The stored side as it is (the algorithm's side until MakeSmallSide).
  const std::list<int>& GetPart() const { return m_part; }
  double GetCutWeight() const { return m_cutWeight; }
  double GetCompleteCutWeight() const { return m_completeCutWeight; }
  int GetCutEdges() const { return m_cutEdges; }
  CComponent* GetComponent() const { return m_comp; }

 protected:
  // Fills m_side: 0 for the smaller side (the listed side on a tie), 1 for
  // the other vertices.
  void BuildSideMarks();
  int VertexCount() const;

  CComponent* m_comp;          // not owned
  std::list<int> m_part;       // vertex indices of one side
  std::vector<int> m_side;     // per vertex index: 0 small side, 1 other side
  double m_cutWeight;          // 0 until computed
  double m_completeCutWeight;  // 0 until computed
  int m_cutEdges;
};

// Minimum cut of a fingerprint component: the complete cut weight is the
// exact sum, over all split pairs, of the weight of their true similarity.
class CFPMinCut : public CMinCut {
 public:
  CFPMinCut(CFPComponent* component, bool allowNegative);
  // Sets m_completeCutWeight exactly from the fingerprints; returns 0.
  long long CalcCompleteWeight() override;
  ~CFPMinCut() override;

 private:
  CFPComponent* m_fpComp;  // not owned
};

#pragma once
// Super components of a component too large for kernel finding.
//
// The component is split level by level: level k keeps the edges of weight
// at least t_k (t_0 = t, t_{k+1} = t_k + d), a piece of level k is a connected
// component of its parent piece over those edges, and the pieces are taken
// smallest first.  A piece of fewer than the minimum piece size is left for a
// later pass, one of at most the super-component bound is a super component,
// and a larger one goes on to the next level, or is screened (its weakly
// connected vertices left for a later pass, the core a super component) when
// the threshold no longer separates mates from non-mates, or when a split
// gave more pieces than a fifth of its parent's elements.
//
// What splits a piece at a level depends only on which edges are kept, and
// the components over the edges of weight >= t_k are those of a maximum
// spanning forest over its edges of weight >= t_k.  So one forest, built once
// per component (edges bucketed by the first level that drops them, then
// Kruskal's union-find: O(E + levels)), answers every level: a piece splits
// at the first level that drops one of its forest edges, known when the piece
// is made, and every level before that costs O(1).  A splitting level costs a
// search over the piece's forest edges, O(piece), and building the pieces:
// copies of all but the largest, whose vertices (with their edges) leave the
// largest, which keeps the piece's vertex objects.  Pieces are made exactly
// as by CGraph2Components over the same edges, so every piece, its order, the
// order of its elements and what screening sees are the same as when each
// level searches the whole piece.
#include <list>
#include <vector>

#include "vandrel/engine/Transformers.h"
#include "vandrel/engine/TypeTags.h"

template <class T>
class CSuperCompSplitter {
 public:
  using Graph = typename T::Graph;
  using Component = typename T::Component;
  using IDList = std::list<unsigned int>;

  // Pieces of fewer than minPieceSize elements are left for a later pass;
  // pieces of at most maxSuperCompSize elements are super components.
  CSuperCompSplitter(unsigned int minPieceSize, unsigned int maxSuperCompSize);

  // Splits the component (consumed) from threshold t in steps of d.  Appends
  // the id list of every super component to superComps and the ids of the
  // elements left for a later pass to remained, in the order of the levels'
  // recursion (each piece before the next one of its level).
  void Split(const COwningHandle<Component>& component, double t, double d,
             std::vector<std::vector<unsigned int>>* superComps, IDList* remained);

 private:
  // Components of a piece over the forest edges still kept at a level.
  struct CLevelPieces {
    std::vector<std::vector<int>> m_lists;  // vertex indices, by first vertex
    std::vector<int> m_splitLevel;          // first level that splits each
  };

  void BuildForest(Component& component, double t, double d);
  int DropLevel(double weight) const;
  double Threshold(int level);
  void SplitPiece(const COwningHandle<Component>& piece, int level, int splitLevel);
  void Screen(const COwningHandle<Component>& piece);
  void FindPieces(const Component& piece, int level, CLevelPieces* out);

  unsigned int m_minPieceSize;
  unsigned int m_maxSuperCompSize;
  std::vector<std::vector<unsigned int>>* m_superComps = nullptr;
  IDList* m_remained = nullptr;

  double m_step = 0.0;
  std::vector<double> m_thresholds;  // t_0, t_1, ...
  // The forest over the component's dense vertex numbers (CVertex::m_work):
  // neighbours of u at m_forestStart[u] .. m_forestStart[u + 1], each with
  // the first level that drops the edge.
  std::vector<int> m_forestStart;
  std::vector<int> m_forestTo;
  std::vector<int> m_forestDrop;
  std::vector<int> m_label;  // scratch of FindPieces, by dense number
  std::vector<int> m_queue;  // scratch of FindPieces
};

extern template class CSuperCompSplitter<CSDTypeTags>;
extern template class CSuperCompSplitter<CFPTypeTags>;

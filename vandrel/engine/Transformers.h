#pragma once
// Graph transformers: a graph or a component is handed over, with ownership,
// to a transformer that builds all the pieces in its constructor; the caller
// then takes each piece out once, with ownership.
//
//   CGraph2Components  - connected components over edges of weight at least a
//                        floor, smallest first; O(V + E), the largest
//                        component takes over the input's vertices.
//   CComp2Screened     - a component without its weakly connected vertices
//                        (never fewer than the minimum screen size); each
//                        pass O(V + deleted edges).
//   CComp2CutSubcomps  - the two sides of a component's minimum cut.
//   CFullGraph2Parts   - parts below a size, by repeated minimum cuts that
//                        allow negative weights.
//
// Each exists for CSDTypeTags (CSimilarityGraph / CComponent) and for
// CFPTypeTags (CFPGraph / CFPComponent).
#include <cstddef>
#include <list>
#include <vector>

#include "vandrel/engine/TypeTags.h"
#include "vandrel/graph/SimilarityGraph.h"

// Owning handle: a pointer with an owner flag.  Copying a handle moves
// ownership to the copy (the source keeps the pointer but no longer owns it);
// a handle that still owns its object deletes it when destroyed.  A handle of
// a derived type converts to a handle of a base type the same way.
template <class T>
class COwningHandle {
 public:
  COwningHandle() = default;
  // Takes ownership of `p` when `owner` is true.
  explicit COwningHandle(T* p, bool owner = true) : m_owner(owner), m_ptr(p) {}
  COwningHandle(const COwningHandle& other)
      : m_owner(other.m_owner), m_ptr(other.m_ptr) {
    other.m_owner = false;
  }
  template <class U>
  COwningHandle(const COwningHandle<U>& other)  // NOLINT: implicit upcast
      : m_owner(other.m_owner), m_ptr(other.m_ptr) {
    other.m_owner = false;
  }
  COwningHandle& operator=(const COwningHandle& other) {
    if (this != &other) {
      Reset();
      m_owner = other.m_owner;
      m_ptr = other.m_ptr;
      other.m_owner = false;
    }
    return *this;
  }
  ~COwningHandle() { Reset(); }

  T* Get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  T& operator*() const { return *m_ptr; }
  bool IsOwner() const { return m_owner; }
  // Gives up ownership and returns the pointer (the caller now owns it when
  // this handle did).
  T* Release() {
    m_owner = false;
    return m_ptr;
  }

 private:
  template <class U> friend class COwningHandle;
  void Reset() {
    if (m_owner) delete m_ptr;
    m_owner = false;
  }
  mutable bool m_owner = false;
  T* m_ptr = nullptr;
};

// Base of all transformers: holds the input and deletes it on destruction if
// it still owns it.
template <class In, class Out>
class CTransformer {
 public:
  explicit CTransformer(const COwningHandle<In>& input) : m_input(input) {}
  CTransformer(const CTransformer&) = delete;
  CTransformer& operator=(const CTransformer&) = delete;
  virtual ~CTransformer() = default;

 protected:
  COwningHandle<In> m_input;
};

// The transformers reach graph and component internals through the access
// classes CGraphFriend and CCompFriend of the similarity graphs.

// Output order of components found as vertex-index lists (in the order of
// their first vertex): smallest first, by a selection sort that moves a list
// forward only when it is strictly smaller (so not stable).  Element i of the
// result is the position in `lists` of the i-th output component.
std::vector<std::size_t> SmallestFirstOrder(const std::vector<std::vector<int>>& lists);

// Connected components of a graph over the edges of weight >= minWeight
// (-1000000.0 asks for the widest floor, -100000000.0), ordered by size,
// smallest first (an unstable selection sort).
template <class T>
class CGraph2Components
    : public CTransformer<typename T::Graph, typename T::Component>,
      public CCompFriend,
      public CGraphFriend {
 public:
  using Graph = typename T::Graph;
  using Component = typename T::Component;
  CGraph2Components(const COwningHandle<Graph>& g, double minWeight);
  // The components already known: vertex-index lists of g (each ascending)
  // in output order, as SmallestFirstOrder puts them.  The pieces are built
  // as by the first constructor; the last list keeps g's vertices.
  CGraph2Components(const COwningHandle<Graph>& g,
                    const std::vector<std::vector<int>>& orderedLists);
  ~CGraph2Components() override;

  // Throws "CGraph2Components::TakeComponent - index is out of scope" or
  // "CGraph2Components::TakeComponent - component already taken".
  COwningHandle<Component> TakeComponent(unsigned int i);
  unsigned int GetComponentsNum() const {
    return static_cast<unsigned int>(m_components.size());
  }

 private:
  // Builds the components from lists in output order.
  void Build(const std::vector<std::vector<int>>& orderedLists);

  std::vector<COwningHandle<Component>> m_components;  // null once taken
};

// Screening: removes the vertices whose weight sum is below
// (log10(m) - log10(minimum screen size)) * W / m, pass after pass, but never
// below the minimum screen size.
template <class T>
class CComp2Screened
    : public CTransformer<typename T::Component, typename T::Graph> {
 public:
  using Graph = typename T::Graph;
  using Component = typename T::Component;
  explicit CComp2Screened(const COwningHandle<Component>& c);
  ~CComp2Screened() override;

  // Throws "CComp2Screened::TakeScreenedGraph - graph already taken" on the
  // second call.
  COwningHandle<Graph> TakeScreenedGraph();
  // Ids of the screened-out elements, in removal order.
  const std::list<unsigned int>& GetScreenedIDs() const { return m_screened; }

  // Class-wide (per data type).  0 stands for 250.  Setting a different size
  // once one is set throws "CComp2Screened::SetMinScreenSize - value already
  // set".
  static void SetMinScreenSize(unsigned int n);
  static unsigned int GetMinScreenSize() { return m_minScreenSize; }

 private:
  std::list<unsigned int> m_screened;
  COwningHandle<Graph> m_graph;  // null once taken

  static unsigned int m_minScreenSize;  // 0 = not set
  static double m_logMinScreenSize;
};

// The two sides of a component's minimum cut; the first side is the cut's
// stored vertex list, the second side takes over the remaining vertices.
template <class T>
class CComp2CutSubcomps
    : public CTransformer<typename T::Component, typename T::Component>,
      public CGraphFriend,
      public CCompFriend {
 public:
  using Component = typename T::Component;
  CComp2CutSubcomps(const COwningHandle<Component>& c, bool allowNegative);
  ~CComp2CutSubcomps() override;

  // Each throws "CComp2CutSubcomps::Take...Subcomp - subcomp already taken"
  // on the second call.
  COwningHandle<Component> TakeFirstSubcomp();
  COwningHandle<Component> TakeSecondSubcomp();

 private:
  COwningHandle<Component> m_first;   // null once taken
  COwningHandle<Component> m_second;  // null once taken
};

// Parts of fewer than maxPartSize vertices by recursive minimum cuts that
// allow negative weights; a cut that separates nothing ends the recursion.
template <class T>
class CFullGraph2Parts
    : public CTransformer<typename T::Graph, typename T::Graph>,
      public CCompFriend {
 public:
  using Graph = typename T::Graph;
  using Component = typename T::Component;
  CFullGraph2Parts(const COwningHandle<Graph>& g, unsigned int maxPartSize);
  ~CFullGraph2Parts() override;

  // Throws "CFullGraph2Parts::TakeGraphPart - index is out of scope" or
  // "CFullGraph2Parts::TakeGraphPart - part already taken".
  COwningHandle<Graph> TakeGraphPart(unsigned int i);
  unsigned int GetPartsNum() const {
    return static_cast<unsigned int>(m_parts.size());
  }

 private:
  std::vector<COwningHandle<Graph>> m_parts;  // null once taken
};

extern template class CGraph2Components<CSDTypeTags>;
extern template class CGraph2Components<CFPTypeTags>;
extern template class CComp2Screened<CSDTypeTags>;
extern template class CComp2Screened<CFPTypeTags>;
extern template class CComp2CutSubcomps<CSDTypeTags>;
extern template class CComp2CutSubcomps<CFPTypeTags>;
extern template class CFullGraph2Parts<CSDTypeTags>;
extern template class CFullGraph2Parts<CFPTypeTags>;


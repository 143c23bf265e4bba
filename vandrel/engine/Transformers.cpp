// Graph transformers: components by BFS labelling (O(V + E), plus O(k^2)
// for ordering k components), screening of weakly connected vertices
// (O(V + deleted edges) per pass), the two sides of a minimum cut and
// recursive splitting into small parts.  The largest component, the
// screened graph and the second side of a cut take over the input's
// vertices instead of copying them.
#include "vandrel/engine/Transformers.h"

#include <cmath>
#include <new>
#include <utility>

#include "vandrel/mincut/MinCut.h"

namespace {
// Edge floor value that asks for the widest floor, and that floor.
constexpr double kWidestFloorMarker = -1000000.0;
constexpr double kWidestFloor = -100000000.0;
constexpr unsigned int kDefaultMinScreenSize = 250;
}  // namespace

// ---------------------------------------------------------------------------
// CGraph2Components

std::vector<std::size_t> SmallestFirstOrder(const std::vector<std::vector<int>>& lists) {
  const std::size_t count = lists.size();
  std::vector<std::size_t> order(count);
  for (std::size_t i = 0; i < count; ++i) order[i] = i;
  for (std::size_t i = 0; i < count; ++i) {
    std::size_t j = i;
    for (std::size_t p = i + 1; p < count; ++p)
      if (lists[order[p]].size() < lists[order[j]].size()) j = p;
    if (j != i) std::swap(order[i], order[j]);
  }
  return order;
}

template <class T>
CGraph2Components<T>::CGraph2Components(const COwningHandle<Graph>& g,
                                        double minWeight)
    : CTransformer<Graph, Component>(g) {
  if (minWeight == kWidestFloorMarker) minWeight = kWidestFloor;
  Graph& graph = *this->m_input;
  std::vector<std::vector<int>> ordered;
  try {
    graph.ClearLabels();
    // One vertex-index list per component, in ascending index order.
    std::vector<std::vector<int>> lists;
    const int n = graph.GetVerticesNum();
    for (int i = 0; i < n; ++i) {
      CVertex* v = graph.m_vertices[i];
      if (v == nullptr) continue;
      if (v->m_label < 0) {
        const int k = static_cast<int>(lists.size());
        lists.emplace_back(1, i);
        graph.BFS(v, k, minWeight, 0);
      } else {
        lists[v->m_label].push_back(i);
      }
    }
    ordered.reserve(lists.size());
    for (std::size_t k : SmallestFirstOrder(lists)) ordered.push_back(std::move(lists[k]));
  } catch (const std::bad_alloc&) {
    throw "CGraph2Components constructor - memory problem";
  }
  Build(ordered);
}

template <class T>
CGraph2Components<T>::CGraph2Components(
    const COwningHandle<Graph>& g, const std::vector<std::vector<int>>& orderedLists)
    : CTransformer<Graph, Component>(g) {
  Build(orderedLists);
}

template <class T>
void CGraph2Components<T>::Build(const std::vector<std::vector<int>>& orderedLists) {
  Graph& graph = *this->m_input;
  try {
    const std::size_t count = orderedLists.size();
    m_components.reserve(count);
    for (std::size_t i = 0; i + 1 < count; ++i) {
      m_components.push_back(
          COwningHandle<Component>(new Component(graph, orderedLists[i])));
      graph.DeleteVertices(orderedLists[i]);
    }
    if (count > 0)
      m_components.push_back(COwningHandle<Component>(new Component(&graph)));
  } catch (const std::bad_alloc&) {
    throw "CGraph2Components constructor - memory problem";
  }
}

template <class T>
CGraph2Components<T>::~CGraph2Components() = default;

template <class T>
COwningHandle<typename T::Component> CGraph2Components<T>::TakeComponent(
    unsigned int i) {
  if (i >= m_components.size())
    throw "CGraph2Components::TakeComponent - index is out of scope";
  if (m_components[i].Get() == nullptr)
    throw "CGraph2Components::TakeComponent - component already taken";
  COwningHandle<Component> taken(m_components[i]);
  m_components[i] = COwningHandle<Component>();
  return taken;
}

// ---------------------------------------------------------------------------
// CComp2Screened

template <class T>
unsigned int CComp2Screened<T>::m_minScreenSize = 0;
template <class T>
double CComp2Screened<T>::m_logMinScreenSize = 0.0;

template <class T>
void CComp2Screened<T>::SetMinScreenSize(unsigned int n) {
  if (n == 0) n = kDefaultMinScreenSize;
  if (m_minScreenSize != 0 && m_minScreenSize != n)
    throw "CComp2Screened::SetMinScreenSize - value already set";
  m_minScreenSize = n;
  m_logMinScreenSize = std::log10(static_cast<double>(n));
}

template <class T>
CComp2Screened<T>::CComp2Screened(const COwningHandle<Component>& c)
    : CTransformer<Component, Graph>(c) {
  if (m_minScreenSize == 0) SetMinScreenSize(kDefaultMinScreenSize);
  Component& comp = *this->m_input;
  try {
    const int m = comp.GetVerticesNum();
    if (static_cast<unsigned int>(m) > m_minScreenSize) {
      double total = 0.0;
      for (const CVertex* v : comp.m_vertices)
        if (v != nullptr) total += v->m_weightSum;
      const double cut =
          (std::log10(static_cast<double>(m)) - m_logMinScreenSize) * total /
          static_cast<double>(m);
      unsigned int remaining = static_cast<unsigned int>(m);
      bool removed = true;
      while (removed && remaining > m_minScreenSize) {
        removed = false;
        for (int i = 0; i < m && remaining > m_minScreenSize; ++i) {
          CVertex* v = comp.m_vertices[i];
          if (v == nullptr || !(v->m_weightSum < cut)) continue;
          m_screened.push_back(v->m_id);
          comp.DeleteVertices(std::vector<int>(1, i));
          --remaining;
          removed = true;
        }
      }
    }
    m_graph = COwningHandle<Graph>(new Graph(&comp));
  } catch (const std::bad_alloc&) {
    throw "CComp2Screened constructor - memory problem";
  }
}

template <class T>
CComp2Screened<T>::~CComp2Screened() = default;

template <class T>
COwningHandle<typename T::Graph> CComp2Screened<T>::TakeScreenedGraph() {
  if (m_graph.Get() == nullptr)
    throw "CComp2Screened::TakeScreenedGraph - graph already taken";
  COwningHandle<Graph> taken(m_graph);
  m_graph = COwningHandle<Graph>();
  return taken;
}

// ---------------------------------------------------------------------------
// CComp2CutSubcomps

template <class T>
CComp2CutSubcomps<T>::CComp2CutSubcomps(const COwningHandle<Component>& c,
                                        bool allowNegative)
    : CTransformer<Component, Component>(c) {
  Component& comp = *this->m_input;
  try {
    if (!comp.HasMinCut()) comp.CreateMinCut(allowNegative);
    const std::vector<int> side(comp.GetMinCut()->GetPart().begin(),
                                comp.GetMinCut()->GetPart().end());
    // The first side moves out of the component (copied when it is the
    // smaller one); what stays is the second.
    m_first = COwningHandle<Component>(new Component(comp, std::vector<int>()));
    m_first->TakeInduced(comp, side);
    m_second = COwningHandle<Component>(new Component(&comp));
  } catch (const std::bad_alloc&) {
    throw "CComp2CutSubcomps constructor - memory problems";
  }
}

template <class T>
CComp2CutSubcomps<T>::~CComp2CutSubcomps() = default;

template <class T>
COwningHandle<typename T::Component> CComp2CutSubcomps<T>::TakeFirstSubcomp() {
  if (m_first.Get() == nullptr)
    throw "CComp2CutSubcomps::TakeFirstSubcomp - subcomp already taken";
  COwningHandle<Component> taken(m_first);
  m_first = COwningHandle<Component>();
  return taken;
}

template <class T>
COwningHandle<typename T::Component>
CComp2CutSubcomps<T>::TakeSecondSubcomp() {
  if (m_second.Get() == nullptr)
    throw "CComp2CutSubcomps::TakeSecondSubcomp - subcomp already taken";
  COwningHandle<Component> taken(m_second);
  m_second = COwningHandle<Component>();
  return taken;
}

// ---------------------------------------------------------------------------
// CFullGraph2Parts

template <class T>
CFullGraph2Parts<T>::CFullGraph2Parts(const COwningHandle<Graph>& g,
                                      unsigned int maxPartSize)
    : CTransformer<Graph, Graph>(g) {
  const int n = this->m_input->GetVerticesNum();
  // A graph of fewer than two vertices has no cut to make.
  if (static_cast<unsigned int>(n) < maxPartSize || n < 2) {
    m_parts.push_back(this->m_input);  // ownership moves to the part
    return;
  }

  COwningHandle<Component> first;
  COwningHandle<Component> second;
  {
    std::unique_ptr<CComp2CutSubcomps<T>> cut;
    try {
      COwningHandle<Component> whole(new Component(this->m_input.Get()));
      cut.reset(new CComp2CutSubcomps<T>(whole, true));
    } catch (const std::bad_alloc&) {
      throw "CGraph2GraphParts constructor - memory problem";
    }
    first = cut->TakeFirstSubcomp();
    const int firstSize = first->GetVerticesNum();
    if (firstSize == n) {
      m_parts.push_back(first);
      return;
    }
    second = cut->TakeSecondSubcomp();
    if (firstSize == 0) {
      m_parts.push_back(second);
      return;
    }
  }

  for (COwningHandle<Component>* side : {&first, &second}) {
    std::unique_ptr<CFullGraph2Parts<T>> nested;
    try {
      nested.reset(new CFullGraph2Parts<T>(COwningHandle<Graph>(*side),
                                           maxPartSize));
    } catch (const std::bad_alloc&) {
      throw "CFullGraph2Parts constructor - memory problem";
    }
    for (unsigned int i = 0; i < nested->GetPartsNum(); ++i)
      m_parts.push_back(nested->TakeGraphPart(i));
  }
}

template <class T>
CFullGraph2Parts<T>::~CFullGraph2Parts() = default;

template <class T>
COwningHandle<typename T::Graph> CFullGraph2Parts<T>::TakeGraphPart(
    unsigned int i) {
  if (i >= m_parts.size())
    throw "CFullGraph2Parts::TakeGraphPart - index is out of scope";
  if (m_parts[i].Get() == nullptr)
    throw "CFullGraph2Parts::TakeGraphPart - part already taken";
  COwningHandle<Graph> taken(m_parts[i]);
  m_parts[i] = COwningHandle<Graph>();
  return taken;
}

template class CGraph2Components<CSDTypeTags>;
template class CGraph2Components<CFPTypeTags>;
template class CComp2Screened<CSDTypeTags>;
template class CComp2Screened<CFPTypeTags>;
template class CComp2CutSubcomps<CSDTypeTags>;
template class CComp2CutSubcomps<CFPTypeTags>;
template class CFullGraph2Parts<CSDTypeTags>;
template class CFullGraph2Parts<CFPTypeTags>;

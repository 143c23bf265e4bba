#pragma once
// Test fixtures for the kernel container and its strategies: small graphs of
// both data types built vertex by vertex, fingerprints with known values,
// scripted and state-dependent evaluators, and strategies that log what they
// were offered and what they did.

#include <cmath>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/engine/Evaluators.h"
#include "vandrel/engine/Kernels.h"
#include "vandrel/engine/Merger.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/solution/Cluster.h"
#include "vandrel/stats/SimDistrib.h"

namespace kerneltest {

using IDList = std::list<unsigned int>;

// Small deterministic generator for test data (independent of the program's).
class CTestLcg {
 public:
  explicit CTestLcg(std::uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
  std::uint32_t Next() {
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
  }
  int Range(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint32_t>(hi - lo + 1)); }

 private:
  std::uint32_t m_state;
};

// A model with well separated components: mates N(0.8, 0.1), non-mates
// N(0.0, 0.3), pMates 0.1.  The log-density difference r(t) falls below 0.5
// for t above about 1.2, so rising thresholds end in screening there.  Read
// once per process from a .distrib written to the test's temporary folder.
inline const CSimDistrib& SeparatedModel() {
  static std::unique_ptr<CSimDistrib> model = [] {
    const std::string prefix =
        ::testing::TempDir() + std::to_string(getpid()) + "_separated_model";
    {
      std::ofstream out(prefix + ".distrib");
      out << "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\nNormDistrib\nEXP\t0\nSTD\t0.3\n";
    }
    std::unique_ptr<CSimDistrib> m(new CSimDistrib(prefix));
    std::remove((prefix + ".distrib").c_str());
    return m;
  }();
  return *model;
}

// Element ids of the test graphs: sparse and not equal to vertex indices, so
// that a mix-up of ids and indices shows.
inline unsigned int IdOf(int vertex) { return 100u + 7u * static_cast<unsigned int>(vertex); }

// Fingerprint graph without fingerprint data: vertices and fingerprints are
// added by the test.
class CTestFPGraph : public CFPGraph {
 public:
  CTestFPGraph() : CSimilarityGraph(static_cast<const CSimDistrib*>(nullptr)), CFPGraph() {}
};

// The fingerprint length used by the tests: whatever the process already
// uses, else 4.
inline unsigned int TestFPLength() {
  if (CFingerprint::GetLength() == 0) CFingerprint::SetLength(4);
  return CFingerprint::GetLength();
}

inline std::unique_ptr<CNormFP> MakeFP(const std::vector<float>& values) {
  std::ostringstream text;
  for (float v : values) text << v << ' ';
  std::istringstream in(text.str());
  CFingerprint raw(in);
  // a*1 + a*0 over 1: the values themselves.
  return std::make_unique<CNormFP>(raw, 1, raw, 0);
}

// A graph of n vertices with ids IdOf(0..n-1); for fingerprints, vertex v
// gets the values returned by ValuesOf(v).
template <class T>
struct CTestGraph;

template <>
struct CTestGraph<CSDTypeTags> {
  explicit CTestGraph(int n) : m_graph(static_cast<const CSimDistrib*>(nullptr)) {
    for (int v = 0; v < n; ++v) m_graph.PushBackV(nullptr, IdOf(v));
  }
  CSimilarityGraph* Get() { return &m_graph; }
  CSimilarityGraph m_graph;
};

inline std::vector<float> ValuesOf(int v, unsigned int length) {
  std::vector<float> values(length);
  for (unsigned int j = 0; j < length; ++j)
    values[j] = static_cast<float>(((v * 37 + static_cast<int>(j) * 11) % 17) - 8) / 8.0f;
  return values;
}

template <>
struct CTestGraph<CFPTypeTags> {
  explicit CTestGraph(int n) {
    const unsigned int length = TestFPLength();
    for (int v = 0; v < n; ++v) {
      m_graph.PushBackV(nullptr, IdOf(v));
      m_fps.push_back(MakeFP(ValuesOf(v, length)));
      m_graph.m_normFPs.push_back(m_fps.back().get());
    }
  }
  CFPGraph* Get() { return &m_graph; }
  CTestFPGraph m_graph;
  std::vector<std::unique_ptr<CNormFP>> m_fps;
};

// Inserts a kernel of the given vertices (ids IdOf(v)).
template <class T>
void InsertVertices(CKernels<T>& kernels, const std::vector<int>& vertices) {
  IDList ids;
  for (int v : vertices) ids.push_back(IdOf(v));
  kernels.InsertIDs(ids);
}

template <class T>
std::vector<std::vector<unsigned int>> MemberLists(const CKernels<T>& kernels) {
  std::vector<std::vector<unsigned int>> lists;
  for (const auto& k : kernels.GetKernelList()) lists.emplace_back(k.Members().begin(), k.Members().end());
  return lists;
}

template <class T>
std::vector<unsigned int> KernelIndices(const CKernels<T>& kernels) {
  std::vector<unsigned int> indices;
  for (const auto& k : kernels.GetKernelList()) indices.push_back(k.GetIndex());
  return indices;
}

// ---------------------------------------------------------------------------
// Evaluators

// Adoption scores read from a table keyed by (kernel index, element id);
// pairs not in the table score m_default.  ResolveThreshold adds m_shift.
template <class T>
class CTableAdoptEval : public CAdoptEvaluator<T> {
 public:
  using typename CAdoptEvaluator<T>::Kernel;
  using typename CAdoptEvaluator<T>::Kernels;
  double Evaluate(const Kernel& kernel, unsigned int id) const override {
    ++m_evaluations;
    auto it = m_scores.find({kernel.GetIndex(), id});
    return it == m_scores.end() ? m_default : it->second;
  }
  double ResolveThreshold(const Kernels&, double value) const override {
    ++m_resolves;
    return value + m_shift;
  }
  std::map<std::pair<unsigned int, unsigned int>, double> m_scores;
  double m_default = -1000.0;
  double m_shift = 0.0;
  mutable long m_evaluations = 0;
  mutable int m_resolves = 0;
};

// Merge scores read from a table keyed by the ordered pair of kernel indices.
template <class T>
class CTableMergeEval : public CMergeEvaluator<T> {
 public:
  using typename CMergeEvaluator<T>::Kernel;
  using typename CMergeEvaluator<T>::Kernels;
  double Evaluate(const Kernel& a, const Kernel& b) const override {
    ++m_evaluations;
    auto it = m_scores.find({a.GetIndex(), b.GetIndex()});
    return it == m_scores.end() ? m_default : it->second;
  }
  double ResolveThreshold(const Kernels&, double value) const override {
    ++m_resolves;
    return value + m_shift;
  }
  std::map<std::pair<unsigned int, unsigned int>, double> m_scores;
  double m_default = -1000.0;
  double m_shift = 0.0;
  mutable long m_evaluations = 0;
  mutable int m_resolves = 0;
};

// A fixed matrix of small integer weights between vertices (not symmetric);
// scores are integer sums, so equal scores are common.
class CWeights {
 public:
  CWeights(int n, std::uint32_t seed, int lo, int hi) : m_n(n), m_w(static_cast<std::size_t>(n) * n) {
    CTestLcg lcg(seed);
    for (int& w : m_w) w = lcg.Range(lo, hi);
  }
  int operator()(unsigned int idA, unsigned int idB) const {
    return m_w[static_cast<std::size_t>(Vertex(idA)) * m_n + Vertex(idB)];
  }

 private:
  static int Vertex(unsigned int id) { return static_cast<int>((id - 100u) / 7u); }
  int m_n;
  std::vector<int> m_w;
};

// Adoption score that depends on the kernel's current members.
template <class T>
class CSumAdoptEval : public CAdoptEvaluator<T> {
 public:
  using typename CAdoptEvaluator<T>::Kernel;
  using typename CAdoptEvaluator<T>::Kernels;
  explicit CSumAdoptEval(const CWeights& w) : m_w(w) {}
  double Evaluate(const Kernel& kernel, unsigned int id) const override {
    ++m_evaluations;
    double sum = 0.0;
    for (unsigned int m : kernel.Members()) sum += m_w(id, m);
    return sum;
  }
  double ResolveThreshold(const Kernels&, double value) const override { return value; }
  const CWeights& m_w;
  mutable long m_evaluations = 0;
};

// Merge score that depends on both kernels' current members (order matters).
template <class T>
class CSumMergeEval : public CMergeEvaluator<T> {
 public:
  using typename CMergeEvaluator<T>::Kernel;
  using typename CMergeEvaluator<T>::Kernels;
  explicit CSumMergeEval(const CWeights& w) : m_w(w) {}
  double Evaluate(const Kernel& a, const Kernel& b) const override {
    ++m_evaluations;
    double sum = 0.0;
    for (unsigned int i : a.Members())
      for (unsigned int j : b.Members()) sum += m_w(i, j);
    return sum;
  }
  double ResolveThreshold(const Kernels&, double value) const override { return value; }
  const CWeights& m_w;
  mutable long m_evaluations = 0;
};

// Scores computed by a function of the kernel's current state.
template <class T>
class CFuncAdoptEval : public CAdoptEvaluator<T> {
 public:
  using typename CAdoptEvaluator<T>::Kernel;
  using typename CAdoptEvaluator<T>::Kernels;
  explicit CFuncAdoptEval(std::function<double(const Kernel&, unsigned int)> f) : m_f(std::move(f)) {}
  double Evaluate(const Kernel& kernel, unsigned int id) const override { return m_f(kernel, id); }
  double ResolveThreshold(const Kernels&, double value) const override { return value; }
  std::function<double(const Kernel&, unsigned int)> m_f;
};

// Rejection scores read from a table keyed by element id.
template <class T>
class CTableRejectEval : public CRejectEvaluator<T> {
 public:
  using typename CRejectEvaluator<T>::Kernel;
  using typename CRejectEvaluator<T>::Kernels;
  double Evaluate(const Kernel&, unsigned int id) const override { return m_scores.at(id); }
  double ResolveThreshold(const Kernels&, double value) const override { return value; }
  std::map<unsigned int, double> m_scores;
};

// ---------------------------------------------------------------------------
// Logging strategies

struct COffer {
  unsigned int m_kernel;
  unsigned int m_other;  // element id (adoption) or partner kernel index (merge)
  double m_score;
  bool operator==(const COffer& o) const {
    return m_kernel == o.m_kernel && m_other == o.m_other && m_score == o.m_score;
  }
};

template <class Base>
class CLogged : public Base {
 public:
  using Base::Base;
  using typename Base::Kernel;
  void StartPass() override {
    ++m_passes;
    m_offers.emplace_back();
    Base::StartPass();
  }
  std::vector<std::vector<COffer>> m_offers;  // per pass
  int m_passes = 0;
};

template <class T>
class CLoggedAdoptEvery : public CLogged<CAdoptEvery<T>> {
 public:
  using CLogged<CAdoptEvery<T>>::CLogged;
  using typename CLogged<CAdoptEvery<T>>::Kernel;
  void Offer(Kernel* k, std::list<unsigned int>::iterator e, double s) override {
    this->m_offers.back().push_back({k->GetIndex(), *e, s});
    CAdoptEvery<T>::Offer(k, e, s);
  }
};

template <class T>
class CLoggedAdoptBest : public CLogged<CAdoptBest<T>> {
 public:
  using CLogged<CAdoptBest<T>>::CLogged;
  using typename CLogged<CAdoptBest<T>>::Kernel;
  void Offer(Kernel* k, std::list<unsigned int>::iterator e, double s) override {
    this->m_offers.back().push_back({k->GetIndex(), *e, s});
    CAdoptBest<T>::Offer(k, e, s);
  }
  void FinishPass() override {
    if (this->m_bestKernel) m_adopted.push_back({this->m_bestKernel->GetIndex(), *this->m_bestElement, this->m_bestScore});
    CAdoptBest<T>::FinishPass();
  }
  std::vector<COffer> m_adopted;
};

template <class T>
class CLoggedMergeBest : public CLogged<CMergeBest<T>> {
 public:
  using CLogged<CMergeBest<T>>::CLogged;
  using typename CLogged<CMergeBest<T>>::Kernel;
  void Offer(Kernel* a, Kernel* b, double s) override {
    this->m_offers.back().push_back({a->GetIndex(), b->GetIndex(), s});
    CMergeBest<T>::Offer(a, b, s);
  }
  void FinishPass() override {
    if (this->m_bestPair[0])
      m_merged.push_back({this->m_bestPair[0]->GetIndex(), this->m_bestPair[1]->GetIndex(), this->m_bestScore});
    CMergeBest<T>::FinishPass();
  }
  std::vector<COffer> m_merged;
};

// ---------------------------------------------------------------------------
// Fingerprint centroids

constexpr double kCentroidTolerance = 1e-5;

// The mean of the members' fingerprints, computed in double precision from
// the values the test graph was given.
inline std::vector<double> MeanOfMembers(const CKernels<CFPTypeTags>::CElement& k) {
  const unsigned int length = CFingerprint::GetLength();
  std::vector<double> mean(length, 0.0);
  for (unsigned int id : k.Members()) {
    const std::vector<float> v = ValuesOf(static_cast<int>((id - 100) / 7), length);
    for (unsigned int j = 0; j < length; ++j) mean[j] += v[j];
  }
  for (double& m : mean) m /= static_cast<double>(k.Size());
  return mean;
}

inline void ExpectCentroidsAreMeans(const CKernels<CFPTypeTags>& kernels) {
  for (const auto& k : kernels.GetKernelList()) {
    const std::vector<double> mean = MeanOfMembers(k);
    const CNormFP& centroid = k.GetCluster().GetCentroid();
    for (unsigned int j = 0; j < mean.size(); ++j)
      EXPECT_NEAR(centroid[j], mean[j], kCentroidTolerance) << "kernel " << k.GetIndex() << " value " << j;
  }
}

// Catches the constant message text of a failure, or "" when none.
template <class F>
std::string MessageOf(F&& f) {
  try {
    f();
  } catch (const char* m) {
    return m;
  }
  return "";
}

}  // namespace kerneltest

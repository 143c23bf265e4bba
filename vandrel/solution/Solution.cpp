// The clustering solution: cluster indices by decreasing size (selection
// sort, O(k^2) for k clusters), the element table (O(members + elements)),
// the most common cluster of a group, and the `.sol` writer.
#include "vandrel/solution/Solution.h"

#include <fstream>
#include <utility>

#include "vandrel/data/Fingerprint.h"
#include "vandrel/graph/SimilarityGraph.h"
#include "vandrel/run/AtomicFile.h"
#include "vandrel/solution/Cluster.h"

void CSolution::CElement::SetClusterIndex(unsigned int index) {
  if (m_clusterIndex != 0)
    throw "CSolution::CElement::SetClusterIndex - element already indexed";
  m_clusterIndex = index;
}

CSolution::CSolution(const std::vector<const CCluster*>& clusters,
                     const CSimilarityGraph& graph) {
  const CGraph& g = graph;
  const int n = g.GetVerticesNum();
  m_elements.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const CVertex* v = g.GetVByIndex(i);
    m_elements.emplace_back(v->m_data != nullptr ? *v->m_data : std::string());
  }

  // Selection sort by size, largest first: position j replaces position i
  // only when it holds a strictly larger size than every earlier candidate.
  const size_t k = clusters.size();
  std::vector<size_t> position(k);
  std::vector<unsigned int> size(k);
  std::vector<const CCluster*> sorted(clusters);
  for (size_t i = 0; i < k; ++i) {
    position[i] = i;
    size[i] = clusters[i]->m_size;
  }
  for (size_t i = 0; i < k; ++i) {
    size_t j = i;
    for (size_t p = i + 1; p < k; ++p)
      if (size[p] > size[j]) j = p;
    std::swap(position[i], position[j]);
    std::swap(size[i], size[j]);
    std::swap(sorted[i], sorted[j]);
  }

  m_clusterRank.assign(k, 0);
  for (size_t p = 0; p < k; ++p)
    m_clusterRank[position[p]] = static_cast<unsigned int>(p);
  m_clusterSizes = size;
  m_clustersNum = static_cast<unsigned int>(k);

  unsigned int indexed = 0;
  for (size_t p = 0; p < k; ++p) {
    const unsigned int c = static_cast<unsigned int>(p + 1);
    for (unsigned int id : sorted[p]->m_members) {
      if (id >= m_elements.size())
        throw "CSolution constructor - element id is out of graph scope";
      m_elements[id].SetClusterIndex(c);
      ++indexed;
    }
  }
  m_singletonsNum = static_cast<unsigned int>(m_elements.size()) - indexed;
}

CSolution::~CSolution() = default;

CSolution::CCommonInfo CSolution::GetClusterIndex(
    const CCluster& cluster) const {
  if (m_elements.empty())
    throw "CSolution::GetClusterIndex - index is out of scope";
  std::vector<unsigned int> count(m_clustersNum + 1, 0);
  for (unsigned int id : cluster.m_members) {
    if (id >= m_elements.size())
      throw "CSolution::GetClusterIndex - index is out of scope";
    ++count[m_elements[id].GetClusterIndex()];
  }
  CCommonInfo info;
  info.m_clusterIndex = 1;
  // With no cluster at all there is no index 1 to count; its count is 0.
  info.m_commonNum = m_clustersNum >= 1 ? count[1] : 0;
  if (m_clustersNum < 2) return info;
  for (unsigned int c = 2; c <= m_clustersNum; ++c) {
    if (count[c] > info.m_commonNum) {
      info.m_clusterIndex = c;
      info.m_commonNum = count[c];
    }
  }
  return info;
}

void CSolution::Save(const std::string& name) const {
  // Written beside the target and renamed into place when complete: a
  // write that failed (full disk, lost device, killed run) never leaves a
  // partial solution under the final name.
  vandrel::CAtomicFile file(name + ".sol");
  if (!file.IsOpen()) throw "CSolution::Save - problems opening output file";
  std::ofstream& out = file.Stream();
  for (const CElement& e : m_elements)
    out << e.GetName() << '\t' << e.GetClusterIndex() << '\n';
  if (!file.Commit()) throw "CSolution::Save - problems opening output file";
}

CSDSolution::CSDSolution(const std::vector<const CCluster*>& clusters,
                         const CSimilarityGraph& graph)
    : CSolution(clusters, graph), m_graph(&graph) {}

CSDSolution::~CSDSolution() = default;

CFPSolution::CFPSolution(const std::vector<const CCluster*>& clusters,
                         const CFPGraph& fpGraph)
    : CSolution(clusters, fpGraph) {
  std::vector<const CNormFP*> byIndex(clusters.size(), nullptr);
  for (size_t i = 0; i < clusters.size(); ++i) {
    const CFPCluster* fp = dynamic_cast<const CFPCluster*>(clusters[i]);
    if (fp == nullptr)
      throw "CFPSolution constructor - clusters are not of CFPCluster type, "
            "casting failed";
    byIndex[m_clusterRank[i]] = &fp->GetCentroid();
  }
  m_normFPs.assign(fpGraph.m_normFPs.begin(), fpGraph.m_normFPs.end());
  m_centroids.reserve(byIndex.size());
  for (const CNormFP* c : byIndex) m_centroids.push_back(*c);
}

CFPSolution::~CFPSolution() = default;

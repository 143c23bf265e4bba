#pragma once
// The clustering solution: every element of the full similarity graph gets a
// cluster index (1 = largest cluster, 0 = in no cluster) and the solution is
// written to the `.sol` file, one "name\tindex\n" line per element in id
// order.  Clusters are ranked by a selection sort on size (not stable).
// Building costs O(k^2 + members + elements) for k clusters.
#include <string>
#include <vector>

class CCluster;
class CFPCluster;
class CNormFP;
class CSimilarityGraph;
class CFPGraph;

class CSolution {
 public:
  class CElement {
   public:
    CElement() = default;
    explicit CElement(const std::string& name) : m_name(name) {}
    // Throws "CSolution::CElement::SetClusterIndex - element already indexed"
    // when the element already has a non-zero index.
    void SetClusterIndex(unsigned int index);
    const std::string& GetName() const { return m_name; }
    unsigned int GetClusterIndex() const { return m_clusterIndex; }

   private:
    std::string m_name;
    unsigned int m_clusterIndex = 0;
  };

  struct CCommonInfo {
    unsigned int m_clusterIndex = 0;
    unsigned int m_commonNum = 0;
  };

  // `clusters`: the run's final clusters in the engine's order; `graph`: the
  // similarity graph over all elements, where vertex index equals element id.
  CSolution(const std::vector<const CCluster*>& clusters,
            const CSimilarityGraph& graph);
  virtual ~CSolution();

  // The cluster index holding most members of `cluster` (smallest index on
  // ties, never 0) with that count; index 1 when there are fewer than 2
  // clusters.  Throws "CSolution::GetClusterIndex - index is out of scope"
  // for an empty solution or a member id beyond the elements.
  CCommonInfo GetClusterIndex(const CCluster& cluster) const;

  // Writes `name` + ".sol".  Throws "CSolution::Save - problems opening
  // output file" when the file cannot be created.
  void Save(const std::string& name) const;

  const std::vector<CElement>& GetElements() const { return m_elements; }
  const std::vector<unsigned int>& GetClusterSizes() const {
    return m_clusterSizes;
  }
  const std::vector<unsigned int>& GetClusterRank() const {
    return m_clusterRank;
  }
  unsigned int GetClustersNum() const { return m_clustersNum; }
  unsigned int GetSingletonsNum() const { return m_singletonsNum; }

 protected:
  std::vector<unsigned int> m_clusterRank;
  std::vector<CElement> m_elements;
  std::vector<unsigned int> m_clusterSizes;
  unsigned int m_clustersNum = 0;
  unsigned int m_singletonsNum = 0;
};

class CSDSolution : public CSolution {
 public:
  CSDSolution(const std::vector<const CCluster*>& clusters,
              const CSimilarityGraph& graph);
  ~CSDSolution() override;
  const CSimilarityGraph& GetGraph() const { return *m_graph; }

 private:
  const CSimilarityGraph* m_graph;  // not owned
};

class CFPSolution : public CSolution {
 public:
  // Every cluster must be a CFPCluster, otherwise throws "CFPSolution
  // constructor - clusters are not of CFPCluster type, casting failed".
  CFPSolution(const std::vector<const CCluster*>& clusters,
              const CFPGraph& fpGraph);
  CFPSolution(const CFPSolution&) = delete;
  CFPSolution& operator=(const CFPSolution&) = delete;
  ~CFPSolution() override;

  // Centroid of cluster index c at position c - 1.
  const std::vector<CNormFP>& GetCentroids() const { return m_centroids; }
  const std::vector<const CNormFP*>& GetNormFPs() const { return m_normFPs; }

 private:
  std::vector<const CNormFP*> m_normFPs;  // not owned
  std::vector<CNormFP> m_centroids;
};

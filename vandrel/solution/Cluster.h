#pragma once
// Clusters: ordered groups of element ids that the engine grows.
//
//   CCluster   - the members in the order in which they joined, and their
//                number.  Uniting two clusters splices the second member list
//                onto the first (constant time).
//   CFPCluster - a cluster of fingerprint elements; also carries the mean
//                normalized fingerprint (centroid) of its members, kept up to
//                date by size-weighted means instead of being recomputed.
#include <list>
#include <memory>
#include <vector>

class CNormFP;

class CCluster {
 public:
  CCluster() = default;
  explicit CCluster(const std::list<unsigned int>& ids);
  explicit CCluster(const std::vector<unsigned int>& ids);
  CCluster(const CCluster&) = default;
  CCluster& operator=(const CCluster&) = default;
  virtual ~CCluster();

  // Moves every member of `other` to the end of this cluster, in their order,
  // leaves `other` empty and returns the number of members moved.
  virtual unsigned int Unite(CCluster& other);

  // Appends one member (adoption).
  void AddMember(unsigned int id);
  // Removes the first occurrence of `id`; returns false if it is no member.
  bool RemoveMember(unsigned int id);

  const std::list<unsigned int>& GetMembers() const { return m_members; }
  unsigned int GetSize() const { return m_size; }

  // Public, like the other engine containers: the kernel container edits
  // member lists in place (adoption, rejection, merging).
  std::list<unsigned int> m_members;
  unsigned int m_size = 0;
};

class CFPCluster : public CCluster {
 public:
  CFPCluster(const std::list<unsigned int>& ids, const CNormFP& centroid);
  CFPCluster(const std::vector<unsigned int>& ids, const CNormFP& centroid);
  CFPCluster(const CFPCluster& other);
  CFPCluster& operator=(const CFPCluster& other);
  ~CFPCluster() override;

  // `other` must be a CFPCluster, otherwise throws
  // "CFPCluster::Unite - other cluster not of CFPCluster type".  The centroid
  // becomes the mean of both centroids weighted by the two sizes (taken
  // before the move), then the members move as in CCluster::Unite.
  unsigned int Unite(CCluster& other) override;

  const CNormFP& GetCentroid() const { return *m_centroid; }
  // Replaces the centroid (adoption and rejection update it in place).
  void SetCentroid(const CNormFP& centroid);

 private:
  std::unique_ptr<CNormFP> m_centroid;  // always set
};

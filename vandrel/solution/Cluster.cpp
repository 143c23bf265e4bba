// Clusters: member lists (splicing unions, O(1)) and, for fingerprints, the
// centroid kept as a size-weighted mean.
#include "vandrel/solution/Cluster.h"

#include <algorithm>

#include "vandrel/data/Fingerprint.h"

CCluster::CCluster(const std::list<unsigned int>& ids)
    : m_members(ids), m_size(static_cast<unsigned int>(ids.size())) {}

CCluster::CCluster(const std::vector<unsigned int>& ids)
    : m_members(ids.begin(), ids.end()),
      m_size(static_cast<unsigned int>(ids.size())) {}

CCluster::~CCluster() = default;

unsigned int CCluster::Unite(CCluster& other) {
  if (&other == this) return 0;
  const unsigned int moved = other.m_size;
  m_members.splice(m_members.end(), other.m_members);
  m_size += moved;
  other.m_size = 0;
  return moved;
}

void CCluster::AddMember(unsigned int id) {
  m_members.push_back(id);
  ++m_size;
}

bool CCluster::RemoveMember(unsigned int id) {
  auto it = std::find(m_members.begin(), m_members.end(), id);
  if (it == m_members.end()) return false;
  m_members.erase(it);
  --m_size;
  return true;
}


CFPCluster::CFPCluster(const std::list<unsigned int>& ids,
                       const CNormFP& centroid)
    : CCluster(ids), m_centroid(new CNormFP(centroid)) {}

CFPCluster::CFPCluster(const std::vector<unsigned int>& ids,
                       const CNormFP& centroid)
    : CCluster(ids), m_centroid(new CNormFP(centroid)) {}

CFPCluster::CFPCluster(const CFPCluster& other)
    : CCluster(other), m_centroid(new CNormFP(*other.m_centroid)) {}

CFPCluster& CFPCluster::operator=(const CFPCluster& other) {
  if (this != &other) {
    std::unique_ptr<CNormFP> centroid(new CNormFP(*other.m_centroid));
    CCluster::operator=(other);
    m_centroid = std::move(centroid);
  }
  return *this;
}

CFPCluster::~CFPCluster() = default;

unsigned int CFPCluster::Unite(CCluster& other) {
  if (&other == this) return 0;  // nothing to move, centroid unchanged
  CFPCluster* fpOther = dynamic_cast<CFPCluster*>(&other);
  if (fpOther == nullptr)
    throw "CFPCluster::Unite - other cluster not of CFPCluster type";
  try {
    std::unique_ptr<CNormFP> centroid(
        new CNormFP(*m_centroid, static_cast<int>(m_size),
                    *fpOther->m_centroid, static_cast<int>(fpOther->m_size)));
    m_centroid = std::move(centroid);
  } catch (...) {
    throw "CFPCluster::Unite - other cluster not of CFPCluster type";
  }
  return CCluster::Unite(other);
}

void CFPCluster::SetCentroid(const CNormFP& centroid) {
  m_centroid.reset(new CNormFP(centroid));
}

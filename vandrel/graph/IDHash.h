#pragma once
// CIDHash<T>: separate-chaining hash table from a 32-bit element id to a small
// copyable value (vertex index, flag, excess).  Its iteration order is fully
// determined by the sequence of insertions and erasures, and callers take
// their tie-breaks from it, so the layout rules below are part of the
// contract:
//   - bucket of an id = id (as unsigned 32 bits) mod the bucket count;
//   - 4 buckets at construction; an insertion that finds
//     count >= bucketCount * 0.5 first doubles the table and re-inserts every
//     entry in the old iteration order;
//   - a bucket holds its first entry, then overflow entries in insertion
//     order; erasing the first entry promotes the oldest overflow entry;
//   - iteration visits buckets in ascending order, each bucket first entry
//     then overflow entries.
// Cost: lookup O(1) expected (load <= 1/2); growth O(n).  The first entry of
// a bucket is stored inline (the common case touches no extra allocation);
// overflow entries are separately allocated so that references to them stay
// valid while their bucket gains entries.

#include <memory>
#include <utility>
#include <vector>

template <class T> class CIDHash;
template <class T> class CHashIter;

// One (id, value) entry of the hash.
template <class T> using CHashEntry = std::pair<unsigned int, T>;

// One bucket.  Positions: -1 is the first entry, 0..n-1 the overflow entries.
template <class T> class CHashCell {
public:
  typedef CHashEntry<T> Entry;

  CHashCell() : m_hasFirst(false), m_first() {}
  CHashCell(const CHashCell& other) : m_hasFirst(false), m_first() { CopyFrom(other); }
  CHashCell& operator=(const CHashCell& other) {
    if (this != &other) {
      Clear();
      CopyFrom(other);
    }
    return *this;
  }
  CHashCell(CHashCell&&) noexcept = default;
  CHashCell& operator=(CHashCell&&) noexcept = default;
  ~CHashCell() = default;

  bool IsEmpty() const { return !m_hasFirst; }
  // Number of overflow entries (0 when there is no overflow list).
  int RestSize() const { return m_rest ? static_cast<int>(m_rest->size()) : 0; }
  bool IsValidPosition(int position) const {
    return m_hasFirst && position >= -1 && position < RestSize();
  }

  Entry& operator[](int position) {
    if (!IsValidPosition(position)) throw "CHashCell::operator[] - Index is out of scope";
    return position == -1 ? m_first : *(*m_rest)[position];
  }
  const Entry& operator[](int position) const {
    if (!IsValidPosition(position)) throw "CHashCell::operator[] - Index is out of scope";
    return position == -1 ? m_first : *(*m_rest)[position];
  }

  // Puts a copy of the entry into the cell: first entry of an empty cell,
  // otherwise appended to the overflow list.  Returns its position.
  int Insert(const Entry& entry) {
    if (!m_hasFirst) {
      m_first = entry;
      m_hasFirst = true;
      return -1;
    }
    try {
      if (!m_rest) m_rest.reset(new std::vector<std::unique_ptr<Entry>>());
      m_rest->push_back(std::unique_ptr<Entry>(new Entry(entry)));
    } catch (const std::bad_alloc&) {
      if (m_rest && m_rest->empty()) m_rest.reset();
      throw "CHashCell::Insert - memory problem";
    }
    return static_cast<int>(m_rest->size()) - 1;
  }

  // Removes the entry at a position; erasing the first entry promotes overflow
  // entry 0.  The relative order of the remaining entries never changes.
  void Erase(int position) {
    if (!IsValidPosition(position)) throw "HashCell::Erase - Element index is out of scope";
    if (position == -1) {
      if (m_rest && !m_rest->empty()) {
        m_first = *(*m_rest)[0];
        m_rest->erase(m_rest->begin());
      } else {
        m_first = Entry();
        m_hasFirst = false;
      }
    } else {
      m_rest->erase(m_rest->begin() + position);
    }
    if (m_rest && m_rest->empty()) m_rest.reset();
  }

  // Empties the cell.
  void Clear() {
    m_rest.reset();
    m_first = Entry();
    m_hasFirst = false;
  }

  // Position of an id in the cell, or -2 when absent.
  int Locate(unsigned int id) const {
    if (!m_hasFirst) return -2;
    if (m_first.first == id) return -1;
    const int n = RestSize();
    for (int k = 0; k < n; ++k)
      if ((*m_rest)[k]->first == id) return k;
    return -2;
  }

private:
  void CopyFrom(const CHashCell& other) {
    if (!other.m_hasFirst) return;
    Insert(other.m_first);
    const int n = other.RestSize();
    for (int k = 0; k < n; ++k) Insert(*(*other.m_rest)[k]);
  }

  bool m_hasFirst;
  Entry m_first;
  std::unique_ptr<std::vector<std::unique_ptr<Entry>>> m_rest;
};

// Position (bucket, position) inside one hash.  The end iterator is
// (hash, bucketCount, -1); equality compares bucket and position only.
template <class T> class CHashIter {
public:
  typedef CHashEntry<T> Entry;

  CHashIter() : m_hash(nullptr), m_bucket(-1), m_position(-1) {}
  CHashIter(const CIDHash<T>* hash, int bucket, int position)
      : m_hash(const_cast<CIDHash<T>*>(hash)), m_bucket(bucket), m_position(position) {}

  CHashIter& operator++() {
    if (m_bucket == m_hash->m_bucketCount) throw "CHashIter::opertor++ - iterator is not incrementeable";
    if (m_bucket != -1 && m_position + 1 < m_hash->m_cells[m_bucket].RestSize()) {
      ++m_position;
      return *this;
    }
    m_position = -1;
    ++m_bucket;
    while (m_bucket < m_hash->m_bucketCount && m_hash->m_cells[m_bucket].IsEmpty()) ++m_bucket;
    return *this;
  }

  Entry& GetPointed() {
    if (!Dereferenceable()) throw "CHashIter::GetPointed - iterator is irreferenceable";
    return m_hash->m_cells[m_bucket][m_position];
  }
  const Entry& GetConstPointed() const {
    if (!Dereferenceable()) throw "CHashIter::GetConstPointed - iterator is irreferenceable";
    return m_hash->m_cells[m_bucket][m_position];
  }

  bool operator==(const CHashIter& other) const {
    return m_bucket == other.m_bucket && m_position == other.m_position;
  }
  bool operator!=(const CHashIter& other) const { return !(*this == other); }

  int GetBucket() const { return m_bucket; }
  int GetPosition() const { return m_position; }

private:
  bool Dereferenceable() const {
    return m_hash != nullptr && m_bucket >= 0 && m_bucket < m_hash->m_bucketCount &&
           !m_hash->m_cells[m_bucket].IsEmpty();
  }

  CIDHash<T>* m_hash;
  int m_bucket;
  int m_position;
};

template <class T> class CIDHash {
public:
  typedef CHashEntry<T> Entry;
  typedef CHashIter<T> Iterator;

  CIDHash() : m_bucketCount(4), m_count(0), m_loadFactor(0.5), m_cells(4) {}

  // Same bucket count as the source; entries re-inserted in the source's
  // iteration order, so the copy iterates in the same order.
  CIDHash(const CIDHash& other)
      : m_bucketCount(other.m_bucketCount), m_count(0), m_loadFactor(other.m_loadFactor),
        m_cells(other.m_bucketCount) {
    InsertAllFrom(other);
  }
  CIDHash& operator=(const CIDHash& other) {
    if (this != &other) {
      std::vector<CHashCell<T>> cells(other.m_bucketCount);
      m_cells.swap(cells);
      m_bucketCount = other.m_bucketCount;
      m_loadFactor = other.m_loadFactor;
      m_count = 0;
      InsertAllFrom(other);
    }
    return *this;
  }
  CIDHash(CIDHash&& other) noexcept
      : m_bucketCount(other.m_bucketCount), m_count(other.m_count), m_loadFactor(other.m_loadFactor),
        m_cells(std::move(other.m_cells)) {
    other.m_bucketCount = 4;
    other.m_count = 0;
    other.m_cells = std::vector<CHashCell<T>>(4);
  }
  CIDHash& operator=(CIDHash&& other) noexcept {
    if (this != &other) {
      m_bucketCount = other.m_bucketCount;
      m_count = other.m_count;
      m_loadFactor = other.m_loadFactor;
      m_cells = std::move(other.m_cells);
      other.m_bucketCount = 4;
      other.m_count = 0;
      other.m_cells = std::vector<CHashCell<T>>(4);
    }
    return *this;
  }
  ~CIDHash() = default;

  Iterator Find(unsigned int id) const {
    const int bucket = BucketOf(id);
    const int position = m_cells[bucket].Locate(id);
    if (position == -2) return End();
    return Iterator(this, bucket, position);
  }

  bool Contains(unsigned int id) const { return m_cells[BucketOf(id)].Locate(id) != -2; }

  const T& operator[](unsigned int id) const {
    const int bucket = BucketOf(id);
    const int position = m_cells[bucket].Locate(id);
    if (position == -2) throw "CIDHash::operator[] (const) - key does not exist in hash";
    return m_cells[bucket][position].second;
  }

  // Writable reference to the value of an id; an absent id is inserted first
  // with a zero value.
  T& operator[](unsigned int id) {
    int bucket = BucketOf(id);
    int position = m_cells[bucket].Locate(id);
    if (position != -2) return m_cells[bucket][position].second;
    if (static_cast<double>(m_bucketCount) * m_loadFactor <= static_cast<double>(m_count)) {
      Grow();
      bucket = BucketOf(id);
    }
    position = m_cells[bucket].Insert(Entry(id, T()));
    ++m_count;
    return m_cells[bucket][position].second;
  }

  // Removes a stored id; an id that is not stored throws the cell's
  // out-of-scope message and leaves the hash unchanged.
  void Erase(unsigned int id) {
    const int bucket = BucketOf(id);
    const int position = m_cells[bucket].Locate(id);
    if (position == -2) throw "HashCell::Erase - Element index is out of scope";
    m_cells[bucket].Erase(position);
    --m_count;
  }

  void Clear() {
    for (CHashCell<T>& cell : m_cells) cell.Clear();
    m_count = 0;
  }

  int Size() const { return m_count; }
  int GetBucketCount() const { return m_bucketCount; }

  Iterator Begin() const {
    Iterator it(this, -1, -1);
    ++it;
    return it;
  }
  Iterator End() const { return Iterator(this, m_bucketCount, -1); }

private:
  friend class CHashIter<T>;

  int BucketOf(unsigned int id) const {
    return static_cast<int>(id % static_cast<unsigned int>(m_bucketCount));
  }

  void InsertAllFrom(const CIDHash& other) {
    for (Iterator it = other.Begin(); it != other.End(); ++it) {
      const Entry& e = it.GetConstPointed();
      (*this)[e.first] = e.second;
    }
  }

  // Doubles the bucket count and re-inserts every entry in the current
  // iteration order (each lands first in an empty bucket, else at the end of
  // the bucket's overflow list).
  void Grow() {
    std::vector<CHashCell<T>> old(static_cast<size_t>(m_bucketCount) * 2);
    old.swap(m_cells);
    const int oldCount = m_bucketCount;
    m_bucketCount *= 2;
    for (int b = 0; b < oldCount; ++b) {
      CHashCell<T>& cell = old[b];
      if (cell.IsEmpty()) continue;
      const int n = cell.RestSize();
      for (int position = -1; position < n; ++position) {
        const Entry& e = cell[position];
        m_cells[BucketOf(e.first)].Insert(e);
      }
    }
  }

  int m_bucketCount;
  int m_count;
  double m_loadFactor;
  std::vector<CHashCell<T>> m_cells;
};

#pragma once
// StringHash: open-addressing hash table from name texts (1..200 bytes) to
// untyped pointer values, with linear probing by one slot.  The owner picks
// a capacity and makes the table 3 * capacity + 17 slots, so the table stays
// at most about one third full and lookups cost O(1) on average.
//
// NamedIdSet: numbers names 0, 1, 2, ... in insertion order and finds a
// name's id through a StringHash whose values point at the name entries.
#include <memory>
#include <string>
#include <vector>

namespace tfenrich {

constexpr int kMaxNameLength = 200;

// Table size that every owner derives from its capacity.
inline int tableSizeFor(int capacity) { return 3 * capacity + 17; }

class StringHash {
 public:
  StringHash() = default;
  StringHash(const StringHash&) = delete;
  StringHash& operator=(const StringHash&) = delete;

  // Releases any previous content and allocates tableSize empty slots.
  bool init(int tableSize);
  void release();

  int hash(const char* text) const;
  // value is set to nullptr first; true (and the stored value) when present.
  bool lookup(const char* text, void** value) const;
  // Counts every accepted insertion, also of a text already present (whose
  // value is then replaced).
  bool insert(const char* text, void* value);

  int tableSize() const { return tableSize_; }
  int stringCount() const { return stringCount_; }
  int capacity() const { return capacity_; }
  void setCapacity(int capacity) { capacity_ = capacity; }

 private:
  struct Slot {
    std::string text;  // empty: the slot is free
    void* value = nullptr;
  };
  std::vector<Slot> slots_;
  int tableSize_ = 0;
  int stringCount_ = 0;
  int capacity_ = 0;
};

class NamedIdSet {
 public:
  NamedIdSet() = default;
  NamedIdSet(const NamedIdSet&) = delete;
  NamedIdSet& operator=(const NamedIdSet&) = delete;

  bool init(int capacity);
  void release();

  // The new name gets id count() (the count before the call).
  bool add(const char* name);
  // -1 when the name is absent.
  int idOf(const char* name) const;
  // nullptr when id is out of range.
  const char* nameOf(int id) const;
  int count() const { return count_; }
  int capacity() const { return capacity_; }

 private:
  std::unique_ptr<std::string[]> names_;
  int capacity_ = 0;
  int count_ = 0;
  StringHash hash_;
};

}  // namespace tfenrich

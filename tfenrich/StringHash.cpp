// StringHash (linear-probing hash of name texts) and NamedIdSet (names
// numbered in insertion order).  Hashing is one pass over the bytes; probes
// are short because the table is kept at most one third full.
#include "tfenrich/StringHash.h"

#include <cstring>
#include <new>

#include "tfenrich/Streams.h"

namespace tfenrich {

bool StringHash::init(int tableSize) {
  release();
  if (tableSize < 1) {
    err("ERROR: Can't allocate area for hash of size %d.\n", tableSize);
    return false;
  }
  try {
    slots_.assign(static_cast<std::size_t>(tableSize), Slot{});
  } catch (const std::bad_alloc&) {
    err("ERROR: Can't allocate area for hash of size %d.\n", tableSize);
    return false;
  }
  tableSize_ = tableSize;
  stringCount_ = 0;
  return true;
}

void StringHash::release() {
  std::vector<Slot>().swap(slots_);
  tableSize_ = 0;
  stringCount_ = 0;
}

int StringHash::hash(const char* text) const {
  if (text == nullptr || *text == '\0' || tableSize_ <= 0) return 17;
  int h = 17;
  for (const char* p = text; *p != '\0'; ++p) {
    const int c = static_cast<signed char>(*p);
    h = (c * c + 3 * h + 5) % tableSize_;
  }
  return h;
}

bool StringHash::lookup(const char* text, void** value) const {
  if (value != nullptr) *value = nullptr;
  if (text == nullptr || stringCount_ <= 0 || tableSize_ <= 0) return false;
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > static_cast<std::size_t>(kMaxNameLength)) return false;
  int index = hash(text);
  while (!slots_[index].text.empty()) {
    if (slots_[index].text == text) {
      if (value != nullptr) *value = slots_[index].value;
      return true;
    }
    index = (index + 1) % tableSize_;
  }
  return false;
}

bool StringHash::insert(const char* text, void* value) {
  if (text == nullptr) {
    err("ERROR: Cannot insert NULL string to string-hash.\n");
    return false;
  }
  const std::size_t length = std::strlen(text);
  if (length == 0 || length > static_cast<std::size_t>(kMaxNameLength)) {
    err("ERROR: Cannot insert string to string-hash (length must be 1-%d).\n", kMaxNameLength);
    return false;
  }
  // An uninitialised table has no room at all.
  if (tableSize_ <= 0 || stringCount_ > tableSize_ / 3) {
    err("ERROR: Cannot insert string to string-hash - hash is full (%d strings).\n", stringCount_);
    return false;
  }
  ++stringCount_;
  int index = hash(text);
  while (!slots_[index].text.empty()) {
    if (slots_[index].text == text) {
      slots_[index].value = value;
      return true;
    }
    index = (index + 1) % tableSize_;
  }
  try {
    slots_[index].text.assign(text, length);
  } catch (const std::bad_alloc&) {
    err("ERROR: Couldn't set string '%s' in hash.\n", text);
    return false;
  }
  slots_[index].value = value;
  return true;
}

bool NamedIdSet::init(int capacity) {
  release();
  hash_.setCapacity(capacity);
  if (capacity < 0 || !hash_.init(tableSizeFor(capacity))) {
    err("ERROR: Failed to initialize hash set (size %d).\n", tableSizeFor(capacity));
    return false;
  }
  try {
    names_.reset(new std::string[static_cast<std::size_t>(capacity)]);
  } catch (const std::bad_alloc&) {
    err("ERROR: Failed to allocate named-ids set (size %d).\n", capacity);
    hash_.release();
    return false;
  }
  capacity_ = capacity;
  count_ = 0;
  return true;
}

void NamedIdSet::release() {
  names_.reset();
  hash_.release();
  capacity_ = 0;
  count_ = 0;
}

bool NamedIdSet::add(const char* name) {
  if (hash_.lookup(name, nullptr)) {
    err("ERROR: '%s' is already in the set.\n", name);
    return false;
  }
  if (count_ >= capacity_) {
    err("ERROR: Too many names in set.\n");
    return false;
  }
  if (name == nullptr) {
    err("ERROR: Problems allocating name for '%s' (id %d).\n", "(null)", count_);
    return false;
  }
  try {
    names_[count_] = name;
  } catch (const std::bad_alloc&) {
    err("ERROR: Problems allocating name for '%s' (id %d).\n", name, count_);
    return false;
  }
  if (!hash_.insert(name, &names_[count_])) {
    err("ERROR: Problems adding '%s' to hash.\n", name);
    names_[count_].clear();
    return false;
  }
  ++count_;
  return true;
}

int NamedIdSet::idOf(const char* name) const {
  void* value = nullptr;
  if (!hash_.lookup(name, &value) || value == nullptr) return -1;
  return static_cast<int>(static_cast<const std::string*>(value) - names_.get());
}

const char* NamedIdSet::nameOf(int id) const {
  if (id < 0 || id >= count_) return nullptr;
  return names_[id].c_str();
}

}  // namespace tfenrich

// Target-sets and their file.  Finding a set is a linear search over at
// most 2000 sets; the duplicate test is O(1) per member.
#include "tfenrich/TargetSets.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>

#include "tfenrich/LineReader.h"
#include "tfenrich/Streams.h"

namespace tfenrich {

bool TargetSets::init() {
  try {
    std::vector<Set>().swap(sets_);
    sets_.reserve(kMaxSets);
  } catch (const std::bad_alloc&) {
    err("ERROR: Failed to allocate target-sets.\n");
    return false;
  }
  return true;
}

bool TargetSets::add(int promoterId, const char* promoterName, int setId) {
  Set* set = nullptr;
  for (Set& s : sets_) {
    if (s.id == setId) {
      set = &s;
      break;
    }
  }
  if (set == nullptr) {
    if (count() >= kMaxSets) {
      err("ERROR: Too many target-sets.\n");
      return false;
    }
    try {
      sets_.emplace_back();
    } catch (const std::bad_alloc&) {
      err("ERROR: Failed to allocate target-set %d.\n", setId);
      return false;
    }
    set = &sets_.back();
    set->id = setId;
  }
  if (set->lookup.count(promoterId) != 0) {
    err("WARNING: Promoter #%d (%s) is already in target-set %d - not adding.\n", promoterId,
        promoterName, setId);
    return true;
  }
  if (static_cast<int>(set->members.size()) >= kMaxSetSize) {
    err("ERROR: Target-set %d too large.\n", setId);
    return false;
  }
  try {
    set->members.push_back(promoterId);
    set->lookup.insert(promoterId);
  } catch (const std::bad_alloc&) {
    err("ERROR: Failed to allocate target-set %d.\n", setId);
    return false;
  }
  return true;
}

namespace {

enum class LineFields { kNone, kNameOnly, kNameAndId, kBadId };

// "<name> <id>": the id is optional; an id that starts like a number but
// does not fit in 32 bits is refused rather than wrapped.
LineFields parseTargetLine(const std::string& line, std::string& name, int& setId) {
  std::string::size_type pos = 0;
  if (!firstWord(line, name, &pos)) return LineFields::kNone;
  while (pos < line.size() && std::isspace(static_cast<unsigned char>(line[pos]))) ++pos;
  const char* start = line.c_str() + pos;
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(start, &end, 10);
  if (end == start) return LineFields::kNameOnly;
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return LineFields::kBadId;
  setId = static_cast<int>(value);
  return LineFields::kNameAndId;
}

}  // namespace

bool readTargetSets(const char* path, const NamedIdSet& promoters, TargetSets& targetSets) {
  if (!targetSets.init()) {
    err("ERROR: Problems initializing target-sets.\n");
    return false;
  }
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    err("ERROR: Can't read target-sets file '%s'.\n", path);
    return false;
  }
  LineReader reader(file);
  std::string line, name;
  int lineNumber = 0;
  int notFound = 0;
  while (reader.next(line)) {
    int setId = 0;
    switch (parseTargetLine(line, name, setId)) {
      case LineFields::kNone:
      case LineFields::kBadId:
        err("ERROR: Problems reading promoter name and/or set id (line #%d).\n", lineNumber);
        std::fclose(file);
        return false;
      case LineFields::kNameAndId:
        if (setId == 0) {
          err("ERROR: Target-set id may not be %d (line #%d).\n", 0, lineNumber);
          std::fclose(file);
          return false;
        }
        break;
      case LineFields::kNameOnly:
        setId = 0;
        break;
    }
    const int promoterId = promoters.idOf(name.c_str());
    if (promoterId < 0) {
      ++notFound;
    } else if (!targetSets.add(promoterId, name.c_str(), setId)) {
      err("ERROR: Problems adding promoter #%d (%s) to target-set %d.\n", promoterId,
          name.c_str(), setId);
      std::fclose(file);
      return false;
    }
    ++lineNumber;
  }
  std::fclose(file);
  if (reader.failed()) {
    err("ERROR: Problems reading target-sets (line #%d).\n", lineNumber);
    return false;
  }
  if (notFound > 0) {
    err("WARNING: Total of %d promoters in target-sets were not found in BG set and ignored.\n",
        notFound);
  }
  return true;
}

}  // namespace tfenrich

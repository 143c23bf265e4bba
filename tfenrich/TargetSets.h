#pragma once
// TargetSets: up to 2000 numbered sets of promoter ids (at most 40000
// members each), in order of first appearance, and the reader of the
// target-sets file ("<promoter name> [<set id>]" per line).
#include <unordered_set>
#include <vector>

#include "tfenrich/StringHash.h"

namespace tfenrich {

class TargetSets {
 public:
  static constexpr int kMaxSets = 2000;
  static constexpr int kMaxSetSize = 40000;

  bool init();
  // Adds a promoter to the set with the given id, creating the set when new.
  // A promoter already in the set is reported with a warning and skipped.
  bool add(int promoterId, const char* promoterName, int setId);

  int count() const { return static_cast<int>(sets_.size()); }
  int maxSets() const { return kMaxSets; }
  int maxSetSize() const { return kMaxSetSize; }
  int id(int index) const { return sets_[index].id; }
  int size(int index) const { return static_cast<int>(sets_[index].members.size()); }
  const std::vector<int>& members(int index) const { return sets_[index].members; }

 private:
  struct Set {
    int id = 0;
    std::vector<int> members;        // in order of reading
    std::unordered_set<int> lookup;  // the same ids, for the duplicate test
  };
  std::vector<Set> sets_;
};

bool readTargetSets(const char* path, const NamedIdSet& promoters, TargetSets& targetSets);

}  // namespace tfenrich

#pragma once
// The command line of tfenrich: the settings, the ordered flag table with
// defaults and presence flags, the parser (last occurrence wins, unknown
// flags ignored), the usage text and the settings report.
#include <cstddef>
#include <string>
#include <variant>
#include <vector>

#include "tfenrich/Enrichment.h"

namespace tfenrich {

constexpr std::size_t kMaxPathLength = 199;
constexpr std::size_t kMaxListLength = 99;

struct Settings {
  std::string pwmFile, bgFile, fpFile, tarFile, outFile;
  int hitsFrom = 0;
  int hitsTo = 0;
  std::string hitsRegions;
  int maxHits = 0;
  std::string fix;
  double pValue = 0.0;
  std::string tests;
  TestSettings hg{false, 3};
  TestSettings emp{false, 100000};
  bool halvorne = false;
  std::string stdoutFile, stderrFile;
  bool hasHitsFrom = false, hasHitsTo = false, hasStdout = false, hasStderr = false;
  bool help = false, h = false;
  bool bonferroni = false;
};

// One row of the flag table.  format: nullptr for a switch, "%S" for the
// whole argument text, "%s" for its first word, "%d" or "%lf" for a number.
struct FlagSpec {
  const char* flag;
  const char* format;
  std::variant<std::monostate, std::string*, int*, double*> destination;
  const char* defaultText;  // nullptr: none
  bool* presence;           // nullptr: not recorded
  std::size_t maxLength;    // longest accepted text value
};

std::vector<FlagSpec> makeFlagTable(Settings& settings);

// argv holds the arguments after the program name.  Prints its own
// "ERROR: " line and returns false on a flag without value, a number that
// does not convert, or a text above its length limit.
bool parseFlags(int argc, const char* const* argv, const std::vector<FlagSpec>& table);

void printUsage(const char* program);
void printSettingsReport(const char* program, const Settings& settings);

}  // namespace tfenrich

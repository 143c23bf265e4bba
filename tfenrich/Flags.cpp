// Flag table, parser, usage text and settings report.
#include "tfenrich/Flags.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "tfenrich/Streams.h"

namespace tfenrich {

std::vector<FlagSpec> makeFlagTable(Settings& s) {
  return {
      {"-pwmFile", "%S", &s.pwmFile, "", nullptr, kMaxPathLength},
      {"-bgFile", "%S", &s.bgFile, "", nullptr, kMaxPathLength},
      {"-fpFile", "%S", &s.fpFile, "", nullptr, kMaxPathLength},
      {"-tarFile", "%S", &s.tarFile, "", nullptr, kMaxPathLength},
      {"-outFile", "%S", &s.outFile, "", nullptr, kMaxPathLength},
      {"-hitsFrom", "%d", &s.hitsFrom, "-999999", &s.hasHitsFrom, 0},
      {"-hitsTo", "%d", &s.hitsTo, "999999", &s.hasHitsTo, 0},
      {"-hitsRegions", "%s", &s.hitsRegions, "+all", nullptr, kMaxListLength},
      {"-maxHits", "%d", &s.maxHits, "9", nullptr, 0},
      {"-fix", "%s", &s.fix, "none", nullptr, kMaxListLength},
      {"-pval", "%lf", &s.pValue, "0.05", nullptr, 0},
      {"-tests", "%s", &s.tests, "all", nullptr, kMaxListLength},
      {"-hgMaxHits", "%d", &s.hg.limit, "3", nullptr, 0},
      {"-empMaxSets", "%d", &s.emp.limit, "100000", nullptr, 0},
      {"-halvorne", nullptr, std::monostate{}, nullptr, &s.halvorne, 0},
      {"-stdout", "%S", &s.stdoutFile, "", &s.hasStdout, kMaxPathLength},
      {"-stderr", "%S", &s.stderrFile, "", &s.hasStderr, kMaxPathLength},
      {"-help", nullptr, std::monostate{}, nullptr, &s.help, 0},
      {"-h", nullptr, std::monostate{}, nullptr, &s.h, 0},
  };
}

namespace {

bool onlySpaceFrom(const char* p) {
  while (std::isspace(static_cast<unsigned char>(*p))) ++p;
  return *p == '\0';
}

// Converts one value text into the row's destination.  A "%s" text without
// a word leaves the destination unchanged; numbers must fill the whole text.
bool convertValue(const FlagSpec& row, const char* text) {
  const std::string format(row.format);
  if (format == "%S") {
    if (std::strlen(text) > row.maxLength) {
      err("ERROR: Value of parameter %s is too long (max. %d characters).\n", row.flag,
          static_cast<int>(row.maxLength));
      return false;
    }
    *std::get<std::string*>(row.destination) = text;
    return true;
  }
  if (format == "%s") {
    const char* p = text;
    while (std::isspace(static_cast<unsigned char>(*p))) ++p;
    const char* q = p;
    while (*q != '\0' && !std::isspace(static_cast<unsigned char>(*q))) ++q;
    if (q == p) return true;
    if (static_cast<std::size_t>(q - p) > row.maxLength) {
      err("ERROR: Value of parameter %s is too long (max. %d characters).\n", row.flag,
          static_cast<int>(row.maxLength));
      return false;
    }
    std::get<std::string*>(row.destination)->assign(p, q);
    return true;
  }
  char* end = nullptr;
  errno = 0;
  if (format == "%d") {
    const long long value = std::strtoll(text, &end, 10);
    if (end != text && errno != ERANGE && value >= INT_MIN && value <= INT_MAX &&
        onlySpaceFrom(end)) {
      *std::get<int*>(row.destination) = static_cast<int>(value);
      return true;
    }
  } else {
    const double value = std::strtod(text, &end);
    if (end != text && errno != ERANGE && std::isfinite(value) && onlySpaceFrom(end)) {
      *std::get<double*>(row.destination) = value;
      return true;
    }
  }
  err("ERROR: Bad value '%s' for parameter %s\n", text, row.flag);
  return false;
}

}  // namespace

bool parseFlags(int argc, const char* const* argv, const std::vector<FlagSpec>& table) {
  for (const FlagSpec& row : table) {
    const bool takesValue = row.format != nullptr;
    bool found = false;
    for (int i = 0; i < argc; ++i) {
      if (std::strcmp(argv[i], row.flag) != 0) continue;
      if (takesValue) {
        if (i + 1 >= argc) {
          err("ERROR: Missing value for parameter %s\n", row.flag);
          return false;
        }
        if (!convertValue(row, argv[i + 1])) return false;
      }
      found = true;
    }
    if (!found && takesValue) {
      if (row.defaultText != nullptr && row.defaultText[0] != '\0') {
        if (!convertValue(row, row.defaultText)) return false;
      } else if (std::string* const* text = std::get_if<std::string*>(&row.destination)) {
        (*text)->clear();
      }
    }
    if (row.presence != nullptr) *row.presence = found;
  }
  return true;
}

void printUsage(const char* program) {
  msg("Usage: %s [-<flag> [<value>]] ...\n", program);
  static const char* const kLines[] = {
      " flags:",
      "   -pwmFile <filename>   : file with a set of PWMs to check (def: all PWMs in 'fpFile')",
      "   -bgFile <filename>    : file with BG set of promoters (def: all promoters in 'fpFile')",
      " * -tarFile <filename>   : file with target-set(s) of promoters",
      " * -fpFile <filename>    : file with fingerprints",
      "   -outFile <filename>   : output file with main results (Halvorne format)",
      "   -hitsFrom <pos> -hitsTo <pos> : consider only hits in the range hitsFrom...hitsTo "
      "(relative to TSS)",
      "   -hitsRegions <list>   : comma-separated list of regions of hits to consider",
      "                           Possible regions: upstream, exon1, intron1, exon2, intron2, cds",
      "                           Each region name should be preceeded by a '+' (use the region) "
      "or '-' (ignore the region)",
      "   -maxHits <maxHits>    : max. number of hits to take into account per promoter (def: 9)",
      "   -fix <none|bonf>      : method for correcting scores to compensate for multiple "
      "testing (def: none)",
      "   -pval <p-value>       : p-value threshold (after multiple-tests fix); enrichments with "
      "lower p-values will be printed",
      "   -tests <list>         : comma-separated list of tests to run (hg,emp,all; def: all)",
      "   -hgMaxHits <maxHits>  : max. number of hits to take into account in HG score (1-3, "
      "def: 3); must be <= 'maxHits'",
      "   -empMaxSets <maxSets> : max. random subsets to check in empirical score (def: 100000)",
      "   -halvorne             : flag that indicates we're running in Halvorne mode",
      "   -stdout <filename>    : file for output messages (def: STDOUT)",
      "   -stderr <filename>    : file for error messages (def: STDERR)",
      "   -help (or -h)         : print usage",
      "",
  };
  for (const char* line : kLines) msg("%s\n", line);
  msg("Parameters marked by '*' are mandatory.\n");
  msg("Example: %s -fpFile fp.txt -tarFile tar.E2F.txt\n", program);
  msg("\n");
}

void printSettingsReport(const char* program, const Settings& s) {
  const auto orNone = [](const std::string& path) {
    return path.empty() ? "[none]" : path.c_str();
  };
  msg("%s (version %s)\n", program, "2.0");
  msg("=========================================\n");
  msg("PWMs file ............................... %s\n", orNone(s.pwmFile));
  msg("BG file ................................. %s\n", orNone(s.bgFile));
  msg("Fingerprints file ....................... %s\n", s.fpFile.c_str());
  msg("Target-sets file ........................ %s\n", s.tarFile.c_str());
  msg("Output file ............................. %s\n", orNone(s.outFile));
  if (s.hasHitsFrom) {
    msg("Consider hits in the range .............. %d...%d (relative to TSS)\n", s.hitsFrom,
        s.hitsTo);
  }
  if (!s.hitsRegions.empty()) {
    msg("Consider hits in regions ................ %s\n", s.hitsRegions.c_str());
  }
  msg("Max. number of hits per promoter ........ %d\n", s.maxHits);
  msg("Enrichment tests ........................ %s%s\n", s.hg.enabled ? "hg " : "",
      s.emp.enabled ? "emp " : "");
  msg("Max. number of hits in HG score ......... %d\n", s.hg.limit);
  msg("Max. random subsets in empirical score .. %d\n", s.emp.limit);
  msg("Scores multiple-tests fix method ........ %s\n", s.bonferroni ? "bonferroni" : "none");
  msg("Printing results with p-value below ..... %.7lf\n", s.pValue);
  msg("Halvorne mode ........................... %s\n", s.halvorne ? "On" : "Off");
  if (s.hasStdout) msg("Stdout redirected to file ............... %s\n", s.stdoutFile.c_str());
  if (s.hasStderr) msg("Stderr redirected to file ............... %s\n", s.stderrFile.c_str());
  msg("\n");
}

}  // namespace tfenrich

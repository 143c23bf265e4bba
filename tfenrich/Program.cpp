// The run order of tfenrich, from the command line to "Done.".
#include "tfenrich/Program.h"

#include <cstdio>
#include <string>

#include "tfenrich/Enrichment.h"
#include "tfenrich/Fingerprints.h"
#include "tfenrich/Flags.h"
#include "tfenrich/Location.h"
#include "tfenrich/Random.h"
#include "tfenrich/SetFiles.h"
#include "tfenrich/Streams.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/TargetSets.h"

namespace tfenrich {

namespace {

// Holds the redirected stream files and gives the streams of the run's
// start (standard output and error in the program) back when the run ends,
// whichever way it ends.
class Redirection {
 public:
  Redirection() : startMsg_(msgStream()), startErr_(errStream()) {}
  ~Redirection() {
    std::fflush(msgStream());
    std::fflush(errStream());
    setMsgStream(startMsg_);
    setErrStream(startErr_);
    if (errFile_ != nullptr && errFile_ != msgFile_) std::fclose(errFile_);
    if (msgFile_ != nullptr) std::fclose(msgFile_);
  }
  Redirection(const Redirection&) = delete;
  Redirection& operator=(const Redirection&) = delete;

  bool redirectMessages(const std::string& path) {
    msgFile_ = std::fopen(path.c_str(), "w");
    if (msgFile_ == nullptr) return false;
    msgPath_ = path;
    setMsgStream(msgFile_);
    return true;
  }
  // The same path as the message stream shares its file instead of
  // truncating it a second time.
  bool redirectErrors(const std::string& path) {
    errFile_ = (msgFile_ != nullptr && path == msgPath_) ? msgFile_ : std::fopen(path.c_str(), "w");
    if (errFile_ == nullptr) return false;
    setErrStream(errFile_);
    return true;
  }

 private:
  FILE* startMsg_;
  FILE* startErr_;
  FILE* msgFile_ = nullptr;
  FILE* errFile_ = nullptr;
  std::string msgPath_;
};

// Splits the test list at "," and enables the named tests.
bool enableTests(Settings& s) {
  s.hg.enabled = false;
  s.emp.enabled = false;
  std::string::size_type pos = 0;
  while (pos <= s.tests.size()) {
    std::string::size_type comma = s.tests.find(',', pos);
    if (comma == std::string::npos) comma = s.tests.size();
    const std::string item = s.tests.substr(pos, comma - pos);
    pos = comma + 1;
    if (item.empty()) continue;
    if (item == "all") {
      s.hg.enabled = true;
      s.emp.enabled = true;
    } else if (item == "hg") {
      s.hg.enabled = true;
    } else if (item == "emp") {
      s.emp.enabled = true;
    } else {
      err("ERROR: Unknown test '%s'.\n", item.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int runProgram(int argc, const char* const* argv) {
  Redirection streams;
  const char* program = argc > 0 ? argv[0] : "tfenrich";
  if (argc < 2) {
    err("ERROR: No command-line parameters.\n");
    return 1;
  }

  Settings s;
  const std::vector<FlagSpec> table = makeFlagTable(s);
  if (!parseFlags(argc - 1, argv + 1, table)) {
    err("ERROR: Problems analyzing command-line parameters.\n");
    printUsage(program);
    return 1;
  }
  if (s.hasStdout && !streams.redirectMessages(s.stdoutFile)) {
    err("ERROR: Can't write to stdout file '%s'.\n", s.stdoutFile.c_str());
    return 1;
  }
  if (s.hasStderr && !streams.redirectErrors(s.stderrFile)) {
    err("ERROR: Can't write to stderr file '%s'.\n", s.stderrFile.c_str());
    return 1;
  }
  if (s.help || s.h || s.fpFile.empty() || s.tarFile.empty()) {
    printUsage(program);
    return 1;
  }
  if (s.halvorne) {
    s.tests = "hg";
    s.hg.limit = 2;
  }
  if (s.hasHitsFrom != s.hasHitsTo) {
    err("ERROR: You may not specify only one of 'hitsFrom' and 'hitsTo'.\n");
    printUsage(program);
    return 1;
  }
  if (s.hg.limit > s.maxHits) {
    err("ERROR: 'hgMaxHits' (%d) cannot be larger than 'maxHits' (%d).\n", s.hg.limit,
        s.maxHits);
    return 1;
  }
  LocationInfo location;
  if (!setLocationInfo(location, s.hitsFrom, s.hitsTo, s.hitsRegions.c_str())) {
    err("ERROR: Problems setting location information.\n");
    return 1;
  }
  if (s.fix == "none") {
    s.bonferroni = false;
  } else if (s.fix == "bonferroni" || s.fix == "bonf") {
    s.bonferroni = true;
  } else {
    err("ERROR: Bad 'fix' value ('%s').\n", s.fix.c_str());
    printUsage(program);
    return 1;
  }
  if (!enableTests(s)) return 1;

  seedRandom(kRunSeed);
  printSettingsReport(program, s);

  StringHash pwmSet, bgSet;
  pwmSet.setCapacity(kMaxTFs);
  bgSet.setCapacity(kMaxPromoters);
  const StringHash* pwmFilter = nullptr;
  const StringHash* bgFilter = nullptr;
  if (!s.pwmFile.empty()) {
    if (!readPWMSet(s.pwmFile.c_str(), pwmSet)) {
      err("ERROR: Problems reading PWM set from file '%s'.\n", s.pwmFile.c_str());
      return 1;
    }
    if (pwmSet.stringCount() < 1) {
      err("ERROR: Given PWM set in file '%s' is empty?!\n", s.pwmFile.c_str());
      return 1;
    }
    msg("Read %d PWMs from '%s'.\n", pwmSet.stringCount(), s.pwmFile.c_str());
    pwmFilter = &pwmSet;
  } else {
    msg("PWMs file not supplied. All PWMs in fp's file will be used.\n");
  }
  if (!s.bgFile.empty()) {
    if (!readBGSet(s.bgFile.c_str(), bgSet)) {
      err("ERROR: Problems reading BG set from file '%s'.\n", s.bgFile.c_str());
      return 1;
    }
    if (bgSet.stringCount() < 1) {
      err("ERROR: Given BG set in file '%s' is empty?!\n", s.bgFile.c_str());
      return 1;
    }
    msg("Read %d BG promoters from '%s'.\n", bgSet.stringCount(), s.bgFile.c_str());
    bgFilter = &bgSet;
  } else {
    msg("BG file not supplied. BG set will be determined from fp's file.\n");
  }

  NamedIdSet tfs, promoters;
  FingerprintMatrix fingerprints;
  if (!readFingerprints(s.fpFile.c_str(), pwmFilter, bgFilter, tfs, promoters, fingerprints,
                        location, s.maxHits)) {
    err("ERROR: Problems reading fingerprints from file '%s'.\n", s.fpFile.c_str());
    return 1;
  }
  msg("Read fingerprints of %d promoters and %d TFs from file '%s'.\n", promoters.count(),
      tfs.count(), s.fpFile.c_str());
  msg("Effective BG set is of size %d.\n", promoters.count());
  msg("Considering up to %d hits per promoter.\n", s.maxHits);

  TargetSets targetSets;
  if (!readTargetSets(s.tarFile.c_str(), promoters, targetSets)) {
    err("ERROR: Problems reading target sets from file '%s'.\n", s.tarFile.c_str());
    return 1;
  }
  msg("Read %d target-sets from file '%s'.\n", targetSets.count(), s.tarFile.c_str());
  for (int i = 0; i < targetSets.count(); ++i) {
    msg("  Target-set %d has %d promoters.\n", targetSets.id(i), targetSets.size(i));
  }
  msg("\n");

  if (!findEnrichedTFs(tfs, promoters, targetSets, fingerprints, s.pValue, s.bonferroni,
                       s.outFile, &s.hg, &s.emp)) {
    err("ERROR: Problems finding enriched TFs in target-sets.\n");
    return 1;
  }
  msg("\nDone.\n");
  return 0;
}

}  // namespace tfenrich

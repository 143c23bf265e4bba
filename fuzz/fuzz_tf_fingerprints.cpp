// Fuzz target: tfenrich's fingerprints file, read once without filters and
// once with a PWM filter and a BG filter that keep part of the example's
// TFs and promoters (so that skipped columns and rows are exercised too).
#include <cstddef>
#include <cstdint>

#include "fuzz/FuzzUtil.h"
#include "fuzz/TfFuzzUtil.h"
#include "tfenrich/Fingerprints.h"
#include "tfenrich/Location.h"
#include "tfenrich/SetFiles.h"
#include "tfenrich/StringHash.h"

namespace {

void ReadOnce(const std::string& path, const tfenrich::StringHash* pwms,
              const tfenrich::StringHash* bg, const char* regions, int maxHits) {
  tfenrich::LocationInfo location;
  if (!tfenrich::setLocationInfo(location, -500, 200, regions)) __builtin_trap();
  tfenrich::NamedIdSet tfs, promoters;
  tfenrich::FingerprintMatrix matrix;
  if (!tfenrich::readFingerprints(path.c_str(), pwms, bg, tfs, promoters, matrix, location,
                                  maxHits))
    return;
  // What a successful read hands on must be consistent.
  if (matrix.rowsUsed() != promoters.count()) __builtin_trap();
  for (int r = 0; r < matrix.rowsUsed(); ++r)
    for (int c = 0; c < tfs.count(); ++c)
      if (matrix.hits(r, c) < 0 || matrix.hits(r, c) > maxHits) __builtin_trap();
}

void Fill(tfenrich::StringHash& set, int capacity, const char* const* names) {
  set.setCapacity(capacity);
  if (!set.init(tfenrich::tableSizeFor(capacity))) __builtin_trap();
  for (; *names != nullptr; ++names) set.insert(*names, nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzutil::SilenceTfStreams();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static tfenrich::StringHash* pwms = [] {
    static const char* const names[] = {"E2F_01", "SP1_Q6", "TF1", "tf0", nullptr};
    auto* set = new tfenrich::StringHash;
    Fill(*set, tfenrich::kMaxTFs, names);
    return set;
  }();
  static tfenrich::StringHash* bg = [] {
    static const char* const names[] = {"GENE001", "GENE003", "p1", "geneA", nullptr};
    auto* set = new tfenrich::StringHash;
    Fill(*set, tfenrich::kMaxPromoters, names);
    return set;
  }();
  const std::string path = fuzzutil::WriteFile("fp.txt", data, size);
  ReadOnce(path, nullptr, nullptr, "+all", 9);
  ReadOnce(path, pwms, bg, "+upstream,+exon1,-cds", 2);
  return 0;
}

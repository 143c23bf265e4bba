#pragma once
// Where hits count: the hit range relative to the transcription start site
// (TSS) and the gene regions to use or ignore, parsed from the region list
// ("+all", "-cds", ...).  Per promoter, the regions become absolute bounds
// taken from the promoter's gene information, and each hit position is
// tested against them (O(number of regions) per hit).
#include <cstdint>
#include <vector>

namespace tfenrich {

constexpr int kMaxRegions = 7;
constexpr int kRangeLimit = 999999;

enum RegionCode {
  kRegionAll = 0,
  kRegionUpstream = 1,
  kRegionExon1 = 2,
  kRegionIntron1 = 3,
  kRegionExon2 = 4,
  kRegionIntron2 = 5,
  kRegionCds = 6
};

// Name of a region code in the region list ("all", "upstream", ...).
const char* regionName(int code);

struct LocationInfo {
  int rangeStart = -kRangeLimit;
  int rangeEnd = kRangeLimit;
  int useCount = 0;
  int useCodes[kMaxRegions] = {};
  int ignoreCount = 0;
  int ignoreCodes[kMaxRegions] = {};
};

// The gene layout of one promoter, as read from the fingerprints file.
struct GeneInfo {
  int location = 0;
  int strand = 0;
  int geneLength = 0;
  int nExons = 0;
  int upstreamStart = 0, upstreamEnd = 0;
  int exon1Start = 0, exon1End = 0;
  int intron1Start = 0, intron1End = 0;
  int exon2Start = 0, exon2End = 0;
  int intron2Start = 0, intron2End = 0;
  int cdsStart = 0, cdsEnd = 0;
};

// Stores the range and parses the comma-separated region list (nullptr: no
// list).  Empty items between commas are skipped.
bool setLocationInfo(LocationInfo& info, int rangeStart, int rangeEnd, const char* regionList);

// The hit filter of one promoter: absolute range and region bounds.
class HitFilter {
 public:
  HitFilter(const LocationInfo& info, const GeneInfo& gene);
  bool accepts(std::int64_t position) const;

 private:
  struct Bounds {
    std::int64_t start, end;
  };
  static Bounds regionBounds(int code, const GeneInfo& gene);
  std::int64_t low_, high_;
  std::vector<Bounds> use_, ignore_;
};

}  // namespace tfenrich

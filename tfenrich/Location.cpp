// Region list parsing and the per-promoter hit filter.
#include "tfenrich/Location.h"

#include <cstring>
#include <string>

#include "tfenrich/Streams.h"

namespace tfenrich {

namespace {
const char* const kRegionNames[kMaxRegions] = {"all",     "upstream", "exon1", "intron1",
                                               "exon2",   "intron2",  "cds"};
}  // namespace

const char* regionName(int code) {
  return code >= 0 && code < kMaxRegions ? kRegionNames[code] : "";
}

bool setLocationInfo(LocationInfo& info, int rangeStart, int rangeEnd, const char* regionList) {
  info.rangeStart = rangeStart;
  info.rangeEnd = rangeEnd;
  info.useCount = 0;
  info.ignoreCount = 0;
  if (regionList == nullptr) return true;

  const std::string list(regionList);
  std::string::size_type pos = 0;
  while (pos <= list.size()) {
    std::string::size_type comma = list.find(',', pos);
    if (comma == std::string::npos) comma = list.size();
    const std::string item = list.substr(pos, comma - pos);
    pos = comma + 1;
    if (item.empty()) continue;

    int* count = nullptr;
    int* codes = nullptr;
    if (item[0] == '+') {
      count = &info.useCount;
      codes = info.useCodes;
    } else if (item[0] == '-') {
      count = &info.ignoreCount;
      codes = info.ignoreCodes;
    } else {
      err("ERROR: Each region must start with '+' (use) or '-' (ignore).\n");
      return false;
    }
    if (*count >= kMaxRegions) {
      err("ERROR: Too many regions specified.\n");
      return false;
    }
    const std::string name = item.substr(1);
    int code = -1;
    for (int c = 0; c < kMaxRegions; ++c) {
      if (name == kRegionNames[c]) {
        code = c;
        break;
      }
    }
    if (code < 0) {
      err("ERROR: Unknown region '%s'.\n", name.c_str());
      return false;
    }
    codes[(*count)++] = code;
  }
  return true;
}

HitFilter::Bounds HitFilter::regionBounds(int code, const GeneInfo& g) {
  switch (code) {
    case kRegionUpstream: return {g.upstreamStart, g.upstreamEnd};
    case kRegionExon1: return {g.exon1Start, g.exon1End};
    case kRegionIntron1: return {g.intron1Start, g.intron1End};
    case kRegionExon2: return {g.exon2Start, g.exon2End};
    case kRegionIntron2: return {g.intron2Start, g.intron2End};
    case kRegionCds: return {g.cdsStart, g.cdsEnd};
    default: return {-kRangeLimit, kRangeLimit};
  }
}

HitFilter::HitFilter(const LocationInfo& info, const GeneInfo& gene) {
  // 64-bit so that extreme ranges and coordinates cannot overflow.
  const std::int64_t tss = static_cast<std::int64_t>(gene.upstreamEnd) + 1;
  low_ = info.rangeStart + tss;
  high_ = info.rangeEnd + tss;
  for (int i = 0; i < info.useCount; ++i) use_.push_back(regionBounds(info.useCodes[i], gene));
  for (int i = 0; i < info.ignoreCount; ++i)
    ignore_.push_back(regionBounds(info.ignoreCodes[i], gene));
}

bool HitFilter::accepts(std::int64_t x) const {
  if (x < low_ || x > high_) return false;
  bool inUse = false;
  for (const Bounds& b : use_) {
    if (x >= b.start && x <= b.end) {
      inUse = true;
      break;
    }
  }
  if (!inUse) return false;
  for (const Bounds& b : ignore_) {
    if (x >= b.start && x <= b.end) return false;
  }
  return true;
}

}  // namespace tfenrich

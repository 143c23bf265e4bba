#include "tfenrich/Location.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"

namespace {

using tfenrich::GeneInfo;
using tfenrich::HitFilter;
using tfenrich::LocationInfo;

TEST(SetLocationInfo, RegionLists) {
  const struct {
    const char* list;
    bool ok;
    std::vector<int> use, ignore;
    const char* error;
  } cases[] = {
      {"+all", true, {0}, {}, ""},
      {"+upstream,+exon1,-cds", true, {1, 2}, {6}, ""},
      {"-intron2,+intron1,-exon2", true, {3}, {5, 4}, ""},
      {"", true, {}, {}, ""},
      {"+cds,,+cds", true, {6, 6}, {}, ""},  // repeats allowed, empty items skipped
      {"+all,+all,+all,+all,+all,+all,+all", true, {0, 0, 0, 0, 0, 0, 0}, {}, ""},
      {"+all,+all,+all,+all,+all,+all,+all,+bogus", false, {}, {},
       "ERROR: Too many regions specified.\n"},
      {"all", false, {}, {}, "ERROR: Each region must start with '+' (use) or '-' (ignore).\n"},
      {"+All", false, {}, {}, "ERROR: Unknown region 'All'.\n"},
      {"+upstream,-", false, {}, {}, "ERROR: Unknown region ''.\n"},
  };
  for (const auto& c : cases) {
    tftest::Capture capture;
    LocationInfo info;
    EXPECT_EQ(tfenrich::setLocationInfo(info, -500, 20, c.list), c.ok) << c.list;
    EXPECT_EQ(capture.err(), c.error) << c.list;
    EXPECT_EQ(info.rangeStart, -500);
    EXPECT_EQ(info.rangeEnd, 20);
    if (!c.ok) continue;
    EXPECT_EQ(std::vector<int>(info.useCodes, info.useCodes + info.useCount), c.use) << c.list;
    EXPECT_EQ(std::vector<int>(info.ignoreCodes, info.ignoreCodes + info.ignoreCount), c.ignore)
        << c.list;
  }
}

TEST(SetLocationInfo, MissingListIsAccepted) {
  LocationInfo info;
  info.useCount = 3;
  EXPECT_TRUE(tfenrich::setLocationInfo(info, 1, 2, nullptr));
  EXPECT_EQ(info.useCount, 0);
  EXPECT_EQ(info.ignoreCount, 0);
}

GeneInfo sampleGene() {
  GeneInfo g;
  g.upstreamStart = 1;
  g.upstreamEnd = 999;  // TSS 1000
  g.exon1Start = 1000;
  g.exon1End = 1199;
  g.intron1Start = 1200;
  g.intron1End = 1599;
  g.exon2Start = 1600;
  g.exon2End = 1699;
  g.intron2Start = 1700;
  g.intron2End = 1999;
  g.cdsStart = 1100;
  g.cdsEnd = 2100;
  return g;
}

TEST(HitFilter, RangeAndRegions) {
  const GeneInfo gene = sampleGene();
  const struct {
    int from, to;
    const char* regions;
    long long hit;
    bool accepted;
  } cases[] = {
      // Range relative to the TSS (UpstreamEnd + 1 = 1000), bounds included.
      {-500, 0, "+all", 499, false},
      {-500, 0, "+all", 500, true},
      {-500, 0, "+all", 1000, true},
      {-500, 0, "+all", 1001, false},
      // Use regions, bounds included.
      {-999999, 999999, "+upstream", 999, true},
      {-999999, 999999, "+upstream", 1000, false},
      {-999999, 999999, "+exon1,+exon2", 1600, true},
      {-999999, 999999, "+exon1,+exon2", 1599, false},
      {-999999, 999999, "+intron1", 1200, true},
      {-999999, 999999, "+intron2", 1999, true},
      {-999999, 999999, "+cds", 2100, true},
      {-999999, 999999, "+cds", 2101, false},
      // An ignore list alone accepts nothing.
      {-999999, 999999, "-cds", 50, false},
      // "+all" minus the CDS.
      {-999999, 999999, "+all,-cds", 1099, true},
      {-999999, 999999, "+all,-cds", 1100, false},
      {-999999, 999999, "+all,-cds", 2101, true},
      // "+all" stops at its absolute bounds even when the range is wider.
      {-5000000, 5000000, "+all", 999999, true},
      {-5000000, 5000000, "+all", 1000000, false},
      {-5000000, 5000000, "+all", -1000000, false},
      // No region list: no use region, nothing counted.
      {-999999, 999999, "", 1500, false},
  };
  for (const auto& c : cases) {
    LocationInfo info;
    ASSERT_TRUE(tfenrich::setLocationInfo(info, c.from, c.to, c.regions));
    const HitFilter filter(info, gene);
    EXPECT_EQ(filter.accepts(c.hit), c.accepted)
        << c.from << "..." << c.to << " " << c.regions << " hit " << c.hit;
  }
}

TEST(HitFilter, ExtremeRangesDoNotOverflow) {
  GeneInfo gene = sampleGene();
  gene.upstreamEnd = 2147483647;  // TSS beyond 32 bits
  LocationInfo info;
  ASSERT_TRUE(tfenrich::setLocationInfo(info, -2147483647 - 1, 2147483647, "+all"));
  const HitFilter filter(info, gene);
  EXPECT_TRUE(filter.accepts(5));
  EXPECT_FALSE(filter.accepts(2000000));
}

}  // namespace

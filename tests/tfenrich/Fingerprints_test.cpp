#include "tfenrich/Fingerprints.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestUtil.h"
#include "tfenrich/WordScanner.h"

namespace {

using tfenrich::FingerprintMatrix;
using tfenrich::LocationInfo;
using tfenrich::NamedIdSet;
using tfenrich::StringHash;

// Gene layout with UpstreamEnd 999 (TSS 1000) and the CDS at 1100..2100.
std::string gene(const std::string& id = "1") {
  return "LLid=" + id +
         " orgDBsym=SYM TranscriptId=NM_1 chr=chr1 Location=100 Strand=1 GeneLength=2100 "
         "nExons=2 UpstreamStart=1 UpstreamEnd=999 Exon1Start=1000 Exon1End=1199 "
         "Intron1Start=1200 Intron1End=1599 Exon2Start=1600 Exon2End=1699 Intron2Start=1700 "
         "Intron2End=1999 CdsStart=1100 CdsEnd=2100";
}

struct Promoter {
  std::string name;
  std::vector<std::string> words;
};

std::string fpText(const std::vector<std::pair<std::string, std::string>>& tfs,
                   const std::vector<Promoter>& promoters) {
  std::string text = std::to_string(tfs.size()) + " PWMs:\n";
  for (const auto& tf : tfs) {
    text += " " + tf.first + " ; threshold: 0.85 ; species: " + tf.second + "\n";
  }
  text += std::to_string(promoters.size()) + " fingerprints:\n";
  for (const Promoter& p : promoters) {
    text += p.name + " " + gene() + "\n";
    for (const std::string& w : p.words) text += w + " ";
    text += "\n";
  }
  return text;
}

class FpFile : public ::testing::Test {
 protected:
  bool read(const std::string& text, int maxHits = 9, const char* regions = "+all",
            int from = -999999, int to = 999999) {
    LocationInfo location;
    EXPECT_TRUE(tfenrich::setLocationInfo(location, from, to, regions));
    return tfenrich::readFingerprints(dir.write("fp.txt", text).c_str(), pwmFilter, bgFilter,
                                      tfs, promoters, matrix, location, maxHits);
  }
  tftest::TempDir dir;
  const StringHash* pwmFilter = nullptr;
  const StringHash* bgFilter = nullptr;
  NamedIdSet tfs, promoters;
  FingerprintMatrix matrix;
};

TEST_F(FpFile, HitsAndScoresOfValueWords) {
  tftest::Capture capture;
  ASSERT_TRUE(read(fpText({{"E2F_01", "human"}, {"NFKB", "mouse"}, {"SP1", "rat"}},
                          {{"GENE_A", {"-/500", "120,340,560/1000", "5/0"}},
                           {"GENE_B", {"1,2,3,4/10", "-/1", "-7/20"}}}),
                   2));
  EXPECT_EQ(capture.err(), "");
  ASSERT_EQ(tfs.count(), 3);
  EXPECT_STREQ(tfs.nameOf(0), "E2F_01(human)");
  EXPECT_STREQ(tfs.nameOf(2), "SP1(rat)");
  ASSERT_EQ(promoters.count(), 2);
  EXPECT_EQ(matrix.rowsUsed(), 2);
  EXPECT_EQ(promoters.idOf("GENE_B"), 1);

  const struct {
    int row, col, hits, length;
    double score;
  } expected[] = {
      {0, 0, 0, 500, 0.05 / 500.5},
      {0, 1, 2, 1000, 2.05 / 1000.5},  // 3 hits capped at 2
      {0, 2, 1, 0, 0.0},               // no effective length: score 0
      {1, 0, 2, 10, 2.05 / 10.5},
      {1, 1, 0, 1, 0.05 / 1.5},
      {1, 2, 1, 20, 1.05 / 20.5},      // a negative position is still a position
  };
  for (const auto& e : expected) {
    EXPECT_EQ(matrix.hits(e.row, e.col), e.hits) << e.row << "," << e.col;
    EXPECT_EQ(matrix.length(e.row, e.col), e.length) << e.row << "," << e.col;
    EXPECT_DOUBLE_EQ(matrix.score(e.row, e.col), e.score) << e.row << "," << e.col;
  }
}

// A file of several read blocks (the reader buffers 1 MiB at a time):
// words, numbers and literals cut at any block boundary read whole.
TEST_F(FpFile, LongFileReadsEveryValue) {
  const int kPromoters = 10000;
  std::vector<Promoter> list;
  for (int r = 0; r < kPromoters; ++r) {
    Promoter p{"G" + std::to_string(r), {}};
    for (int t = 0; t < 3; ++t) {
      const int k = (r * 7 + t * 3) % 6;
      std::string w;
      for (int h = 0; h < k; ++h) w += (h ? "," : "") + std::to_string(10 + 13 * h + r);
      p.words.push_back((k ? w : "-") + "/" + std::to_string(100 + r + t));
    }
    list.push_back(p);
  }
  const std::string text = fpText({{"A", "human"}, {"B", "human"}, {"C", "human"}}, list);
  ASSERT_GT(text.size(), 3u << 20);
  ASSERT_TRUE(read(text));
  ASSERT_EQ(promoters.count(), kPromoters);
  for (int r = 0; r < kPromoters; ++r) {
    ASSERT_EQ(promoters.idOf(("G" + std::to_string(r)).c_str()), r);
    for (int t = 0; t < 3; ++t) {
      EXPECT_EQ(matrix.hits(r, t), (r * 7 + t * 3) % 6) << r << "," << t;
      EXPECT_EQ(matrix.length(r, t), 100 + r + t) << r << "," << t;
    }
  }
}

// Value words of the shapes the in-place reader takes, and of those it
// leaves to the general reader (a NUL byte), read as their text says:
// hits before the first "/", the effective length right after it.
TEST_F(FpFile, OddValueWordsReadAsTheirText) {
  const struct {
    std::string word;
    int hits;
    int length;
  } cases[] = {
      {"+5/10", 1, 10},       {"-5,7/10", 2, 10},  // signs; -5 lies within range and "all"
      {"5x,7/10", 2, 10},     {",5,6/10", 2, 10},  // text after a number; one leading comma
      {"5,6/10/20", 2, 10},   {"5/+10", 1, 10},    {"5/-3", 1, -3},
      {"5/10abc", 1, 10},     {"-/0007", 0, 7},    {"5/2147483647", 1, 2147483647},
      {"-2147483648/1", 0, 1},  // read, but outside the hit range
      {std::string("5,6/12\0x", 8), 2, 12},  // the text ends at the NUL byte
  };
  std::vector<std::string> words;
  for (const auto& c : cases) words.push_back(c.word);
  std::vector<std::pair<std::string, std::string>> tfs_;
  for (std::size_t t = 0; t < words.size(); ++t) tfs_.push_back({"T" + std::to_string(t), "h"});
  tftest::Capture capture;
  ASSERT_TRUE(read(fpText(tfs_, {{"P", words}})));
  EXPECT_EQ(capture.err(), "");
  for (std::size_t t = 0; t < words.size(); ++t) {
    const auto& c = cases[t];
    EXPECT_EQ(matrix.hits(0, t), c.hits) << t;
    EXPECT_EQ(matrix.length(0, t), c.length) << t;
    EXPECT_EQ(matrix.score(0, t), c.length > 0 ? (c.hits + 0.05) / (c.length + 0.5) : 0.0) << t;
  }
}

TEST_F(FpFile, UncappedCountAndLocationFilter) {
  ASSERT_TRUE(read(fpText({{"T", "s"}}, {{"P", {"120,340,560/1000"}}}), 9));
  EXPECT_EQ(matrix.hits(0, 0), 3);
  EXPECT_DOUBLE_EQ(matrix.score(0, 0), 3.05 / 1000.5);
  // TSS is 1000: range -500...0 keeps 500 and 1000 but not 499.
  ASSERT_TRUE(read(fpText({{"T", "s"}}, {{"P", {"499,500,1000,1001/100"}}}), 9, "+all", -500, 0));
  EXPECT_EQ(matrix.hits(0, 0), 2);
  // "+all,-cds" drops the CDS 1100..2100.
  ASSERT_TRUE(read(fpText({{"T", "s"}}, {{"P", {"1099,1100,2100,2101/100"}}}), 9, "+all,-cds"));
  EXPECT_EQ(matrix.hits(0, 0), 2);
}

TEST_F(FpFile, PwmFilterSkipsColumnsButStillChecksTheirWords) {
  StringHash pwms;
  ASSERT_TRUE(pwms.init(6017));
  ASSERT_TRUE(pwms.insert("B", nullptr));
  pwmFilter = &pwms;
  tftest::Capture capture;
  ASSERT_TRUE(read(fpText({{"A", "x"}, {"B", "y"}, {"C", "z"}},
                          {{"P1", {"1,2/10", "3/10", "bad,list/10"}}})));
  ASSERT_EQ(tfs.count(), 1);
  EXPECT_STREQ(tfs.nameOf(0), "B(y)");
  EXPECT_EQ(matrix.hits(0, 0), 1);
  EXPECT_EQ(capture.err(), "");
  // A skipped TF's word must still hold "/" and a numeric length.
  EXPECT_FALSE(read(fpText({{"A", "x"}, {"B", "y"}}, {{"P1", {"1,2", "3/10"}}})));
  EXPECT_EQ(capture.err(),
            "ERROR: Can't find effective length for TF #0 in fingerprint of P1 in fp file.\n");
}

TEST_F(FpFile, BgFilterSkipsPromotersButReadsTheirRecords) {
  StringHash bg;
  ASSERT_TRUE(bg.init(120017));
  ASSERT_TRUE(bg.insert("P2", nullptr));
  ASSERT_TRUE(bg.insert("P9", nullptr));
  bgFilter = &bg;
  ASSERT_TRUE(read(fpText({{"T", "s"}}, {{"P1", {"1/10"}}, {"P2", {"1,2/10"}}, {"P3", {"-/5"}}})));
  ASSERT_EQ(promoters.count(), 1);
  EXPECT_EQ(matrix.rowsUsed(), 1);
  EXPECT_EQ(promoters.idOf("P2"), 0);
  EXPECT_EQ(matrix.hits(0, 0), 2);
  EXPECT_EQ(promoters.idOf("P1"), -1);
  tftest::Capture capture;
  EXPECT_FALSE(read(fpText({{"T", "s"}}, {{"P1", {"1x/"}}, {"P2", {"1/10"}}})));
  EXPECT_EQ(capture.err(),
            "ERROR: Can't read effective length for TF #0 in fingerprint of P1 in fp file.\n");
}

TEST_F(FpFile, SpeciesSuffixOnlyWhenTheNameStaysWithin200) {
  tftest::Capture capture;
  const std::string fits(193, 'n'), tooLong(194, 'n');
  ASSERT_TRUE(read(fpText({{fits, "human"}, {tooLong, "human"}}, {{"P", {"-/1", "-/1"}}})));
  EXPECT_EQ(std::string(tfs.nameOf(0)), fits + "(human)");
  EXPECT_EQ(std::string(tfs.nameOf(1)), tooLong);
  EXPECT_EQ(capture.err(),
            "WARNING: Can't add species info to TF name (" + tooLong + ") - too long.\n");
}

TEST_F(FpFile, LayoutIsFreeFormat) {
  // Line breaks and blank runs are interchangeable; CRLF reads like LF.
  const std::string text = "2 PWMs:\r\n A ; threshold: 0.5 ; species: h\r\n B ;\r\nthreshold: "
                           "1e-2 ; species: m 1 fingerprints: P " + gene() +
                           "\r\n 5/9\r\n\r\n-/7\r\n";
  ASSERT_TRUE(read(text));
  EXPECT_STREQ(tfs.nameOf(1), "B(m)");
  EXPECT_EQ(matrix.hits(0, 0), 1);
  EXPECT_EQ(matrix.length(0, 1), 7);
}

TEST_F(FpFile, DeclaredCounts) {
  std::vector<std::pair<std::string, std::string>> many;
  std::vector<std::string> words;
  for (int t = 0; t < 2001; ++t) {
    many.push_back({"TF" + std::to_string(t), "h"});
    words.push_back("-/1");
  }
  tftest::Capture capture;
  EXPECT_FALSE(read(fpText(many, {{"P", words}})));
  EXPECT_EQ(capture.err(), "ERROR: Bad number of TFs (2001) in fp file.\n");
  many.pop_back();
  words.pop_back();
  ASSERT_TRUE(read(fpText(many, {{"P", words}})));
  EXPECT_EQ(tfs.count(), 2000);
  EXPECT_STREQ(tfs.nameOf(1999), "TF1999(h)");
}

TEST_F(FpFile, ReaderErrors) {
  const std::string g = gene();
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"", "ERROR: Bad number of TFs (-1) in fp file.\n"},
      {"0 PWMs:\n", "ERROR: Bad number of TFs (0) in fp file.\n"},
      {"x PWMs:\n", "ERROR: Bad number of TFs (-1) in fp file.\n"},
      {"1 TFs:\n A ; threshold: 1 ; species: h\n", "ERROR: Bad number of TFs (1) in fp file.\n"},
      {"2 PWMs:\n A ; threshold: 1 ; species: h\n B ; threshold: x ; species: h\n",
       "ERROR: Bad TF id/threshold/species (#1: B) in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; kind: h\n",
       "ERROR: Bad TF id/threshold/species (#0: A) in fp file.\n"},
      {"2 PWMs:\n A ; threshold: 1 ; species: h\n A ; threshold: 1 ; species: h\n",
       "ERROR: 'A(h)' is already in the set.\nERROR: Couldn't add TF id (#1: A(h)) to set.\n"},
      {std::string("1 PWMs:\n \0x ; threshold: 1 ; species: h\n", 40),
       "ERROR: Bad TF id/threshold/species (#0: ) in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n0 fingerprints:\n",
       "ERROR: Bad number of promoters (0) in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n40001 fingerprints:\n",
       "ERROR: Bad number of promoters (40001) in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n2 fingerprints:\nP " + g + " 1/2\n",
       "ERROR: Bad promoter id (#1: ) in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n2 fingerprints:\nP " + g + " 1/2\nP " + g +
           " 1/2\n",
       "ERROR: 'P' is already in the set.\nERROR: Couldn't add promoter id (#1: P) to set.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP LLid=1 orgDBsym=S\n",
       "ERROR: Can't read gene information of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " +
           std::string(g).replace(g.find("CdsEnd=2100"), 11, "CdsEnd=x") + " 1/2\n",
       "ERROR: Can't read gene information of P in fp file.\n"},
      {"2 PWMs:\n A ; threshold: 1 ; species: h\n B ; threshold: 1 ; species: h\n"
       "1 fingerprints:\nP " + g + " 1/2\n",
       "ERROR: Can't read value #1 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 12\n",
       "ERROR: Can't find effective length for TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 12/abc\n",
       "ERROR: Can't read effective length for TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 10,x,30/100\n",
       "ERROR: Can't read hit location #1 of TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " /100\n",
       "ERROR: Can't read hit location #0 of TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 7,2147483648/10\n",
       "ERROR: Can't read hit location #1 of TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 7/-2147483649\n",
       "ERROR: Can't read effective length for TF #0 in fingerprint of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " 7,-/10\n",
       "ERROR: Can't read hit location #1 of TF #0 in fingerprint of P in fp file.\n"},
      // Words above the fixed limits are refused by the step that reads them.
      {"1 PWMs:\n " + std::string(201, 'T') + " ; threshold: 1 ; species: h\n",
       "ERROR: Bad TF id/threshold/species (#0: " + std::string(200, 'T') + ") in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\n" + std::string(201, 'P') +
           " " + g + " 1/2\n",
       "ERROR: Bad promoter id (#0: " + std::string(200, 'P') + ") in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " +
           std::string(g).replace(g.find("SYM"), 3, std::string(200, 'S')) + " 1/2\n",
       "ERROR: Can't read gene information of P in fp file.\n"},
      {"1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " + g + " " +
           std::string(869, '1') + "/10\n",  // 872 characters
       "ERROR: Can't read value #0 in fingerprint of P in fp file.\n"},
  };
  for (const auto& c : cases) {
    tftest::Capture capture;
    EXPECT_FALSE(read(c.text)) << c.text.substr(0, 300);
    EXPECT_EQ(capture.err(), c.error) << c.text.substr(0, 300);
  }
  tftest::Capture capture;
  LocationInfo location;
  EXPECT_FALSE(tfenrich::readFingerprints(dir.file("none.txt").c_str(), nullptr, nullptr, tfs,
                                          promoters, matrix, location, 9));
  EXPECT_EQ(capture.err(), "ERROR: Can't read fp file '" + dir.file("none.txt") + "'.\n");
}

TEST_F(FpFile, LongestAcceptedWords) {
  // A value word of 871 characters and a gene text field of 199 are read.
  const std::string word = "1," + std::string(865, '0') + "1/10";  // 871 characters
  ASSERT_EQ(word.size(), 871u);
  const std::string g = gene();
  const std::string text = "1 PWMs:\n A ; threshold: 1 ; species: h\n1 fingerprints:\nP " +
                           std::string(g).replace(g.find("SYM"), 3, std::string(199, 'S')) +
                           " " + word + "\n";
  ASSERT_TRUE(read(text));
  EXPECT_EQ(matrix.hits(0, 0), 2);
}

TEST(FingerprintMatrixTable, EntriesReadZeroUntilSet) {
  FingerprintMatrix m;
  ASSERT_TRUE(m.init(3, 4));
  EXPECT_EQ(m.columnCount(), 3);
  EXPECT_EQ(m.rowCount(), 4);
  EXPECT_EQ(m.hits(2, 1), 0);
  ASSERT_TRUE(m.set(2, 1, 0.5, 4, 7));
  EXPECT_EQ(m.hits(2, 1), 4);
  EXPECT_EQ(m.length(2, 1), 7);
  EXPECT_DOUBLE_EQ(m.score(2, 1), 0.5);
  EXPECT_EQ(m.hits(2, 0), 0);
  EXPECT_FALSE(m.set(4, 0, 1.0, 1, 1));
  EXPECT_FALSE(m.set(0, 3, 1.0, 1, 1));
}

// A block of rows written at once holds what set() one entry at a time
// would hold; a block past the last row or column is refused.
TEST(FingerprintMatrixTable, SetRowsEqualsSetOneByOne) {
  const int kRows = 9, kCols = 4, first = 3, count = 5;
  FingerprintMatrix block, single;
  ASSERT_TRUE(block.init(kCols, kRows));
  ASSERT_TRUE(single.init(kCols, kRows));
  std::vector<FingerprintMatrix::Cell> cells(count * kCols);
  for (int r = 0; r < count; ++r) {
    for (int c = 0; c < kCols; ++c) {
      FingerprintMatrix::Cell& cell = cells[r * kCols + c];
      cell = {0.5 * r + 0.125 * c, (r * 3 + c) % 5, 100 * r + c};
      ASSERT_TRUE(single.set(first + r, c, cell.score, cell.hits, cell.length));
    }
  }
  ASSERT_TRUE(block.setRows(first, count, kCols, cells.data()));
  for (int r = 0; r < kRows; ++r) {
    for (int c = 0; c < kCols; ++c) {
      EXPECT_EQ(block.score(r, c), single.score(r, c)) << r << "," << c;
      EXPECT_EQ(block.hits(r, c), single.hits(r, c)) << r << "," << c;
      EXPECT_EQ(block.length(r, c), single.length(r, c)) << r << "," << c;
    }
  }
  EXPECT_FALSE(block.setRows(6, 4, kCols, cells.data()));
  EXPECT_FALSE(block.setRows(0, 1, kCols + 1, cells.data()));
}

// Columns must show exactly the cells set (zero elsewhere and past the last
// row), with hit counts equal to a direct count, and follow later changes.
TEST(FingerprintMatrixTable, ColumnsMatchCellsAndFollowChanges) {
  const int kRows = 7, kCols = 3;
  double score[kRows][kCols] = {};
  int hits[kRows][kCols] = {};
  FingerprintMatrix m;
  ASSERT_TRUE(m.init(kCols, kRows));
  // Row 5 is never set; hit counts cover 0..5 and a negative one.
  const int values[][3] = {{0, 0, 2}, {0, 1, 4}, {1, 0, 1}, {1, 2, -1}, {2, 0, 3},
                           {3, 1, 1}, {4, 0, 0}, {4, 2, 5}, {6, 0, 2}, {6, 1, 2}};
  for (const auto& v : values) {
    const double sc = 0.125 * (v[0] + 1) + 0.5 * v[1];
    ASSERT_TRUE(m.set(v[0], v[1], sc, v[2], 10));
    score[v[0]][v[1]] = sc;
    hits[v[0]][v[1]] = v[2];
  }
  for (int rows : {kRows, 4, kRows + 3}) {
    for (int c = 0; c < kCols; ++c) {
      const tfenrich::FingerprintColumn& col = m.column(c, rows);
      ASSERT_EQ(col.scores.size(), static_cast<std::size_t>(rows));
      ASSERT_EQ(col.hits.size(), static_cast<std::size_t>(rows));
      int cls[4] = {0, 0, 0, 0}, sum = 0, covered = 0;
      for (int r = 0; r < rows; ++r) {
        const double sc = r < kRows ? score[r][c] : 0.0;
        const int h = r < kRows ? hits[r][c] : 0;
        EXPECT_EQ(col.scores[r], sc) << r << "," << c;
        EXPECT_EQ(col.hits[r], h) << r << "," << c;
        if (h <= 0) ++cls[0];
        else if (h == 1) ++cls[1];
        else if (h == 2) ++cls[2];
        else ++cls[3];
        sum += h;
        if (h > 0) ++covered;
      }
      for (int k = 0; k < 4; ++k) EXPECT_EQ(col.hitClass[k], cls[k]) << rows << "," << c;
      EXPECT_EQ(col.hitSum, sum);
      EXPECT_EQ(col.covered, covered);
    }
  }
  // A column asked for again after a change shows the change.
  EXPECT_EQ(m.column(0, kRows).hits[5], 0);
  ASSERT_TRUE(m.set(5, 0, 2.5, 3, 10));
  const tfenrich::FingerprintColumn& col = m.column(0, kRows);
  EXPECT_EQ(col.hits[5], 3);
  EXPECT_EQ(col.scores[5], 2.5);
  EXPECT_EQ(col.hitClass[3], 2);
  ASSERT_TRUE(m.init(kCols, kRows));
  EXPECT_EQ(m.column(0, kRows).hits[5], 0);
}

}  // namespace

namespace {

// parseLeadingInt reads a number the way scanf's "%d" does; compared with
// strtoll plus a range check on a table of texts.
TEST(ParseLeadingInt, AgreesWithStrtoll) {
  const char* texts[] = {"0",           "7",           "-7",           "+7",
                         "  42,17",     "\t\n-13/500", "000123x",      "-0",
                         "2147483647",  "2147483648",  "-2147483648",  "-2147483649",
                         "99999999999999999999999", "-99999999999999999999999",
                         "+",           "-",           "",             "x12",
                         " + 3",        "12 34",       "0009",         "4294967296"};
  for (const char* t : texts) {
    char* stop = nullptr;
    errno = 0;
    const long long v = std::strtoll(t, &stop, 10);
    const char* q = t;
    while (std::isspace(static_cast<unsigned char>(*q))) ++q;
    if (*q == '+' || *q == '-') ++q;
    const bool ok = std::isdigit(static_cast<unsigned char>(*q)) && errno != ERANGE &&
                    v >= INT_MIN && v <= INT_MAX;
    int out = 12345;
    const char* end = nullptr;
    ASSERT_EQ(tfenrich::parseLeadingInt(t, out, &end), ok) << "'" << t << "'";
    if (ok) {
      EXPECT_EQ(out, v) << t;
      EXPECT_EQ(end, stop) << t;
    } else {
      EXPECT_EQ(out, 12345) << t;
    }
  }
}

}  // namespace

namespace {

// parseIntPrefix, the in-place reader's number parser, agrees with
// parseLeadingInt on every text without leading whitespace, and stops at
// the end it is given.
TEST(ParseIntPrefix, AgreesWithParseLeadingInt) {
  const char* texts[] = {"0",           "7",           "-7",          "+7",
                         "42,17",       "-13/500",     "000123x",     "-0",
                         "2147483647",  "2147483648",  "-2147483648", "-2147483649",
                         "99999999999999999999999", "-99999999999999999999999",
                         "+",           "-",           "",            "x12",
                         "00000000000000000000009", "4294967296", "12/34"};
  for (const char* t : texts) {
    int expected = 0, out = 12345;
    const char* expectedEnd = nullptr;
    const bool ok = tfenrich::parseLeadingInt(t, expected, &expectedEnd);
    const char* end = tfenrich::parseIntPrefix(t, t + std::strlen(t), out);
    ASSERT_EQ(end != nullptr, ok) << "'" << t << "'";
    if (ok) {
      EXPECT_EQ(out, expected) << t;
      EXPECT_EQ(end, expectedEnd) << t;
    }
  }
  const char text[] = "12345";
  int out = 0;
  EXPECT_EQ(tfenrich::parseIntPrefix(text, text + 3, out), text + 3);
  EXPECT_EQ(out, 123);
  EXPECT_EQ(tfenrich::parseIntPrefix(text, text, out), nullptr);
}

}  // namespace

// Bad inputs given to the built tfenrich program, one table row each: the
// row replaces (or removes, or turns into a directory) one input of a small
// valid run and states the exact standard error and exit status.  Every row
// must also end well within its time limit, and a failing row must leave no
// result file behind.  Rows whose file declares far more records than it
// holds run under an address-space limit, so that memory reserved for the
// declared count up front would make them fail.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

#include "vandrel/e2e/BadInputUtil.h"

namespace {

using badinput::Outcome;

const char* const kGene1 =
    "GENE001 LLid=1 orgDBsym=G1 TranscriptId=NM_1 chr=chr1 Location=100 Strand=1 GeneLength=2000 "
    "nExons=2 UpstreamStart=1 UpstreamEnd=999 Exon1Start=1000 Exon1End=1100 Intron1Start=1101 "
    "Intron1End=1500 Exon2Start=1501 Exon2End=1600 Intron2Start=1601 Intron2End=1800 "
    "CdsStart=1050 CdsEnd=2000\n";
const char* const kGene2 =
    "GENE002 LLid=2 orgDBsym=G2 TranscriptId=NM_2 chr=chr2 Location=200 Strand=-1 GeneLength=2100 "
    "nExons=2 UpstreamStart=1 UpstreamEnd=899 Exon1Start=900 Exon1End=1000 Intron1Start=1001 "
    "Intron1End=1400 Exon2Start=1401 Exon2End=1500 Intron2Start=1501 Intron2End=1700 "
    "CdsStart=950 CdsEnd=2100\n";
const char* const kGene3 =
    "GENE003 LLid=3 orgDBsym=G3 TranscriptId=NM_3 chr=chr3 Location=300 Strand=1 GeneLength=1900 "
    "nExons=2 UpstreamStart=1 UpstreamEnd=1099 Exon1Start=1100 Exon1End=1200 Intron1Start=1201 "
    "Intron1End=1400 Exon2Start=1401 Exon2End=1500 Intron2Start=1501 Intron2End=1700 "
    "CdsStart=1150 CdsEnd=1900\n";

const std::string kTFs =
    " E2F_01 ; threshold: 0.86 ; species: human\n"
    " SP1_Q6 ; threshold: 0.83 ; species: mouse\n";

std::string ValidFp() {
  return "2 PWMs:\n" + kTFs + "3 fingerprints:\n" + kGene1 + "950,990/600 -/500\n" + kGene2 +
         "800/400 850,870/700\n" + kGene3 + "-/300 1000/800\n";
}

const char* const kPwms = "E2F_01\nSP1_Q6\n";
const char* const kBg = "GENE001\nGENE002\nGENE003\n";
const char* const kTargets = "GENE001 1\nGENE002 1\n";

// Stands for "the file is a directory" / "the file is absent".
const std::string kDirectory = "\x01<directory>";
const std::string kAbsent = "\x01<absent>";

std::string Numbered(const std::string& prefix, int n, const std::string& suffix) {
  std::string r;
  for (int i = 0; i < n; ++i) r += prefix + std::to_string(i) + suffix + "\n";
  return r;
}

const std::string kBinary = std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\n\0\x89PNG\r\n\x1a\n", 22);

const std::string kFpErr = "ERROR: Problems reading fingerprints from file 'fp.txt'.\n";
const std::string kPwmErr = "ERROR: Problems reading PWM set from file 'pwms.txt'.\n";
const std::string kBgErr = "ERROR: Problems reading BG set from file 'bg.txt'.\n";
const std::string kTarErr = "ERROR: Problems reading target sets from file 'targets.txt'.\n";

struct Row {
  const char* what;
  std::string file;     // the input this row replaces
  std::string content;  // its new content (or kDirectory / kAbsent)
  int status;
  std::string err;      // exact standard error
  bool limitMemory = false;
  std::string extraArgs = "";
};

std::vector<Row> Rows() {
  const std::string fpHead = "2 PWMs:\n" + kTFs;
  return {
      // ---- fingerprints file
      {"fp absent", "fp.txt", kAbsent, 1, "ERROR: Can't read fp file 'fp.txt'.\n" + kFpErr},
      {"fp is a directory", "fp.txt", kDirectory, 1,
       "ERROR: Bad number of TFs (-1) in fp file.\n" + kFpErr},
      {"fp empty", "fp.txt", "", 1, "ERROR: Bad number of TFs (-1) in fp file.\n" + kFpErr},
      {"fp binary garbage", "fp.txt", kBinary, 1,
       "ERROR: Bad number of TFs (-1) in fp file.\n" + kFpErr},
      {"fp TF count not a number", "fp.txt", "two PWMs:\n" + kTFs, 1,
       "ERROR: Bad number of TFs (-1) in fp file.\n" + kFpErr},
      {"fp zero TFs", "fp.txt", "0 PWMs:\n", 1,
       "ERROR: Bad number of TFs (0) in fp file.\n" + kFpErr},
      {"fp negative TF count", "fp.txt", "-2 PWMs:\n" + kTFs, 1,
       "ERROR: Bad number of TFs (-2) in fp file.\n" + kFpErr},
      {"fp 2001 TFs", "fp.txt", "2001 PWMs:\n" + kTFs, 1,
       "ERROR: Bad number of TFs (2001) in fp file.\n" + kFpErr},
      {"fp truncated after the TF count", "fp.txt", "2 PWMs:\n", 1,
       "ERROR: Bad TF id/threshold/species (#0: ) in fp file.\n" + kFpErr},
      {"fp TF record with a wrong keyword", "fp.txt",
       "2 PWMs:\n E2F_01 ; thresh: 0.86 ; species: human\n", 1,
       "ERROR: Bad TF id/threshold/species (#0: E2F_01) in fp file.\n" + kFpErr},
      {"fp TF threshold NaN", "fp.txt",
       "2 PWMs:\n E2F_01 ; threshold: nan ; species: human\n", 1,
       "ERROR: Bad TF id/threshold/species (#0: E2F_01) in fp file.\n" + kFpErr},
      {"fp TF threshold 1e999", "fp.txt",
       "2 PWMs:\n E2F_01 ; threshold: 1e999 ; species: human\n", 1,
       "ERROR: Bad TF id/threshold/species (#0: E2F_01) in fp file.\n" + kFpErr},
      {"fp TF count of billions", "fp.txt", "3000000000 PWMs:\n" + kTFs, 1,
       "ERROR: Bad number of TFs (-1) in fp file.\n" + kFpErr},
      {"fp truncated after the TFs", "fp.txt", fpHead, 1,
       "ERROR: Bad number of promoters (-1) in fp file.\n" + kFpErr},
      {"fp zero promoters", "fp.txt", fpHead + "0 fingerprints:\n", 1,
       "ERROR: Bad number of promoters (0) in fp file.\n" + kFpErr},
      {"fp 40001 promoters", "fp.txt", fpHead + "40001 fingerprints:\n", 1,
       "ERROR: Bad number of promoters (40001) in fp file.\n" + kFpErr},
      {"fp declares 40000 promoters, holds one", "fp.txt",
       fpHead + "40000 fingerprints:\n" + kGene1 + "-/10 -/10\n", 1,
       "ERROR: Bad promoter id (#1: ) in fp file.\n" + kFpErr, true},
      {"fp truncated inside the gene information", "fp.txt",
       fpHead + "1 fingerprints:\nGENE001 LLid=1 orgDBsym=G1\n", 1,
       "ERROR: Can't read gene information of GENE001 in fp file.\n" + kFpErr},
      {"fp gene information not numeric", "fp.txt",
       fpHead + "1 fingerprints:\nGENE001 LLid=1 orgDBsym=G1 TranscriptId=NM_1 chr=chr1 "
                "Location=abc Strand=1\n",
       1, "ERROR: Can't read gene information of GENE001 in fp file.\n" + kFpErr},
      {"fp truncated inside the values", "fp.txt", fpHead + "1 fingerprints:\n" + kGene1 + "-/10\n",
       1, "ERROR: Can't read value #1 in fingerprint of GENE001 in fp file.\n" + kFpErr},
      {"fp value without effective length", "fp.txt",
       fpHead + "1 fingerprints:\n" + kGene1 + "-/10 950\n", 1,
       "ERROR: Can't find effective length for TF #1 in fingerprint of GENE001 in fp file.\n" +
           kFpErr},
      {"fp effective length not a number", "fp.txt",
       fpHead + "1 fingerprints:\n" + kGene1 + "-/10 950/NaN\n", 1,
       "ERROR: Can't read effective length for TF #1 in fingerprint of GENE001 in fp file.\n" +
           kFpErr},
      {"fp hit position not a number", "fp.txt",
       fpHead + "1 fingerprints:\n" + kGene1 + "950,x/10 -/10\n", 1,
       "ERROR: Can't read hit location #1 of TF #0 in fingerprint of GENE001 in fp file.\n" +
           kFpErr},
      {"fp duplicated promoter", "fp.txt",
       fpHead + "2 fingerprints:\n" + kGene1 + "-/10 -/10\n" + kGene1 + "-/10 -/10\n", 1,
       "ERROR: 'GENE001' is already in the set.\nERROR: Couldn't add promoter id (#1: GENE001) to set.\n" + kFpErr},
      {"fp overlong promoter name", "fp.txt",
       fpHead + "1 fingerprints:\n" + std::string(300, 'P') + " LLid=1\n", 1,
       "ERROR: Bad promoter id (#0: " + std::string(200, 'P') + ") in fp file.\n" + kFpErr},
      // ---- PWM-set file
      {"pwm absent", "pwms.txt", kAbsent, 1,
       "ERROR: Can't read PWM-set file 'pwms.txt'.\n" + kPwmErr},
      {"pwm is a directory", "pwms.txt", kDirectory, 1,
       "ERROR: Problems reading PWM-set (line #0).\n" + kPwmErr},
      {"pwm empty", "pwms.txt", "", 1, "ERROR: Given PWM set in file 'pwms.txt' is empty?!\n"},
      {"pwm blank line", "pwms.txt", "E2F_01\n\nSP1_Q6\n", 1,
       "ERROR: Problems reading PWM name from 'pwms.txt' (line #1).\n" + kPwmErr},
      {"pwm more names than the set holds", "pwms.txt", Numbered("TF", 2001, ""), 1,
       "ERROR: Problems adding PWM 'TF2000' to the PWM-set.\n" + kPwmErr},
      // ---- BG-set file
      {"bg absent", "bg.txt", kAbsent, 1, "ERROR: Can't read BG-set file 'bg.txt'.\n" + kBgErr},
      {"bg empty", "bg.txt", "", 1, "ERROR: Given BG set in file 'bg.txt' is empty?!\n"},
      {"bg binary garbage", "bg.txt", kBinary, 1,
       "ERROR: Problems reading BG promoter name from 'bg.txt' (line #1).\n" + kBgErr},
      // ---- target-sets file
      {"targets absent", "targets.txt", kAbsent, 1,
       "ERROR: Can't read target-sets file 'targets.txt'.\n" + kTarErr},
      {"targets empty first line", "targets.txt", "\nGENE001 1\n", 1,
       "ERROR: Problems reading promoter name and/or set id (line #0).\n" + kTarErr},
      {"targets set id 0", "targets.txt", "GENE001 1\nGENE002 0\n", 1,
       "ERROR: Target-set id may not be 0 (line #1).\n" + kTarErr},
      {"targets more sets than allowed", "targets.txt", Numbered("GENE001 ", 2002, "").substr(10), 1,
       "ERROR: Too many target-sets.\nERROR: Problems adding promoter #0 (GENE001) to target-set "
       "2001.\n" + kTarErr},
      // ---- command line
      {"maxHits not a number", "", "", 1,
       "ERROR: Bad value 'many' for parameter -maxHits\n"
       "ERROR: Problems analyzing command-line parameters.\n",
       false, "-maxHits many"},
      {"result file in a missing folder", "", "", 1,
       "ERROR: Can't write to output file 'no/such/folder/result.txt'.\n"
       "ERROR: Problems finding enriched TFs in target-sets.\n",
       false, "-outFile no/such/folder/result.txt"},
  };
}

void PrintTo(const Row& row, std::ostream* os) { *os << row.what; }

class TfenrichBadInput : public ::testing::TestWithParam<Row> {};

TEST_P(TfenrichBadInput, EndsWithItsMessageAndNoResult) {
  const Row& row = GetParam();
  badinput::Scratch dir("tfenrich");
  ASSERT_TRUE(dir.Ok());
  const std::vector<std::string> inputs = {"fp.txt", "pwms.txt", "bg.txt", "targets.txt"};
  badinput::Spit(dir / "fp.txt", ValidFp());
  badinput::Spit(dir / "pwms.txt", kPwms);
  badinput::Spit(dir / "bg.txt", kBg);
  badinput::Spit(dir / "targets.txt", kTargets);
  if (!row.file.empty()) {
    badinput::fs::remove(dir / row.file);
    if (row.content == kDirectory)
      badinput::fs::create_directory(dir / row.file);
    else if (row.content != kAbsent)
      badinput::Spit(dir / row.file, row.content);
  }
  const std::string args =
      "-pwmFile pwms.txt -bgFile bg.txt -fpFile fp.txt -tarFile targets.txt -outFile result.txt " +
      row.extraArgs;
  const Outcome o = badinput::RunBounded(dir.Path(), TFENRICH_BIN, args,
                                         row.limitMemory ? 1000000 : 0);
  EXPECT_NE(o.status, badinput::kTimedOut) << "did not end in time";
  EXPECT_EQ(o.status, row.status);
  EXPECT_EQ(o.err, row.err);
  // Inputs are read before anything is written: a failed run leaves no
  // result file at all.
  EXPECT_FALSE(badinput::fs::exists(dir / "result.txt"));
  EXPECT_EQ(o.out.find("\nDone.\n"), std::string::npos);
}

// Variations a careful reader accepts: they must give the run that the
// plain input gives, byte for byte.
struct Variation {
  const char* what;
  std::string file;
  std::string content;
};

std::string Crlf(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

TEST(TfenrichAcceptedInput, VariationsGiveThePlainRun) {
  const std::vector<Variation> variations = {
      {"fp with CRLF line ends", "fp.txt", Crlf(ValidFp())},
      {"pwm with CRLF line ends", "pwms.txt", Crlf(kPwms)},
      {"bg with CRLF line ends", "bg.txt", Crlf(kBg)},
      {"targets with CRLF line ends", "targets.txt", Crlf(kTargets)},
  };
  auto run = [](const Variation* v, std::string& result) {
    badinput::Scratch dir("tfenrich_ok");
    badinput::Spit(dir / "fp.txt", ValidFp());
    badinput::Spit(dir / "pwms.txt", kPwms);
    badinput::Spit(dir / "bg.txt", kBg);
    badinput::Spit(dir / "targets.txt", kTargets);
    if (v != nullptr) badinput::Spit(dir / v->file, v->content);
    const Outcome o = badinput::RunBounded(
        dir.Path(), TFENRICH_BIN,
        "-pwmFile pwms.txt -bgFile bg.txt -fpFile fp.txt -tarFile targets.txt -outFile "
        "result.txt -pval 1");
    result = badinput::Slurp(dir / "result.txt");
    return o;
  };
  std::string plainResult;
  const Outcome plain = run(nullptr, plainResult);
  ASSERT_EQ(plain.status, 0) << plain.err;
  ASSERT_FALSE(plainResult.empty());
  for (const Variation& v : variations) {
    SCOPED_TRACE(v.what);
    std::string result;
    const Outcome o = run(&v, result);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, plain.err);
    EXPECT_EQ(o.out, plain.out);
    EXPECT_EQ(result, plainResult);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, TfenrichBadInput, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

}  // namespace

// The command line, validation order, settings report and run flow, run in
// process with the message and error streams captured.
#include "tfenrich/Program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"
#include "tfenrich/Flags.h"

namespace {

const char* const kGene =
    "LLid=1 orgDBsym=S TranscriptId=T chr=1 Location=1 Strand=1 GeneLength=900 nExons=1 "
    "UpstreamStart=1 UpstreamEnd=499 Exon1Start=500 Exon1End=700 Intron1Start=701 "
    "Intron1End=800 Exon2Start=801 Exon2End=850 Intron2Start=851 Intron2End=860 CdsStart=550 "
    "CdsEnd=900";

class ProgramRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string fp = "2 PWMs:\n A ; threshold: 0.9 ; species: human\n B ; threshold: 0.8 ; "
                     "species: mouse\n4 fingerprints:\n";
    const char* words[4] = {"100,200,600/300 -/300", "100/300 -/300", "-/300 50/300",
                            "-/300 -/300"};
    for (int p = 0; p < 4; ++p) {
      fp += "P" + std::to_string(p) + " " + kGene + "\n" + words[p] + "\n";
    }
    fpPath = dir.write("fp.txt", fp);
    tarPath = dir.write("tar.txt", "P0 2\nP1 2\nP2 5\n");
  }
  // Runs with program name "tfenrich" and the given arguments.
  int run(std::vector<std::string> args) {
    args.insert(args.begin(), "tfenrich");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    tftest::Capture capture;
    const int code = tfenrich::runProgram(static_cast<int>(argv.size()), argv.data());
    out = capture.out();
    err = capture.err();
    return code;
  }
  std::vector<std::string> base() const { return {"-fpFile", fpPath, "-tarFile", tarPath}; }
  std::vector<std::string> with(std::vector<std::string> extra) const {
    std::vector<std::string> args = base();
    args.insert(args.end(), extra.begin(), extra.end());
    return args;
  }
  static std::string usage() {
    tftest::Capture capture;
    tfenrich::printUsage("tfenrich");
    return capture.out();
  }
  static std::string line(const std::string& text, const std::string& start) {
    const std::string::size_type at = text.find("\n" + start);
    if (at == std::string::npos) return "";
    return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
  }

  tftest::TempDir dir;
  std::string fpPath, tarPath, out, err;
};

TEST_F(ProgramRun, UsageTextIsPinned) {
  EXPECT_EQ(usage(), tftest::readFile(std::string(TEST_DATA_DIR) + "/tfenrich/usage.txt"));
}

TEST_F(ProgramRun, CompleteRunScreen) {
  ASSERT_EQ(run(with({"-hitsFrom", "-500", "-hitsTo", "0", "-pval", "0.7", "-tests", "hg",
                      "-outFile", dir.file("r.txt")})),
            0);
  EXPECT_EQ(err, "");
  // Range -500...0 around TSS 500 drops position 600; HG over 4 promoters:
  // TF A weights {2,1,0,0}, set 2 = {P0,P1} total 3: C(2,2)/C(4,2) = 1/6.
  EXPECT_EQ(out,
            "tfenrich (version 2.0)\n"
            "=========================================\n"
            "PWMs file ............................... [none]\n"
            "BG file ................................. [none]\n"
            "Fingerprints file ....................... " + fpPath + "\n" +
            "Target-sets file ........................ " + tarPath + "\n" +
            "Output file ............................. " + dir.file("r.txt") + "\n" +
            "Consider hits in the range .............. -500...0 (relative to TSS)\n"
            "Consider hits in regions ................ +all\n"
            "Max. number of hits per promoter ........ 9\n"
            "Enrichment tests ........................ hg \n"
            "Max. number of hits in HG score ......... 3\n"
            "Max. random subsets in empirical score .. 100000\n"
            "Scores multiple-tests fix method ........ none\n"
            "Printing results with p-value below ..... 0.7000000\n"
            "Halvorne mode ........................... Off\n"
            "\n"
            "PWMs file not supplied. All PWMs in fp's file will be used.\n"
            "BG file not supplied. BG set will be determined from fp's file.\n"
            "Read fingerprints of 4 promoters and 2 TFs from file '" + fpPath + "'.\n" +
            "Effective BG set is of size 4.\n"
            "Considering up to 9 hits per promoter.\n"
            "Read 2 target-sets from file '" + tarPath + "'.\n" +
            "  Target-set 2 has 2 promoters.\n"
            "  Target-set 5 has 1 promoters.\n"
            "\n"
            "=> TF #0: A(human)\n"
            "   TF A(human) , Target-set 2: HG = 1.67e-001 ;\n"
            "=> TF #1: B(mouse)\n"
            "   TF B(mouse) , Target-set 5: HG = 2.50e-001 ;\n"
            "\nDone.\n");
  EXPECT_EQ(tftest::readFile(dir.file("r.txt")),
            "<target-set> <PWM> <p-value> <target-set-stats: hits,coverage,size> "
            "<BG-set-stats: hits,coverage,size>\n"
            "2\tA(human)            \t1.67e-001\t3,2,2\t3,2,4\tP0 P1 \n"
            "5\tA(human)            \t1.00e+000\t0,0,1\t3,2,4\n"
            "2\tB(mouse)            \t1.00e+000\t0,0,2\t1,1,4\n"
            "5\tB(mouse)            \t2.50e-001\t1,1,1\t1,1,4\tP2 \n");
}

TEST_F(ProgramRun, StartsThatEndBeforeTheReport) {
  const std::string u = usage();
  const std::string analyzing = "ERROR: Problems analyzing command-line parameters.\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
    bool usage;
  } cases[] = {
      {{"-help"}, "", true},
      {{"-h", "-fpFile", "x", "-tarFile", "y"}, "", true},
      {{"-fpFile", "x"}, "", true},
      {{"-tarFile", "y", "-fpFile", ""}, "", true},
      {with({"-pval"}), "ERROR: Missing value for parameter -pval\n" + analyzing, true},
      {with({"-maxHits", "abc"}), "ERROR: Bad value 'abc' for parameter -maxHits\n" + analyzing,
       true},
      {with({"-maxHits", "5x"}), "ERROR: Bad value '5x' for parameter -maxHits\n" + analyzing,
       true},
      {with({"-hitsFrom", "99999999999", "-hitsTo", "1"}),
       "ERROR: Bad value '99999999999' for parameter -hitsFrom\n" + analyzing, true},
      {with({"-pval", "low"}), "ERROR: Bad value 'low' for parameter -pval\n" + analyzing, true},
      {with({"-outFile", std::string(200, 'o')}),
       "ERROR: Value of parameter -outFile is too long (max. 199 characters).\n" + analyzing,
       true},
      {with({"-tests", std::string(100, 'h')}),
       "ERROR: Value of parameter -tests is too long (max. 99 characters).\n" + analyzing, true},
      {with({"-hitsFrom", "-500"}),
       "ERROR: You may not specify only one of 'hitsFrom' and 'hitsTo'.\n", true},
      {with({"-hitsTo", "5"}), "ERROR: You may not specify only one of 'hitsFrom' and 'hitsTo'.\n",
       true},
      {with({"-halvorne", "-maxHits", "1"}),
       "ERROR: 'hgMaxHits' (2) cannot be larger than 'maxHits' (1).\n", false},
      {with({"-hgMaxHits", "3", "-maxHits", "2"}),
       "ERROR: 'hgMaxHits' (3) cannot be larger than 'maxHits' (2).\n", false},
      {with({"-hitsRegions", "+bogus"}),
       "ERROR: Unknown region 'bogus'.\nERROR: Problems setting location information.\n", false},
      {with({"-hitsRegions", "cds"}),
       "ERROR: Each region must start with '+' (use) or '-' (ignore).\n"
       "ERROR: Problems setting location information.\n",
       false},
      {with({"-fix", "Bonf"}), "ERROR: Bad 'fix' value ('Bonf').\n", true},
      {with({"-fix", ""}), "ERROR: Bad 'fix' value ('').\n", true},
      {with({"-tests", "hg,foo"}), "ERROR: Unknown test 'foo'.\n", false},
      {with({"-tests", "HG"}), "ERROR: Unknown test 'HG'.\n", false},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a.substr(0, 20) + " ";
    EXPECT_EQ(run(c.args), 1) << shown;
    EXPECT_EQ(err, c.err) << shown;
    EXPECT_EQ(out, c.usage ? u : "") << shown;
  }
  EXPECT_EQ(run({}), 1);
  EXPECT_EQ(err, "ERROR: No command-line parameters.\n");
  EXPECT_EQ(out, "");
}

TEST_F(ProgramRun, ReportReflectsTheFlags) {
  const struct {
    std::vector<std::string> args;
    std::string start, expected;  // a report line, or "" for a line that must be absent
  } cases[] = {
      {with({"-maxHits", "4", "-maxHits", "6"}), "Max. number of hits per promoter",
       "Max. number of hits per promoter ........ 6"},
      {with({"-noSuchFlag", "-maxHits", "5"}), "Max. number of hits per promoter",
       "Max. number of hits per promoter ........ 5"},
      {with({"-halvorne", "-tests", "emp", "-hgMaxHits", "3"}), "Enrichment tests",
       "Enrichment tests ........................ hg "},
      {with({"-halvorne", "-tests", "emp", "-hgMaxHits", "3"}), "Max. number of hits in HG",
       "Max. number of hits in HG score ......... 2"},
      {with({"-halvorne"}), "Halvorne mode", "Halvorne mode ........................... On"},
      {with({"-tests", "hg,emp"}), "Enrichment tests",
       "Enrichment tests ........................ hg emp "},
      {with({"-tests", "emp"}), "Enrichment tests",
       "Enrichment tests ........................ emp "},
      {with({"-tests", ""}), "Enrichment tests", "Enrichment tests ........................ "},
      {with({"-tests", ","}), "Enrichment tests", "Enrichment tests ........................ "},
      {with({"-fix", "bonf"}), "Scores multiple-tests",
       "Scores multiple-tests fix method ........ bonferroni"},
      {with({"-fix", "bonferroni"}), "Scores multiple-tests",
       "Scores multiple-tests fix method ........ bonferroni"},
      {with({"-hitsRegions", ""}), "Consider hits in regions", ""},
      {with({"-hitsRegions", "+upstream,-cds"}), "Consider hits in regions",
       "Consider hits in regions ................ +upstream,-cds"},
      {with({"-hitsFrom", "-5", "-hitsTo", "7"}), "Consider hits in the range",
       "Consider hits in the range .............. -5...7 (relative to TSS)"},
      {base(), "Consider hits in the range", ""},
      {with({"-pval", "1e-3"}), "Printing results",
       "Printing results with p-value below ..... 0.0010000"},
      {with({"-empMaxSets", "5"}), "Max. random subsets",
       "Max. random subsets in empirical score .. 5"},
      {with({"-pwmFile", ""}), "PWMs file", "PWMs file ............................... [none]"},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += a.substr(0, 20) + " ";
    EXPECT_EQ(run(c.args), 0) << shown << err;
    EXPECT_EQ(line(out, c.start), c.expected) << shown;
  }
}

TEST_F(ProgramRun, HalvorneRunsTheHgTestOnly) {
  ASSERT_EQ(run(with({"-halvorne", "-tests", "emp", "-pval", "1.1"})), 0);
  EXPECT_NE(out.find("   TF A(human) , Target-set 2: HG = 1.67e-001 ;\n"), std::string::npos)
      << out;
  EXPECT_EQ(out.find("Emp ="), std::string::npos);
}

TEST_F(ProgramRun, Redirection) {
  const std::string outFile = dir.file("out.txt"), errFile = dir.file("err.txt");
  ASSERT_EQ(run(with({"-stdout", outFile, "-stderr", errFile, "-tarFile", dir.write("t2.txt", "P0 1\nQ 1\n")})), 0);
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
  const std::string text = tftest::readFile(outFile);
  EXPECT_NE(text.find("Halvorne mode ........................... Off\n"
                      "Stdout redirected to file ............... " + outFile + "\n" +
                      "Stderr redirected to file ............... " + errFile + "\n\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("=> TF #1: B(mouse)\n"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 7), "\nDone.\n");
  EXPECT_EQ(tftest::readFile(errFile),
            "WARNING: Total of 1 promoters in target-sets were not found in BG set and "
            "ignored.\n");

  // Usage after redirection goes to the file.
  ASSERT_EQ(run({"-help", "-stdout", outFile}), 1);
  EXPECT_EQ(out, "");
  EXPECT_EQ(tftest::readFile(outFile), usage());

  // One file for both streams keeps both.
  const std::string both = dir.file("both.txt");
  ASSERT_EQ(run(with({"-stdout", both, "-stderr", both, "-tarFile", dir.write("t3.txt", "Q 1\nP1 1\n")})), 0);
  const std::string mixed = tftest::readFile(both);
  EXPECT_NE(mixed.find("WARNING: Total of 1 promoters"), std::string::npos);
  EXPECT_NE(mixed.find("\nDone.\n"), std::string::npos);

  const std::string bad = dir.file("no/dir/x.txt");
  EXPECT_EQ(run(with({"-stdout", bad})), 1);
  EXPECT_EQ(err, "ERROR: Can't write to stdout file '" + bad + "'.\n");
  EXPECT_EQ(run(with({"-stderr", bad})), 1);
  EXPECT_EQ(err, "ERROR: Can't write to stderr file '" + bad + "'.\n");
}

TEST_F(ProgramRun, InputFileFailures) {
  const std::string missing = dir.file("missing.txt");
  const std::string empty = dir.write("empty.txt", "");
  const std::string pwms = dir.write("pwms.txt", "B\nB\n");
  const std::string bg = dir.write("bg.txt", "P1\nP2\nP3\nP1\n");
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {with({"-pwmFile", missing}), "ERROR: Can't read PWM-set file '" + missing +
                                        "'.\nERROR: Problems reading PWM set from file '" +
                                        missing + "'.\n"},
      {with({"-pwmFile", empty}), "ERROR: Given PWM set in file '" + empty + "' is empty?!\n"},
      {with({"-bgFile", missing}), "ERROR: Can't read BG-set file '" + missing +
                                       "'.\nERROR: Problems reading BG set from file '" +
                                       missing + "'.\n"},
      {with({"-bgFile", empty}), "ERROR: Given BG set in file '" + empty + "' is empty?!\n"},
      {{"-fpFile", missing, "-tarFile", tarPath},
       "ERROR: Can't read fp file '" + missing +
           "'.\nERROR: Problems reading fingerprints from file '" + missing + "'.\n"},
      {{"-fpFile", fpPath, "-tarFile", missing},
       "ERROR: Can't read target-sets file '" + missing +
           "'.\nERROR: Problems reading target sets from file '" + missing + "'.\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.args), 1) << c.err;
    EXPECT_EQ(err, c.err);
    EXPECT_EQ(out.find("Done."), std::string::npos);
  }
  // Filters: the PWM set keeps TF B only, the BG set drops P0.
  ASSERT_EQ(run(with({"-pwmFile", pwms, "-bgFile", bg})), 0);
  EXPECT_NE(out.find("Read 2 PWMs from '" + pwms + "'.\n"
                     "Read 4 BG promoters from '" + bg + "'.\n"
                     "Read fingerprints of 3 promoters and 1 TFs from file '"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Effective BG set is of size 3.\n"), std::string::npos);
  EXPECT_NE(out.find("=> TF #0: B(mouse)\n"), std::string::npos);
  EXPECT_EQ(err, "WARNING: Total of 1 promoters in target-sets were not found in BG set and ignored.\n");
}

TEST(ParseFlags, DefaultsAndPresence) {
  tfenrich::Settings s;
  s.hitsRegions = "stale";
  const auto table = tfenrich::makeFlagTable(s);
  const char* args[] = {"-stdout", "my file.txt", "-hitsRegions", "  +cds  x", "-tests", " "};
  ASSERT_TRUE(tfenrich::parseFlags(6, args, table));
  EXPECT_EQ(s.hitsFrom, -999999);
  EXPECT_EQ(s.hitsTo, 999999);
  EXPECT_FALSE(s.hasHitsFrom);
  EXPECT_EQ(s.maxHits, 9);
  EXPECT_EQ(s.fix, "none");
  EXPECT_DOUBLE_EQ(s.pValue, 0.05);
  EXPECT_EQ(s.hg.limit, 3);
  EXPECT_EQ(s.emp.limit, 100000);
  EXPECT_EQ(s.pwmFile, "");
  EXPECT_TRUE(s.hasStdout);
  EXPECT_EQ(s.stdoutFile, "my file.txt");  // whole text, blank included
  EXPECT_EQ(s.hitsRegions, "+cds");        // first word only
  EXPECT_EQ(s.tests, "");                  // no word: left as it was
  EXPECT_FALSE(s.hasStderr);
  EXPECT_FALSE(s.halvorne);
}

}  // namespace

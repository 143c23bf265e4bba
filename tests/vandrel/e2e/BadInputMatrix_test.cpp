// Bad inputs given to the built clustering program, one table row each:
// parameters file, `.orig`, `.sim` and `.distrib` files that are empty,
// truncated, mistyped, out of range, binary or directories.  Every row
// states the exact standard error: the failure line, preceded by the extra
// line some input errors print, and followed (with VANDREL_VERBOSE=1) by the
// thrown text that names the reason.  Every row must end well within its
// time limit with status 1 and leave no solution or cache file behind (only
// the analysis log may be created).  Rows whose file declares far more
// records or values than it holds run under an address-space limit, so
// that memory reserved for the declared count up front would fail them.
#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "vandrel/e2e/BadInputUtil.h"

namespace {

using badinput::Outcome;

const std::string kFailure = "Zelk running failed due to an algorithm internal error\n";

std::string Params(const std::string& type, const std::string& simType = "CORRELATION") {
  std::string p = "DATA_TYPE\r\n" + type + "\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nout\r\n";
  if (type == "FP") p += "SIMILARITY_TYPE\r\n" + simType + "\r\n";
  return p;
}

// Twelve genes in two groups, six values each.
std::string ValidOrig() {
  std::string text = "12 6\n";
  for (int i = 0; i < 12; ++i) {
    text += "gene" + std::to_string(i);
    for (int j = 0; j < 6; ++j) {
      const int base = (i < 6) == (j % 2 == 0) ? 8 : 2;
      text += " " + std::to_string(base + (i * 7 + j * 5) % 10 / 10.0).substr(0, 4);
    }
    text += "\n";
  }
  return text;
}

std::string SimHead(int names) {
  std::string text = "NAMES:\n";
  for (int i = 0; i < names; ++i) text += "g" + std::to_string(i) + "\n";
  return text + "VALUES:\n";
}

const std::string kBinary =
    std::string("\x7f" "ELF\x02\x01\x01\0\0\0\xff\xfe\n\0\x89PNG\r\n\x1a\n\x01\x02", 24);

const std::string kValidDistrib =
    "P_MATES\t0.1\nNormDistrib\nEXP\t0.8\nSTD\t0.1\nNormDistrib\nEXP\t0\nSTD\t0.3\n";

// Stands for "a directory of this name".
const std::string kDirectory = "\x01<directory>";

struct Row {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;
  std::string extraLine;  // printed before the failure line, or ""
  std::string thrown;     // the reason shown with VANDREL_VERBOSE=1
  bool limitMemory = false;
  std::string args = "params.txt";
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.what; }

std::vector<Row> Rows() {
  const std::string fp = Params("FP");
  const std::string sd = Params("SD");
  const std::string noOrig = "no .orig file available at given prefix - exiting program\n";
  const std::string noSim = "no .sim file available at given prefix - exiting program\n";
  const std::string readParm = "CProgramManager::ReadParm - illegal file format";
  const std::string initParms = "CProgramManager::InitParms - illegal file format";
  const std::string origFormat = "CFPData constructor - input file format is illegal";
  const std::string simFormat = "CSDDataFileAnalyzer constructor - illegal file format";
  // Indices are checked as the analyzer first reads the values.
  const std::string simIndex = "CSDDataFileAnalyzer constructor - name index is out of scope";
  const std::string simIndexLine = "illegal element index in similarity data file\n";
  const std::string orig = ValidOrig();
  return {
      // ---- parameters file
      {"params absent", {}, "", "CProgramManager::InitParms - can't open parameters file", false,
       "nosuch.txt"},
      {"params is a directory", {{"params.txt", kDirectory}}, "", readParm},
      {"params empty", {{"params.txt", ""}}, "", readParm},
      {"params binary garbage", {{"params.txt", kBinary}}, "", readParm},
      {"params wrong first keyword", {{"params.txt", "DATA_TYP\r\nFP\r\n"}}, "", readParm},
      {"params truncated after a key", {{"params.txt", "DATA_TYPE\r\nFP\r\nINPUT_FILES_PREFIX\r\n"}},
       "", readParm},
      {"params entries out of order",
       {{"params.txt", "DATA_TYPE\r\nFP\r\nOUTPUT_FILE_PREFIX\r\nout\r\nINPUT_FILES_PREFIX\r\nin\r\n"}},
       "", readParm},
      {"params value line without its extra character",
       {{"params.txt", "DATA_TYPE\nSD\nINPUT_FILES_PREFIX\nin\nOUTPUT_FILE_PREFIX\nout\n"}},
       "illegal data type name\n", "CProgramManager::InitParms - illegal data type (not SD or FP)"},
      {"params unknown data type", {{"params.txt", Params("XX")}}, "illegal data type name\n",
       "CProgramManager::InitParms - illegal data type (not SD or FP)"},
      {"params unknown similarity type", {{"params.txt", Params("FP", "correlation")}},
       "Illegal similarity type name - exiting program\n",
       "CProgramManager::InitSimHandler - illegal similarity type name"},
      {"params homogeneity NaN", {{"params.txt", fp + "HOMOGENEITY\r\nnan\r\n"}}, "", initParms},
      {"params homogeneity 1e999", {{"params.txt", fp + "HOMOGENEITY\r\n1e999\r\n"}}, "", initParms},
      {"params homogeneity missing", {{"params.txt", fp + "HOMOGENEITY\r\n"}}, "", initParms},
      {"params misspelt homogeneity", {{"params.txt", fp + "HOMOGENITY\r\n0.5\r\n"}}, "", initParms},
      {"params overlong key line", {{"params.txt", std::string(1 << 20, 'D') + "\r\nFP\r\n"}}, "",
       readParm},
      {"params output folder missing",
       {{"params.txt",
         "DATA_TYPE\r\nSD\r\nINPUT_FILES_PREFIX\r\nin\r\nOUTPUT_FILE_PREFIX\r\nno/such/out\r\n"}},
       "", "CAnalysisFile::SetFile - problems opening file"},
      // ---- fingerprints (.orig)
      {"orig absent", {{"params.txt", fp}}, noOrig,
       "CFPDataFileAnalyzer constructor - no input file at given prefix"},
      {"orig is a directory", {{"params.txt", fp}, {"in.orig", kDirectory}}, "", origFormat},
      {"orig empty", {{"params.txt", fp}, {"in.orig", ""}}, "", origFormat},
      {"orig binary garbage", {{"params.txt", fp}, {"in.orig", kBinary}}, "", origFormat},
      {"orig header not numeric", {{"params.txt", fp}, {"in.orig", "twelve 6\n" + orig.substr(5)}},
       "", origFormat},
      {"orig negative count", {{"params.txt", fp}, {"in.orig", "-12 6\n" + orig.substr(5)}}, "",
       origFormat},
      {"orig count beyond 32 bits", {{"params.txt", fp}, {"in.orig", "99999999999 6\n" + orig.substr(5)}},
       "", origFormat},
      {"orig declares billions of records",
       {{"params.txt", fp}, {"in.orig", "4000000000 6\n" + orig.substr(5)}}, "",
       "CFPData constructor - number of fingerprints does not match declared number", true},
      {"orig declares billions of values per record",
       {{"params.txt", fp}, {"in.orig", "12 4000000000\n" + orig.substr(5)}}, "", origFormat, true},
      {"orig truncated inside a record",
       {{"params.txt", fp}, {"in.orig", orig.substr(0, orig.size() - 8)}}, "", origFormat},
      {"orig fewer records than declared", {{"params.txt", fp}, {"in.orig", "13 6\n" + orig.substr(5)}},
       "", "CFPData constructor - number of fingerprints does not match declared number"},
      {"orig value NaN", {{"params.txt", fp}, {"in.orig", "1 3\ng nan 1 2\n"}}, "", origFormat},
      {"orig value 1e999", {{"params.txt", fp}, {"in.orig", "1 3\ng 1e999 1 2\n"}}, "", origFormat},
      {"orig value not a number", {{"params.txt", fp}, {"in.orig", "2 3\ng 1 2 3\nh 1 x 3\n"}}, "",
       origFormat},
      // ---- similarity values (.sim)
      {"sim absent", {{"params.txt", sd}}, noSim,
       "CSDDataFileAnalyzer constructor - no input file at given prefix"},
      {"sim empty", {{"params.txt", sd}, {"in.sim", ""}}, "", simFormat},
      {"sim binary garbage", {{"params.txt", sd}, {"in.sim", kBinary}}, "", simFormat},
      {"sim wrong first keyword", {{"params.txt", sd}, {"in.sim", "NAME:\na\nb\nVALUES:\n0 1 0.5\n"}},
       "", simFormat},
      {"sim without values section", {{"params.txt", sd}, {"in.sim", "NAMES:\na\nb\nc\n"}}, "",
       "CSDDataFileAnalyzer constructor - no values in file"},
      {"sim element lines split in two runs",
       {{"params.txt", sd},
        {"in.sim", SimHead(4) + "0\t1\t0.9\n1\t2\t0.8\n0\t3\t0.7\n"}},
       "", "CSDDataFileAnalyzer constructor - an element with more than one starting points in file"},
      {"sim index beyond the names",
       {{"params.txt", sd}, {"in.sim", SimHead(4) + "0\t1\t0.9\n1\t7\t0.8\n"}}, simIndexLine,
       simIndex},
      {"sim index beyond 32 bits",
       {{"params.txt", sd}, {"in.sim", SimHead(4) + "0\t1\t0.9\n1\t99999999999\t0.8\n"}},
       simIndexLine, simIndex},
      // ---- model (.distrib) beside fingerprints
      {"distrib empty", {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", ""}}, "",
       "CSimDistrib constructor - problems reading file"},
      {"distrib is a directory", {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", kDirectory}},
       "", "CSimDistrib constructor - problems reading file"},
      {"distrib binary garbage", {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", kBinary}},
       "", "CSimDistrib constructor - illegal file format"},
      {"distrib wrong first keyword",
       {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", "P_MATE" + kValidDistrib.substr(7)}},
       "", "CSimDistrib constructor - illegal file format"},
      {"distrib mates probability NaN",
       {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", "P_MATES\tnan\n" + kValidDistrib.substr(12)}},
       "", "CSimDistrib constructor - problems reading file"},
      {"distrib mates probability 1",
       {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", "P_MATES\t1\n" + kValidDistrib.substr(12)}},
       "", "CSimDistrib::CalcEvalPart - illegal value for mates prob"},
      {"distrib unknown distribution",
       {{"params.txt", fp}, {"in.orig", orig},
        {"in.co.distrib", "P_MATES\t0.1\nGammaDistrib\nEXP\t0.8\nSTD\t0.1\n"}},
       "", "CSimDistrib::AllocateDistrib - unknown distrib type"},
      {"distrib truncated", {{"params.txt", fp}, {"in.orig", orig}, {"in.co.distrib", kValidDistrib.substr(0, 40)}},
       "", "CSimDistrib::AllocateDistrib - problems reading from file"},
      {"distrib mean 1e999",
       {{"params.txt", fp}, {"in.orig", orig},
        {"in.co.distrib", "P_MATES\t0.1\nNormDistrib\nEXP\t1e999\nSTD\t0.1\n"}},
       "", "CSimDistrib::AllocateDistrib - problems reading from file"},
  };
}

class VandrelBadInput : public ::testing::TestWithParam<Row> {};

TEST_P(VandrelBadInput, EndsWithItsMessageAndNoResult) {
  const Row& row = GetParam();
  badinput::Scratch dir("vandrel");
  ASSERT_TRUE(dir.Ok());
  std::vector<std::string> inputs;
  for (const auto& f : row.files) {
    inputs.push_back(f.first);
    if (f.second == kDirectory)
      badinput::fs::create_directory(dir / f.first);
    else
      badinput::Spit(dir / f.first, f.second);
  }
  const long memory = row.limitMemory ? 1000000 : 0;
  const Outcome quiet = badinput::RunBounded(dir.Path(), VANDREL_BIN, row.args, memory, 10,
                                             "-u VANDREL_VERBOSE");
  EXPECT_NE(quiet.status, badinput::kTimedOut) << "did not end in time";
  EXPECT_EQ(quiet.status, 1);
  EXPECT_EQ(quiet.err, row.extraLine + kFailure);

  const Outcome verbose = badinput::RunBounded(dir.Path(), VANDREL_BIN, row.args, memory, 10,
                                               "VANDREL_VERBOSE=1");
  EXPECT_EQ(verbose.status, 1);
  EXPECT_EQ(verbose.err, row.extraLine + kFailure + row.thrown + "\n");

  // Nothing but the analysis log may have been created.
  for (const std::string& name : badinput::NewFiles(dir.Path(), inputs))
    EXPECT_EQ(name, "out.anl") << "left behind by a failed run";
}

std::string Crlf(const std::string& text) {
  std::string r;
  for (char c : text) {
    if (c == '\n') r += '\r';
    r += c;
  }
  return r;
}

// Replaces every occurrence of `from` in `text` by `to`.
std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// n genes in three groups of similar profiles over ten conditions (enough
// for the model fit to find the groups), values from a small linear
// congruential sequence.
std::string GroupedOrig(int n) {
  std::string text = std::to_string(n) + " 10\n";
  unsigned state = 3;
  for (int i = 0; i < n; ++i) {
    text += "gene" + std::to_string(i);
    for (int j = 0; j < 10; ++j) {
      state = state * 1664525u + 1013904223u;
      const double base = (j % 3 == i % 3) ? 9.0 : 1.0;
      text += " " + std::to_string(base + static_cast<double>((state >> 10) % 1000) / 500.0);
    }
    text += "\n";
  }
  return text;
}

// Input variations that are not errors: each must give the solution of the
// plain input (names mapped where the variation renames genes).
TEST(VandrelAcceptedInput, VariationsGiveThePlainSolution) {
  const int n = 150;
  std::string sim = SimHead(n);
  unsigned state = 5;
  for (int i = 0; i < n; ++i)
    for (int j = i + 1; j < n; ++j) {
      state = state * 1664525u + 1013904223u;
      const double base = (i % 3) == (j % 3) ? 0.7 : 0.1;
      sim += std::to_string(i) + "\t" + std::to_string(j) + "\t" +
             std::to_string(base + static_cast<double>((state >> 10) % 1000) / 2500.0) + "\n";
    }
  const std::string orig = GroupedOrig(n);
  const std::string longName(5000, 'N');
  struct Variation {
    const char* what;
    std::string type;
    std::string plain;
    std::string varied;
    std::string from, to;  // name change of the variation, if any
  };
  const std::vector<Variation> variations = {
      {"orig with CRLF line ends", "FP", orig, Crlf(orig), "", ""},
      {"sim with CRLF line ends", "SD", sim, Crlf(sim), "", ""},
      {"orig with an overlong name", "FP", orig, Replace(orig, "gene3 ", longName + " "),
       "gene3\t", longName + "\t"},
      {"orig with a duplicated name", "FP", orig, Replace(orig, "gene3 ", "gene4 "),
       "gene3\t", "gene4\t"},
  };
  for (const Variation& v : variations) {
    SCOPED_TRACE(v.what);
    std::string solutions[2];
    for (int k = 0; k < 2; ++k) {
      badinput::Scratch dir("vandrel_ok");
      badinput::Spit(dir / "params.txt", Params(v.type));
      badinput::Spit(dir / (v.type == "FP" ? "in.orig" : "in.sim"), k == 0 ? v.plain : v.varied);
      const Outcome o = badinput::RunBounded(dir.Path(), VANDREL_BIN, "params.txt", 0, 60);
      EXPECT_EQ(o.status, 0) << o.err;
      EXPECT_EQ(o.err, "");
      solutions[k] = badinput::Slurp(dir / "out.res.sol");
    }
    // The plain input is clustered (not all singletons), so the comparison
    // covers real cluster numbers.
    ASSERT_NE(solutions[0].find("\t1\n"), std::string::npos);
    EXPECT_EQ(v.from.empty() ? solutions[0] : Replace(solutions[0], v.from, v.to), solutions[1]);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, VandrelBadInput, ::testing::ValuesIn(Rows()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name;
                           for (const char* p = info.param.what; *p != '\0'; ++p)
                             name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                           return name;
                         });

}  // namespace

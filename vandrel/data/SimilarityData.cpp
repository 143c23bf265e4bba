// Sparse pairwise-similarity tables: reading `.sim` files (whole, or per
// element through the SD analyzer), computing all fingerprint pairs
// (O(n^2 * L) spread over the machine's threads, one random draw per pair in
// i-then-j order while a model sample is taken) and writing `.sim` /
// `.distrib` / `.fpn` files.
#include "vandrel/data/SimilarityData.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <new>
#include <string>
#include <thread>

#include "vandrel/data/FPData.h"
#include "vandrel/data/NumberText.h"
#include "vandrel/data/Fingerprint.h"
#include "vandrel/data/SimFileParsing.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/graph/IDHash.h"
#include "vandrel/run/AtomicFile.h"
#include "vandrel/stats/DataFileAnalyzer.h"
#include "vandrel/stats/Random.h"
#include "vandrel/stats/SimDistrib.h"

namespace {

// Expected size of the sample a table's model is fitted to.
constexpr double kSampleSize = 30000.0;

// Pairs per block of rows computed by one thread at a time in the all-pairs
// pass (1 MiB of values).
constexpr std::size_t kBlockPairs = std::size_t(1) << 17;

// Upper bound of VANDREL_THREADS.
constexpr unsigned int kMaxThreads = 256;

}  // namespace

unsigned int vandrel::SimilarityThreads() {
  const char* text = std::getenv("VANDREL_THREADS");
  if (text != nullptr && *text != '\0') {
    unsigned long value = 0;
    const char* p = text;
    // Saturates above the bound, so that any long number means "many".
    for (; *p >= '0' && *p <= '9'; ++p)
      value = std::min<unsigned long>(value * 10 + static_cast<unsigned long>(*p - '0'),
                                      kMaxThreads + 1ul);
    if (*p == '\0' && value >= 1)
      return static_cast<unsigned int>(std::min<unsigned long>(value, kMaxThreads));
  }
  const unsigned int cores = std::thread::hardware_concurrency();
  return std::max(1u, std::min(cores, kMaxThreads));
}

// ---------------------------------------------------------------------------
// CSimilarityData

CSimilarityData::CElement::CElement(std::istream& in) {
  if (!(in >> m_first >> m_second >> m_value))
    throw "CSimilarityData::CElement constructor - problems reading file";
}

CSimilarityData::CSimilarityData() : m_idToIndex(new CIDHash<unsigned int>()) {}

CSimilarityData::CSimilarityData(CSDDataFileAnalyzer& analyzer, double threshold,
                                 const std::vector<unsigned int>& ids)
    : m_idToIndex(new CIDHash<unsigned int>()) {
  if (!ids.empty()) {
    ReadElementVals(analyzer, threshold, ids);
    return;
  }
  // All elements: the analyzer's model, the whole file's values.
  const CSimDistrib* model = analyzer.GetSimDistrib();
  try {
    m_simDistrib.reset(new CSimDistrib(*model));
  } catch (const std::bad_alloc&) {
    throw "CSimilarityData constructor - memory problems";
  }
  ReadValsFile(analyzer.GetPrefix(), threshold);
}

CSimilarityData::~CSimilarityData() = default;

void CSimilarityData::SetSimDistrib(std::unique_ptr<CSimDistrib> model) {
  m_simDistrib = std::move(model);
}

void CSimilarityData::AddValue(unsigned int a, unsigned int b, double v) {
  m_values.emplace_back(a, b, v);
  if (a <= b) {
    ++m_counters[b].m_toSmaller;
    ++m_counters[a].m_toBigger;
  } else {
    ++m_counters[a].m_toSmaller;
    ++m_counters[b].m_toBigger;
  }
}

void CSimilarityData::ReleaseValues() { std::vector<CElement>().swap(m_values); }

unsigned int CSimilarityData::GetSimValsNumToBigger(unsigned int index) const {
  if (index >= m_counters.size())
    throw "CSimilarityData::GetSimValsNumToBigger - name index is out of scope";
  return m_counters[index].m_toBigger;
}

unsigned int CSimilarityData::GetSimValsNumToSmaller(unsigned int index) const {
  if (index >= m_counters.size())
    throw "CSimilarityData::GetSimValsNumToSmaller - name index is out of scope";
  return m_counters[index].m_toSmaller;
}

void CSimilarityData::ReadValsFile(const std::string& prefix, double threshold) {
  std::ifstream in(prefix + ".sim", std::ios::in | std::ios::binary);
  if (!in.is_open()) throw "CSimilarityData::ReadValsFile - problems opening file";

  std::string tok;
  if (!(in >> tok) || tok != "NAMES:") throw "CSimilarityData::ReadValsFile - illegal file format";
  std::vector<std::string> names;
  while (in >> tok) {
    if (tok == "VALUES:") break;
    names.push_back(tok);
  }
  if (in.bad()) throw "CSimilarityData::ReadValsFile - problems reading file";
  m_names = std::move(names);
  m_counters.assign(m_names.size(), CValuesCounter());
  // A whole file covers every element: id = index.
  m_idToIndex.reset(new CIDHash<unsigned int>());
  for (unsigned int k = 0; k < m_names.size(); ++k) (*m_idToIndex)[k] = k;

  // Values section.  A pair counts only at its first appearance within the
  // group of its first index: `seenIn[j]` holds the number (plus one) of the
  // group that last saw partner j.
  const std::uint64_t n = m_names.size();
  std::vector<std::uint64_t> seenIn(m_names.size(), 0);
  std::uint64_t group = 0;
  bool haveGroup = false;
  std::uint64_t groupFirst = 0;
  std::string line;
  in.clear(in.rdstate() & std::ios::badbit);
  while (std::getline(in, line)) {
    std::uint64_t a = 0, b = 0;
    double v = 0.0;
    const vandrel::EValueLine kind = vandrel::ParseValueLine(line, a, b, v);
    if (kind == vandrel::EValueLine::kSkipped) continue;
    if (kind == vandrel::EValueLine::kBad)
      throw "CSimilarityData::CElement constructor - problems reading file";
    if (a >= n || b >= n) {
      std::cerr << "illegal element index in similarity data file" << std::endl;
      throw "CSimilarityData::ReadValsFile - name index is out of scope";
    }
    if (a >= b) continue;
    if (!haveGroup || a != groupFirst) {
      ++group;
      groupFirst = a;
      haveGroup = true;
    }
    if (seenIn[b] == group) continue;
    seenIn[b] = group;
    if (v > threshold)
      AddValue(static_cast<unsigned int>(a), static_cast<unsigned int>(b), v);
  }
  if (in.bad()) throw "CSimilarityData::ReadValsFile - problems reading file";
}

void CSimilarityData::ReadElementVals(CSDDataFileAnalyzer& analyzer, double threshold,
                                      const std::vector<unsigned int>& ids) {
  const std::vector<std::string>& allNames = analyzer.GetNames();
  const std::uint64_t n = allNames.size();
  constexpr unsigned int kNotListed = 0xFFFFFFFFu;
  // position[id] = list position of a listed id (the membership mark).
  std::vector<unsigned int> position(allNames.size(), kNotListed);
  for (unsigned int k = 0; k < ids.size(); ++k) {
    const unsigned int id = ids[k];
    if (id >= n) throw "CSimilarityData::ReadElementVals - name index is out of scope";
    m_names.push_back(allNames[id]);
    (*m_idToIndex)[id] = k;
    position[id] = k;
  }
  m_counters.assign(ids.size(), CValuesCounter());

  std::vector<double> sample;
  std::vector<unsigned int> seenIn(allNames.size(), kNotListed);
  std::string line;
  for (unsigned int k = 0; k < ids.size(); ++k) {
    const unsigned int id = ids[k];
    if (!analyzer.HasElementLines(id)) continue;
    std::istream& in = analyzer.GetElementStream(id);
    std::getline(in, line);  // rest of the line before the group
    while (std::getline(in, line)) {
      std::uint64_t a = 0, b = 0;
      double v = 0.0;
      const vandrel::EValueLine kind = vandrel::ParseValueLine(line, a, b, v);
      if (kind == vandrel::EValueLine::kSkipped) continue;
      if (kind == vandrel::EValueLine::kBad)
        throw "CSimilarityData::CElement constructor - problems reading file";
      if (a >= n || b >= n) throw "CSimilarityData::ReadElementVals - name index is out of scope";
      if (a != id) break;
      if (a >= b) continue;
      const unsigned int j = position[b];
      if (j == kNotListed || seenIn[b] == k) continue;
      seenIn[b] = k;
      sample.push_back(v);
      if (v > threshold) AddValue(k, j, v);
    }
  }

  // Thin the sample to about 30000 values, in sample order.
  const CSimDistrib* start = analyzer.GetSimDistrib();
  if (sample.size() > static_cast<std::size_t>(kSampleSize)) {
    const double keep = kSampleSize / static_cast<double>(sample.size());
    std::size_t kept = 0;
    for (double v : sample)
      if (vandrel::RandUniform() <= keep) sample[kept++] = v;
    sample.resize(kept);
  }
  try {
    m_simDistrib.reset(new CSimDistrib(sample, start));
  } catch (const std::bad_alloc&) {
    throw "CSimilarityData constructor - memory problems";
  }
}

void CSimilarityData::Save(const std::string& prefix, bool overwrite) const {
  const std::string path = prefix + ".sim";
  if (overwrite || !vandrel::FileExists(path)) {
    // Written beside the target and renamed into place when complete, so
    // that a later run never reads a half-written table.
    vandrel::CAtomicFile file(path, std::ios::binary);
    if (!file.IsOpen()) throw "CSimilarityData::Save - problems opening file";
    std::ofstream& out = file.Stream();
    out << "NAMES:\n";
    for (const std::string& name : m_names) out << name << "\n";
    out << "VALUES:\n";
    // Lines are formatted into a buffer written in large pieces; the text is
    // the one the stream's own number output would give.
    std::string buffer;
    buffer.reserve(1 << 17);
    for (const CElement& e : m_values) {
      vandrel::AppendNumber(buffer, e.m_first);
      buffer += '\t';
      vandrel::AppendNumber(buffer, e.m_second);
      buffer += '\t';
      vandrel::AppendNumber(buffer, e.m_value);
      buffer += '\n';
      if (buffer.size() >= (1 << 17) - 64) {
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        buffer.clear();
      }
    }
    out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (!file.Commit()) throw "CSimilarityData::Save - problems opening file";
  }
  if (m_simDistrib) m_simDistrib->Save(prefix, overwrite);
}

// ---------------------------------------------------------------------------
// CSIMnFPData

CSIMnFPData::CSIMnFPData(const CFPDataFileAnalyzer& analyzer, double threshold,
                         const std::vector<unsigned int>& ids) {
  const CFPData& fpData = analyzer.GetFPData();
  const CNormFPMtx& all = fpData.GetNormFPMtx();
  const unsigned int total = static_cast<unsigned int>(all.Size());

  if (!ids.empty() && ids.size() != total) {
    // A subset: own copies of its fingerprints, values and model computed.
    try {
      m_normFPs.reset(new CNormFPMtx());
    } catch (const std::bad_alloc&) {
      throw "CSIMnFPData constructor - memory problem";
    }
    const std::vector<std::string>& names = fpData.GetNames();
    for (unsigned int k = 0; k < ids.size(); ++k) {
      const unsigned int id = ids[k];
      if (id >= names.size()) throw "CNormFPMtx::operator[] - index is out of scope";
      m_names.push_back(names[id]);
      (*m_idToIndex)[id] = k;
      m_normFPs->Insert(all[id]);
    }
    m_counters.assign(ids.size(), CValuesCounter());
    CreateValsNDistrib(threshold, analyzer.GetSimDistrib());
    return;
  }

  // All elements.
  const CSimDistrib* model = analyzer.GetSimDistrib();
  try {
    m_normFPs.reset(new CNormFPMtx(all));
    m_simDistrib.reset(new CSimDistrib(*model));
  } catch (const std::bad_alloc&) {
    throw "CSIMnFPData constructor - memory problem";
  }
  const std::string cachePrefix =
      analyzer.GetPrefix() + CNormFP::GetSimilarityHandler()->GetFileSuffix();
  // A cached table that lists other elements than the fingerprints belongs
  // to other data: it is not read, the values are computed, and the save
  // replaces it.
  const bool cached = vandrel::FileExists(cachePrefix + ".sim");
  m_replaceCache = cached && !vandrel::SimFileNamesMatch(cachePrefix + ".sim", fpData.GetNames());
  if (cached && !m_replaceCache) {
    ReadValsFile(cachePrefix, threshold);
    if (m_names.size() != total)
      throw "CSIMnFPData constructor - similarity file does not match the fingerprints";
  } else {
    m_names = fpData.GetNames();
    m_counters.assign(total, CValuesCounter());
    for (unsigned int k = 0; k < m_names.size(); ++k) (*m_idToIndex)[k] = k;
    // A later run reads this table from the `.sim` file saved below: this
    // run goes on with the same values, whether or not the file is written.
    m_valuesAsSaved = true;
    CreateValsNDistrib(threshold, model);
  }
}

CSIMnFPData::~CSIMnFPData() = default;

void CSIMnFPData::CreateValsNDistrib(double threshold, const CSimDistrib* initial) {
  const CNormFPMtx& fps = *m_normFPs;
  const std::size_t n = fps.Size();
  const std::uint64_t pairs = n < 2 ? 0 : static_cast<std::uint64_t>(n) * (n - 1) / 2;
  const bool sampling = !m_simDistrib;
  const double capacity =
      pairs < static_cast<std::uint64_t>(kSampleSize) ? static_cast<double>(pairs) : kSampleSize;
  const double keep = pairs > 0 ? capacity / static_cast<double>(pairs) : 0.0;
  // A pair joins the sample when its draw r satisfies r / 32767 <= keep.
  // That test is monotone in r, so it equals r <= lastKept.
  int lastKept = -1;
  while (lastKept < vandrel::kRandMax && (lastKept + 1) * (1.0 / 32767.0) <= keep) ++lastKept;

  std::vector<double> sample;
  if (sampling) sample.reserve(static_cast<std::size_t>(capacity * 1.1) + 16);
  // Rows are computed on several threads but arrive here one by one in
  // i-then-j order, so the draws and the stored values follow that order.
  // The draws are made inline and handed back to the generator when the
  // pass ends, before the model's own draws.
  {
    vandrel::CRandCursor draws;
    const auto consume = [&](unsigned int i, const double* row) {
      const std::size_t count = n - i - 1;
      if (sampling) {
        for (std::size_t k = 0; k < count; ++k) {
          const double s = row[k];
          if (draws.Next() <= lastKept) sample.push_back(s);
          if (s > threshold) AddValue(i, static_cast<unsigned int>(i + 1 + k), s);
        }
      } else if (m_valuesAsSaved) {
        // The text keeps every value above the threshold; its reader keeps
        // those whose 6-digit value is still above it.
        for (std::size_t k = 0; k < count; ++k) {
          if (!(row[k] > threshold)) continue;
          const double v = vandrel::AsWritten(row[k]);
          if (v > threshold) AddValue(i, static_cast<unsigned int>(i + 1 + k), v);
        }
      } else {
        for (std::size_t k = 0; k < count; ++k)
          if (row[k] > threshold) AddValue(i, static_cast<unsigned int>(i + 1 + k), row[k]);
      }
    };
    fps.ForEachSimilarityRow(vandrel::SimilarityThreads(), kBlockPairs, consume);
  }
  if (sampling) {
    try {
      m_simDistrib.reset(new CSimDistrib(sample, initial));
    } catch (const std::bad_alloc&) {
      throw "CSIMnFPData::CreateValsNDistrib - memory problem";
    }
  }
}

void CSIMnFPData::Save(const std::string& outputPrefix, bool overwrite) const {
  const std::string p = outputPrefix + CNormFP::GetSimilarityHandler()->GetFileSuffix();
  CSimilarityData::Save(p, overwrite || m_replaceCache);
  m_normFPs->Save(p, overwrite || m_replaceCache);
}

// The fingerprints file: TF header, promoter records with gene layout, and
// per TF the hit positions and effective length.  One pass; each hit costs
// one filter test.
#include "tfenrich/Fingerprints.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include "tfenrich/SetFiles.h"
#include "tfenrich/Streams.h"
#include "tfenrich/WordScanner.h"

namespace tfenrich {

bool FingerprintMatrix::init(int columns, int rows) {
  release();
  if (columns < 0 || rows < 0) {
    err("ERROR: Failed to allocate fingerprints.\n");
    return false;
  }
  const std::size_t cells = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
  if (!scores_.allocate(cells) || !hits_.allocate(cells) || !lengths_.allocate(cells)) {
    release();
    err("ERROR: Failed to allocate fingerprints.\n");
    return false;
  }
  columns_ = columns;
  rows_ = rows;
  return true;
}

void FingerprintMatrix::release() {
  scores_.release();
  hits_.release();
  lengths_.release();
  columnCache_.column = -1;
  columns_ = rows_ = rowsUsed_ = 0;
}

bool FingerprintMatrix::set(int row, int column, double score, int hits, int length) {
  if (!inRange(row, column)) return false;
  columnCache_.column = -1;
  const std::size_t i = cell(row, column);
  scores_.get()[i] = score;
  hits_.get()[i] = hits;
  lengths_.get()[i] = length;
  return true;
}

bool FingerprintMatrix::setRows(int firstRow, int rowCount, int columns, const Cell* cells) {
  if (rowCount <= 0 || columns <= 0) return true;
  if (!inRange(firstRow, columns - 1) || !inRange(firstRow + rowCount - 1, columns - 1)) {
    return false;
  }
  columnCache_.column = -1;
  double* const scores = scores_.get();
  int* const hits = hits_.get();
  int* const lengths = lengths_.get();
  for (int c = 0; c < columns; ++c) {
    const std::size_t first = cell(firstRow, c);
    for (int r = 0; r < rowCount; ++r) {
      const Cell& from = cells[static_cast<std::size_t>(r) * columns + c];
      scores[first + r] = from.score;
      hits[first + r] = from.hits;
      lengths[first + r] = from.length;
    }
  }
  return true;
}

const FingerprintColumn& FingerprintMatrix::column(int column, int rows) const {
  FingerprintColumn& c = columnCache_;
  if (rows < 0) rows = 0;
  if (c.column == column && c.rows == rows) return c;
  c.column = -1;
  c.scores.assign(static_cast<std::size_t>(rows), 0.0);
  c.hits.assign(static_cast<std::size_t>(rows), 0);
  c.hitClass[0] = c.hitClass[1] = c.hitClass[2] = c.hitClass[3] = 0;
  c.hitSum = c.covered = 0;
  const int stored = std::min(rows, rows_);
  if (column >= 0 && column < columns_ && stored > 0) {
    const std::size_t first = cell(0, column);
    std::copy(scores_.get() + first, scores_.get() + first + stored, c.scores.begin());
    std::copy(hits_.get() + first, hits_.get() + first + stored, c.hits.begin());
  }
  c.scoresNonNegative = c.scoresFitFloat = true;
  for (int r = 0; r < rows; ++r) {
    const double s = c.scores[r];
    if (!(s >= 0.0 && s <= std::numeric_limits<double>::max())) c.scoresNonNegative = false;
    if (!(s == 0.0 || (s >= 0x1p-100 && s <= 0x1p100))) c.scoresFitFloat = false;
    const int h = c.hits[r];
    ++c.hitClass[h <= 0 ? 0 : h >= 3 ? 3 : h];
    c.hitSum += h;
    if (h > 0) ++c.covered;
  }
  c.column = column;
  c.rows = rows;
  return c;
}

double fingerprintScore(int hits, int effectiveLength) {
  if (effectiveLength <= 0) return 0.0;
  return (hits + 0.05) / (effectiveLength + 0.5);
}

namespace {

// Reads the 20 fields of a promoter's gene information.
bool readGeneInfo(WordScanner& in, GeneInfo& g) {
  std::string text;
  const auto textField = [&](const char* key) {
    return in.literal(key) && in.word(text, kMaxGeneFieldLength) &&
           text.size() <= static_cast<std::size_t>(kMaxGeneFieldLength);
  };
  const auto intField = [&](const char* key, int& value) {
    return in.literal(key) && in.integer(value);
  };
  return textField("LLid=") && textField("orgDBsym=") && textField("TranscriptId=") &&
         textField("chr=") && intField("Location=", g.location) &&
         intField("Strand=", g.strand) && intField("GeneLength=", g.geneLength) &&
         intField("nExons=", g.nExons) && intField("UpstreamStart=", g.upstreamStart) &&
         intField("UpstreamEnd=", g.upstreamEnd) && intField("Exon1Start=", g.exon1Start) &&
         intField("Exon1End=", g.exon1End) && intField("Intron1Start=", g.intron1Start) &&
         intField("Intron1End=", g.intron1End) && intField("Exon2Start=", g.exon2Start) &&
         intField("Exon2End=", g.exon2End) && intField("Intron2Start=", g.intron2Start) &&
         intField("Intron2End=", g.intron2End) && intField("CdsStart=", g.cdsStart) &&
         intField("CdsEnd=", g.cdsEnd);
}

// Splits a value word ("-/500", "120,340/1000") at its first "/" and reads
// the effective length after it.
bool readEffectiveLength(const std::string& word, int t, const char* promoter,
                         std::string& hitList, int& effectiveLength) {
  const std::string::size_type slash = word.find('/');
  if (slash == std::string::npos) {
    err("ERROR: Can't find effective length for TF #%d in fingerprint of %s in fp file.\n", t,
        promoter);
    return false;
  }
  if (!parseLeadingInt(word.c_str() + slash + 1, effectiveLength)) {
    err("ERROR: Can't read effective length for TF #%d in fingerprint of %s in fp file.\n", t,
        promoter);
    return false;
  }
  hitList.assign(word, 0, slash);
  return true;
}

// Counts the hit positions of a hits part that the filter accepts.
bool countHits(const std::string& list, int t, const char* promoter, const HitFilter& filter,
               int& hits) {
  hits = 0;
  if (list == "-") return true;
  std::string::size_type pos = 0;
  for (;;) {
    if (pos < list.size() && list[pos] == ',') ++pos;
    int x = 0;
    if (!parseLeadingInt(list.c_str() + pos, x)) {
      err("ERROR: Can't read hit location #%d of TF #%d in fingerprint of %s in fp file.\n", hits,
          t, promoter);
      return false;
    }
    if (filter.accepts(x)) ++hits;
    pos = list.find(',', pos);
    if (pos == std::string::npos) break;
  }
  return true;
}

// The common value word, read in place from the scanner's buffer, which a
// NUL byte ends: "-" or comma-separated integer positions, "/", the
// effective length and the whitespace after the word.  Returns the end of
// the word, or nullptr for anything else (a NUL byte, text after a number,
// a word running to the end of the buffer or longer than the longest value
// word): the caller then reads the word the general way, which gives the
// same values or reports the fault.  For a skipped TF (not counted) only
// the effective length is read.
const char* readPlainValueWord(const char* word, const char* end, bool counted,
                               const HitFilter& filter, int& hits, int& effectiveLength) {
  const char* p = word;
  hits = 0;
  if (!counted) {
    while (*p != '/') {
      const unsigned char c = static_cast<unsigned char>(*p);
      if (c == '\0' || c == ' ' || (c >= '\t' && c <= '\r')) return nullptr;
      ++p;
    }
  } else if (p[0] == '-' && p[1] == '/') {
    ++p;
  } else {
    int counting = 0;
    for (;;) {
      if (*p == ',') ++p;
      int x = 0;
      p = parseIntPrefix(p, end, x);
      if (p == nullptr) return nullptr;
      if (filter.accepts(x)) ++counting;
      if (*p == '/') break;
      if (*p != ',') return nullptr;
    }
    hits = counting;
  }
  p = parseIntPrefix(p + 1, end, effectiveLength);
  if (p == nullptr) return nullptr;
  const unsigned char c = static_cast<unsigned char>(*p);
  if (p == end || !(c == ' ' || (c >= '\t' && c <= '\r'))) return nullptr;
  if (p - word > kMaxValueWordLength) return nullptr;
  return p;
}

class FileCloser {
 public:
  explicit FileCloser(FILE* f) : f_(f) {}
  ~FileCloser() {
    if (f_ != nullptr) std::fclose(f_);
  }
  FileCloser(const FileCloser&) = delete;
  FileCloser& operator=(const FileCloser&) = delete;

 private:
  FILE* f_;
};

}  // namespace

bool readFingerprints(const char* path, const StringHash* pwmFilter, const StringHash* bgFilter,
                      NamedIdSet& tfs, NamedIdSet& promoters, FingerprintMatrix& matrix,
                      const LocationInfo& location, int maxHits) {
  if (!tfs.init(kMaxTFs) || !promoters.init(kMaxPromoters)) {
    err("ERROR: Problems initializing TFs/promoters id sets.\n");
    return false;
  }
  FILE* file = std::fopen(path, "r");
  if (file == nullptr) {
    err("ERROR: Can't read fp file '%s'.\n", path);
    return false;
  }
  FileCloser closer(file);
  WordScanner in(file);

  int tfCount = -1;
  if (!in.integer(tfCount)) tfCount = -1;
  if (tfCount < 1 || tfCount > kMaxTFs || !in.literal("PWMs:")) {
    err("ERROR: Bad number of TFs (%d) in fp file.\n", tfCount);
    return false;
  }

  // Per TF position: its column, or -1 when the PWM filter skips it.
  std::vector<int> column(static_cast<std::size_t>(tfCount), -1);
  std::string name, species;
  for (int t = 0; t < tfCount; ++t) {
    double threshold = 0.0;
    int fields = 0;
    name.clear();
    if (in.word(name, kMaxNameLength)) {
      ++fields;
      if (in.literal(";") && in.literal("threshold:") && in.real(threshold)) {
        ++fields;
        if (in.literal(";") && in.literal("species:") && in.word(species, kMaxNameLength)) ++fields;
      }
    }
    if (fields < 3 || name.empty() || name.size() > static_cast<std::size_t>(kMaxNameLength)) {
      if (name.size() > static_cast<std::size_t>(kMaxNameLength)) name.resize(kMaxNameLength);
      err("ERROR: Bad TF id/threshold/species (#%d: %s) in fp file.\n", t, name.c_str());
      return false;
    }
    if (pwmFilter != nullptr && !pwmFilter->lookup(name.c_str(), nullptr)) continue;
    std::string fullName = name;
    if (name.size() + species.size() + 2 <= static_cast<std::size_t>(kMaxNameLength)) {
      fullName = name + "(" + species + ")";
    } else {
      err("WARNING: Can't add species info to TF name (%s) - too long.\n", name.c_str());
    }
    if (!tfs.add(fullName.c_str())) {
      err("ERROR: Couldn't add TF id (#%d: %s) to set.\n", t, fullName.c_str());
      return false;
    }
    column[t] = tfs.count() - 1;
  }

  int promoterCount = -1;
  if (!in.integer(promoterCount)) promoterCount = -1;
  if (promoterCount < 1 || promoterCount > kMaxPromoters || !in.literal("fingerprints:")) {
    err("ERROR: Bad number of promoters (%d) in fp file.\n", promoterCount);
    return false;
  }
  if (!matrix.init(tfCount, promoterCount)) {
    err("ERROR: Failed to initialize fingerprints.\n");
    return false;
  }

  // Kept promoters' entries, a block of consecutive rows at a time, in one
  // allocation made when the first promoter is kept and given back when
  // reading ends.
  constexpr int kBlockRows = 16;
  const int keptColumns = tfs.count();
  std::vector<FingerprintMatrix::Cell> block;
  const auto startBlock = [&](int row) {
    try {
      block.resize(static_cast<std::size_t>(kBlockRows) * keptColumns);
    } catch (const std::bad_alloc&) {
      err("ERROR: Failed to allocate fingerprints (for prom #%d).\n", row);
      return false;
    }
    return true;
  };
  int blockFirst = 0, blockRows = 0;
  const auto flushBlock = [&]() {
    const bool ok = matrix.setRows(blockFirst, blockRows, keptColumns, block.data());
    blockFirst += blockRows;
    blockRows = 0;
    return ok;
  };

  std::string value, hitList;
  GeneInfo gene;
  for (int p = 0; p < promoterCount; ++p) {
    name.clear();
    if (!in.word(name, kMaxNameLength) || name.size() > static_cast<std::size_t>(kMaxNameLength)) {
      if (name.size() > static_cast<std::size_t>(kMaxNameLength)) name.resize(kMaxNameLength);
      err("ERROR: Bad promoter id (#%d: %s) in fp file.\n", p, name.c_str());
      return false;
    }
    int row = -1;
    if (bgFilter == nullptr || bgFilter->lookup(name.c_str(), nullptr)) {
      if (!promoters.add(name.c_str())) {
        err("ERROR: Couldn't add promoter id (#%d: %s) to set.\n", p, name.c_str());
        return false;
      }
      row = promoters.count() - 1;
      if (row == 0 && keptColumns > 0 && !startBlock(row)) return false;
    }
    gene = GeneInfo{};
    if (!readGeneInfo(in, gene)) {
      err("ERROR: Can't read gene information of %s in fp file.\n", name.c_str());
      return false;
    }
    const HitFilter filter(location, gene);
    const std::size_t blockRow = static_cast<std::size_t>(blockRows) * keptColumns;
    for (int t = 0; t < tfCount; ++t) {
      int hits = 0, effectiveLength = 0;
      const char* end = nullptr;
      const char* const word = in.unread(end);
      const char* const after =
          readPlainValueWord(word, end, column[t] >= 0, filter, hits, effectiveLength);
      if (after != nullptr) {
        in.consume(static_cast<std::size_t>(after - word));
        if (column[t] < 0) continue;
        if (hits >= maxHits) hits = maxHits;
        if (row >= 0) {
          block[blockRow + column[t]] = {fingerprintScore(hits, effectiveLength), hits,
                                         effectiveLength};
        }
        continue;
      }
      if (!in.word(value, kMaxValueWordLength) ||
          value.size() > static_cast<std::size_t>(kMaxValueWordLength)) {
        err("ERROR: Can't read value #%d in fingerprint of %s in fp file.\n", t, name.c_str());
        return false;
      }
      if (!readEffectiveLength(value, t, name.c_str(), hitList, effectiveLength)) return false;
      if (column[t] < 0) continue;
      if (!countHits(hitList, t, name.c_str(), filter, hits)) return false;
      if (hits >= maxHits) hits = maxHits;
      if (row >= 0) {
        block[blockRow + column[t]] = {fingerprintScore(hits, effectiveLength), hits,
                                       effectiveLength};
      }
    }
    if (row >= 0 && ++blockRows == kBlockRows && !flushBlock()) return false;
  }
  if (!flushBlock()) return false;
  matrix.setRowsUsed(promoters.count());
  return true;
}

}  // namespace tfenrich

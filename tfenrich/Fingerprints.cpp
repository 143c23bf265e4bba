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
  try {
    scores_.resize(static_cast<std::size_t>(columns));
    hits_.resize(static_cast<std::size_t>(columns));
    lengths_.resize(static_cast<std::size_t>(columns));
  } catch (const std::bad_alloc&) {
    release();
    err("ERROR: Failed to allocate fingerprints.\n");
    return false;
  }
  columns_ = columns;
  rows_ = rows;
  return true;
}

void FingerprintMatrix::release() {
  std::vector<std::vector<double>>().swap(scores_);
  std::vector<std::vector<int>>().swap(hits_);
  std::vector<std::vector<int>>().swap(lengths_);
  columnCache_.column = -1;
  columns_ = rows_ = rowsUsed_ = 0;
}

bool FingerprintMatrix::set(int row, int column, double score, int hits, int length) {
  if (!inRange(row, column)) return false;
  columnCache_.column = -1;
  if (scores_[column].empty() && !allocateColumn(column, row)) return false;
  scores_[column][row] = score;
  hits_[column][row] = hits;
  lengths_[column][row] = length;
  return true;
}

bool FingerprintMatrix::allocateColumn(int column, int row) {
  try {
    scores_[column].resize(static_cast<std::size_t>(rows_));
    hits_[column].resize(static_cast<std::size_t>(rows_));
    lengths_[column].resize(static_cast<std::size_t>(rows_));
  } catch (const std::bad_alloc&) {
    std::vector<double>().swap(scores_[column]);
    std::vector<int>().swap(hits_[column]);
    std::vector<int>().swap(lengths_[column]);
    err("ERROR: Failed to allocate fingerprints (for prom #%d).\n", row);
    return false;
  }
  return true;
}

bool FingerprintMatrix::allocateColumns(int columns, int row) {
  if (columns > columns_ || rows_ <= 0) return false;
  for (int c = 0; c < columns; ++c) {
    if (scores_[c].empty() && !allocateColumn(c, row)) return false;
  }
  return true;
}

bool FingerprintMatrix::setRows(int firstRow, int rowCount, int columns, const Cell* cells) {
  if (rowCount <= 0 || columns <= 0) return true;
  if (!inRange(firstRow, columns - 1) || !inRange(firstRow + rowCount - 1, columns - 1)) {
    return false;
  }
  for (int c = 0; c < columns; ++c) {
    for (int r = 0; r < rowCount; ++r) {
      const Cell& cell = cells[static_cast<std::size_t>(r) * columns + c];
      if (r == 0) {
        // The checks and the allocation of set(), once per column.
        if (!set(firstRow + r, c, cell.score, cell.hits, cell.length)) return false;
        continue;
      }
      scores_[c][firstRow + r] = cell.score;
      hits_[c][firstRow + r] = cell.hits;
      lengths_[c][firstRow + r] = cell.length;
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
  if (column >= 0 && column < columns_ && !scores_[column].empty()) {
    std::copy(scores_[column].begin(), scores_[column].begin() + stored, c.scores.begin());
    std::copy(hits_[column].begin(), hits_[column].begin() + stored, c.hits.begin());
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

// The common value word without a copy: the hit positions before the first
// "/", the effective length after it.  False when the word is anything but
// plain (no "/", a number that does not convert): the caller then reads it
// the general way, which reports the fault.
bool countHitsInPlace(const char* word, std::size_t length, bool counted, const HitFilter& filter,
                      int& hits, int& effectiveLength) {
  const char* const end = word + length;
  const char* const slash = static_cast<const char*>(std::memchr(word, '/', length));
  if (slash == nullptr || parseIntPrefix(slash + 1, end, effectiveLength) == nullptr) return false;
  hits = 0;
  if (!counted) return true;
  if (slash - word == 1 && word[0] == '-') return true;
  const char* p = word;
  for (;;) {
    if (p != slash && *p == ',') ++p;
    int x = 0;
    const char* const after = parseIntPrefix(p, slash, x);
    if (after == nullptr) return false;
    if (filter.accepts(x)) ++hits;
    p = static_cast<const char*>(std::memchr(after, ',', static_cast<std::size_t>(slash - after)));
    if (p == nullptr) break;
  }
  return true;
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
  // allocation made after the columns (when the first promoter is kept) and
  // given back when reading ends.
  constexpr int kBlockRows = 16;
  const int keptColumns = tfs.count();
  std::vector<FingerprintMatrix::Cell> block;
  const auto startBlock = [&](int row) {
    if (!matrix.allocateColumns(keptColumns, row)) return false;
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
      const char* word = nullptr;
      std::size_t wordLength = 0;
      if (in.wordInBuffer(word, wordLength, kMaxValueWordLength)) {
        if (countHitsInPlace(word, wordLength, column[t] >= 0, filter, hits, effectiveLength)) {
          if (column[t] < 0) continue;
          if (hits >= maxHits) hits = maxHits;
          if (row >= 0) {
            block[blockRow + column[t]] = {fingerprintScore(hits, effectiveLength), hits,
                                           effectiveLength};
          }
          continue;
        }
        value.assign(word, wordLength);
      } else if (!in.word(value, kMaxValueWordLength) ||
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

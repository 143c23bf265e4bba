#pragma once
// FingerprintMatrix: per kept promoter (row) and kept TF (column), the
// counted hits, the effective length and the length-normalised score
// (hits + 0.05) / (length + 0.5); and readFingerprints, which fills it and
// the TF and promoter id sets from the fingerprints file, filtering hit
// positions by location.  Reading costs one pass over the file.
#include <string>
#include <vector>

#include "tfenrich/Location.h"
#include "tfenrich/StringHash.h"
#include "tfenrich/ZeroedBlock.h"

namespace tfenrich {

// One TF's cells of rows 0 .. rows-1 laid out contiguously (rows past the
// matrix read as zero, as in the matrix), plus the hit counts over those rows
// that do not depend on a target-set.  Scoring reads random rows of one TF
// many times; from a column these reads stay in cache.
struct FingerprintColumn {
  int column = -1;
  int rows = 0;
  std::vector<double> scores;
  std::vector<int> hits;
  // Rows with hits <= 0, == 1, == 2 and >= 3.
  int hitClass[4] = {0, 0, 0, 0};
  // Sum of the hits and number of rows with hits > 0.
  int hitSum = 0;
  int covered = 0;
  // True when every score is finite and not negative.
  bool scoresNonNegative = true;
  // True when moreover every score is 0 or within 2^-100 .. 2^100, so that
  // its nearest float is within 2^-24 of it relatively.
  bool scoresFitFloat = true;
};

constexpr int kMaxValueWordLength = 871;
constexpr int kMaxGeneFieldLength = 199;

class FingerprintMatrix {
 public:
  // Releases previous content; sets the declared size.  Every entry reads
  // as zero until it is set.
  bool init(int columns, int rows);
  void release();

  bool set(int row, int column, double score, int hits, int length);
  // One entry of a row as the reader collects it.
  struct Cell {
    double score;
    int hits;
    int length;
  };
  // set() for rows firstRow .. firstRow + rowCount - 1 and columns
  // 0 .. columns - 1 at once: entry (firstRow + r, c) is cells[r * columns
  // + c] (row-major, as the file lists them).  Writing a block of rows per
  // column keeps a column's writes together.
  bool setRows(int firstRow, int rowCount, int columns, const Cell* cells);

  double score(int row, int column) const {
    return inRange(row, column) ? scores_.get()[cell(row, column)] : 0.0;
  }
  int hits(int row, int column) const {
    return inRange(row, column) ? hits_.get()[cell(row, column)] : 0;
  }
  int length(int row, int column) const {
    return inRange(row, column) ? lengths_.get()[cell(row, column)] : 0;
  }
  // The column of a TF over rows 0 .. rows-1.  The last column asked for is
  // kept until the matrix changes, so asking again costs nothing; building
  // one copies the TF's stored column.
  const FingerprintColumn& column(int column, int rows) const;

  int columnCount() const { return columns_; }
  int rowCount() const { return rows_; }
  int rowsUsed() const { return rowsUsed_; }
  void setRowsUsed(int rowsUsed) { rowsUsed_ = rowsUsed; }

 private:
  bool inRange(int row, int column) const {
    return row >= 0 && row < rows_ && column >= 0 && column < columns_;
  }
  std::size_t cell(int row, int column) const {
    return static_cast<std::size_t>(column) * static_cast<std::size_t>(rows_) +
           static_cast<std::size_t>(row);
  }
  // Stored by TF (column-major): scoring reads one TF at a time, and the
  // reader's writes of a promoter line advance every TF's column by one.
  // Each table is one zero-filled block whose pages the system provides on
  // first use, so columns never written (TFs left out by the PWM filter)
  // take no memory and nothing is cleared twice.
  ZeroedBlock<double> scores_;
  ZeroedBlock<int> hits_;
  ZeroedBlock<int> lengths_;
  int columns_ = 0;
  int rows_ = 0;
  int rowsUsed_ = 0;
  mutable FingerprintColumn columnCache_;
};

// Length-normalised score of a hit count: (hits + 0.05) / (length + 0.5),
// or 0 when the effective length is not positive.
double fingerprintScore(int hits, int effectiveLength);

bool readFingerprints(const char* path, const StringHash* pwmFilter, const StringHash* bgFilter,
                      NamedIdSet& tfs, NamedIdSet& promoters, FingerprintMatrix& matrix,
                      const LocationInfo& location, int maxHits);

}  // namespace tfenrich

#pragma once
// Fingerprints: fixed-length vectors of 32-bit floats, one per element.
//
//   CFingerprint        L raw values (L is process-wide, set once).
//   CNormFP             values normalized by the process-wide similarity
//                       handler when read, or a (weighted) mean of others.
//   CNormFPMtx          owning, ordered set of CNormFP; index = element id.
//   CFPConstPtrVec,
//   CNormFPConstPtrVec  non-owning groups of fingerprints (cluster members).
//
// A similarity is one dot product over L values; a mean of n fingerprints
// costs O(nL); the weighted mean of two costs O(L).  All pairs of a matrix
// (O(n^2 L)) can be computed on several threads and are handed over in
// i-then-j order whatever the number of threads.
#include <cstddef>
#include <functional>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class CSimilarityHandler;
class CNormFPConstPtrVec;

class CFingerprint {
 public:
  // Reads L values from the stream (any whitespace separates them).  Fails
  // with "CFingerprint constructor - input file format problem" when the
  // stream ends, or a value does not parse, before the L-th value.
  explicit CFingerprint(std::istream& in);
  CFingerprint(const CFingerprint& other);
  CFingerprint& operator=(const CFingerprint& other);
  virtual ~CFingerprint();

  // Fails with "CFingerprint::operator[] - index is out of scope" for
  // index >= L.
  float operator[](unsigned int index) const;

  // Writes every value followed by one blank (default float formatting), no
  // line end.  Fails with "CFingerprint::Save - problems with output file"
  // if the stream is already in a failed state.
  void Save(std::ostream& out) const;

  // The process-wide length.  Setting a different length once one is set
  // fails with "CFingerprint::SetLength - length already set, changing is
  // illegal"; setting the same length again is allowed.
  static void SetLength(unsigned int length);
  static unsigned int GetLength();

  // The L values, contiguous.
  const float* GetValues() const { return m_values.data(); }

 protected:
  // L zeros.
  CFingerprint();

  std::vector<float> m_values;

 private:
  static unsigned int s_length;
  static bool s_lengthSet;
  friend void ResetFingerprintStateForTests();
};

class CNormFP : public CFingerprint {
 public:
  // Reads a fingerprint and normalizes it with the handler's normalizer; the
  // factor it returns is stored.  Needs the similarity handler to be set.
  explicit CNormFP(std::istream& in);
  // Mean of the group: value j is the 32-bit float sum of the members'
  // values j in group order, divided by the group size.  Factor 1.0.  An
  // empty group gives all zeros.
  explicit CNormFP(const CNormFPConstPtrVec& group);
  // Weighted mean (a*wa + b*wb) / (wa + wb), each step rounded to a 32-bit
  // float.  Factor 1.0.  Weights may be negative; wa + wb == 0 (nothing
  // left) gives all zeros.
  CNormFP(const CFingerprint& a, int wa, const CFingerprint& b, int wb);
  CNormFP(const CNormFP& other);
  CNormFP& operator=(const CNormFP& other);
  ~CNormFP() override;

  // The handler's similarity evaluator applied to (this, other).
  double Similarity(const CNormFP& other) const;
  double GetFactor() const { return m_factor; }

  // Installs the process-wide handler (not owned).  A second installation
  // fails with "CNormFP::SetSimilarityHandler - similarity handler already
  // set, changing is illegal".
  static void SetSimilarityHandler(CSimilarityHandler* handler);
  // The installed handler, or null.
  static CSimilarityHandler* GetSimilarityHandler();

 private:
  double m_factor;
  static CSimilarityHandler* s_simHandler;
  friend void ResetFingerprintStateForTests();
};

// Non-owning group of fingerprints.
class CFPConstPtrVec {
 public:
  CFPConstPtrVec();
  virtual ~CFPConstPtrVec();
  void push_back(const CFingerprint* fp) { m_fps.push_back(fp); }
  std::size_t size() const { return m_fps.size(); }
  bool empty() const { return m_fps.empty(); }
  void clear() { m_fps.clear(); }
  const CFingerprint* operator[](std::size_t i) const { return m_fps[i]; }

 protected:
  std::vector<const CFingerprint*> m_fps;
};

// Non-owning group of normalized fingerprints.
class CNormFPConstPtrVec : public CFPConstPtrVec {
 public:
  CNormFPConstPtrVec();
  ~CNormFPConstPtrVec() override;
  void push_back(const CNormFP* fp) { m_fps.push_back(fp); }
  const CNormFP* operator[](std::size_t i) const {
    return static_cast<const CNormFP*>(m_fps[i]);
  }
};

// Owning, ordered set of normalized fingerprints; index i is element id i.
class CNormFPMtx {
 public:
  // Empty; insertion allowed.
  CNormFPMtx();
  // Deep copy of every fingerprint, in order; the copy allows insertion.
  CNormFPMtx(const CNormFPMtx& other);
  CNormFPMtx& operator=(const CNormFPMtx&) = delete;
  virtual ~CNormFPMtx();

  // Appends a copy.  Fails with "CNormFPMtx::Insert - Insertion is illegal"
  // when insertion is not allowed.
  void Insert(const CNormFP& fp);
  // Fails with "CNormFPMtx::operator[] - index is out of scope".
  const CNormFP& operator[](unsigned int index) const;
  unsigned int Size() const { return static_cast<unsigned int>(m_fps.size()); }

  // Writes <pathPrefix>.fpn: "size\tL\n", then one line of normalized values
  // per fingerprint.  With overwrite false an existing file is left alone.
  // Fails with "CNormFPMtx::Save - problems opening out file".
  void Save(const std::string& pathPrefix, bool overwrite) const;

  void SetInsertionAllowed(bool allowed) { m_insertionAllowed = allowed; }
  bool IsInsertionAllowed() const { return m_insertionAllowed; }

  // out[k] = (*this)[i].Similarity((*this)[first + k]) for every k with
  // first + k < Size(): the all-pairs path, over contiguous rows.
  // Fails with "CNormFPMtx::operator[] - index is out of scope" for a bad i.
  void SimilarityRow(unsigned int i, unsigned int first, double* out) const;

  // Receives row i of the upper triangle: row[k] is the similarity of
  // fingerprints i and i + 1 + k, for k < Size() - 1 - i.
  using RowConsumer = std::function<void(unsigned int i, const double* row)>;

  // Calls consume(i, row) for i = 0 ... Size() - 2 in this order, each row
  // equal bit for bit to SimilarityRow(i, i + 1), on the calling thread.
  // The rows are computed by vandrel::RunOrderedBlocks on `threads` threads
  // in blocks of consecutive rows of about `blockPairs` pairs each (at least
  // one row; with one thread no thread is started).  Fails with
  // "CNormFP::Similarity - similarity handler is not set" when no handler
  // is installed.
  void ForEachSimilarityRow(unsigned int threads, std::size_t blockPairs,
                            const RowConsumer& consume) const;

 private:
  bool m_insertionAllowed;
  std::vector<std::unique_ptr<CNormFP>> m_fps;
  std::vector<const float*> m_rows;  // m_rows[k] = m_fps[k]->GetValues()
};

namespace vandrel {

// Computes blocks 0 ... blocks-1 on `threads` threads and hands them to the
// calling thread in block order: compute(b, out) writes block b (at most
// `blockValues` values) into `out`; consume(b, in) reads it back.  compute
// may run on any of the threads (the calling thread computes blocks while
// it has nothing to consume), never twice for a block; consume runs on the
// calling thread only, for b = 0, 1, ... in order.  At most
// 2 * threads + 2 blocks are held at a time.  The first exception of a
// compute or consume ends the run and is passed on to the caller after
// every started thread has ended.
void RunOrderedBlocks(std::size_t blocks, std::size_t blockValues, unsigned int threads,
                      const std::function<void(std::size_t, double*)>& compute,
                      const std::function<void(std::size_t, const double*)>& consume);

}  // namespace vandrel

// Test support only: forgets the process-wide fingerprint length and the
// installed similarity handler (which is not deleted), so that one test
// process can exercise several lengths and handlers.
void ResetFingerprintStateForTests();

#pragma once
// Sparse pairwise-similarity tables.
//
// CSimilarityData holds, for one set of elements, their names, the
// similarity values above a threshold (in insertion order), per-element
// counts of those values, the map from global element id to local index and
// the mates/non-mates model fitted to the similarities of the set.  It is
// filled from a `.sim` file (whole file, or per element through the SD
// analyzer's stream positions) and written back as a `.sim` file.
//
// CSIMnFPData is the same table for fingerprint data: it keeps copies of the
// normalized fingerprints of its elements and computes all pairwise
// similarities in one O(n^2 * L) pass, sampling the model's values in the
// same pass.  The pass runs on vandrel::SimilarityThreads() threads and its
// result does not depend on their number.
#include <cstdint>
#include <istream>
#include <memory>
#include <string>
#include <vector>

template <class T> class CIDHash;
class CSimDistrib;
class CNormFPMtx;
class CSDDataFileAnalyzer;
class CFPDataFileAnalyzer;

namespace vandrel {

// Threads of the all-pairs similarity pass: the environment variable
// VANDREL_THREADS when it is a positive decimal integer (at most 256), else
// the number of hardware threads (at least 1).  Read on every call.
unsigned int SimilarityThreads();

}  // namespace vandrel

class CSimilarityData {
 public:
  // One stored similarity value between two local element indices.
  class CElement {
   public:
    CElement() = default;
    CElement(unsigned int first, unsigned int second, double value)
        : m_first(first), m_second(second), m_value(value) {}
    // Reads "first second value" from the stream; a failed read throws
    // "CSimilarityData::CElement constructor - problems reading file".
    explicit CElement(std::istream& in);

    unsigned int GetFirst() const { return m_first; }
    unsigned int GetSecond() const { return m_second; }
    double GetValue() const { return m_value; }

    unsigned int m_first = 0;
    unsigned int m_second = 0;
    double m_value = 0.0;
  };

  // Per-element counts of stored values towards smaller / bigger indices.
  class CValuesCounter {
   public:
    virtual ~CValuesCounter() = default;
    unsigned int GetToSmaller() const { return m_toSmaller; }
    unsigned int GetToBigger() const { return m_toBigger; }

    unsigned int m_toSmaller = 0;
    unsigned int m_toBigger = 0;
  };

  // An empty table (no names, no values, no model).
  CSimilarityData();
  // Values of the listed element ids read from the SD analyzer's `.sim`
  // stream (ReadElementVals), keeping those above `threshold`; a new model
  // is fitted to the values of the subset.  With an empty id list the table
  // covers all elements: the names and values are read from the analyzer's
  // `<prefix>.sim` (ReadValsFile) and the model is a copy of the analyzer's.
  CSimilarityData(CSDDataFileAnalyzer& analyzer, double threshold,
                  const std::vector<unsigned int>& ids = {});
  CSimilarityData(const CSimilarityData&) = delete;
  CSimilarityData& operator=(const CSimilarityData&) = delete;
  virtual ~CSimilarityData();

  // Reads a whole `<prefix>.sim` file (names and values above `threshold`);
  // the id map becomes id = index for every name.
  void ReadValsFile(const std::string& prefix, double threshold);

  // Writes `<prefix>.sim` (unless `overwrite` is false and it exists), then
  // saves the model as `<prefix>.distrib` with the same flag.
  virtual void Save(const std::string& prefix, bool overwrite) const;

  unsigned int GetSimValsNumToBigger(unsigned int index) const;
  unsigned int GetSimValsNumToSmaller(unsigned int index) const;

  const std::vector<std::string>& GetNames() const { return m_names; }
  const std::vector<CElement>& GetValues() const { return m_values; }
  const std::vector<CValuesCounter>& GetCounters() const { return m_counters; }
  // Map from element id to local element index.
  const CIDHash<unsigned int>& GetIDHash() const { return *m_idToIndex; }
  // The model of this table; null only while the table is being built.
  const CSimDistrib* GetSimDistrib() const { return m_simDistrib.get(); }
  // Installs a model (takes ownership), replacing any earlier one.
  void SetSimDistrib(std::unique_ptr<CSimDistrib> model);
  // Frees the stored values once nothing reads them any more (a graph built
  // from the table keeps only its names, fingerprints and model).
  void ReleaseValues();

 protected:
  // Appends (a, b, v) and updates the counters of a and b.
  void AddValue(unsigned int a, unsigned int b, double v);
  void ReadElementVals(CSDDataFileAnalyzer& analyzer, double threshold,
                       const std::vector<unsigned int>& ids);

  std::vector<CValuesCounter> m_counters;
  std::vector<CElement> m_values;
  std::vector<std::string> m_names;
  std::unique_ptr<CIDHash<unsigned int>> m_idToIndex;
  std::unique_ptr<CSimDistrib> m_simDistrib;
};

class CSIMnFPData : public CSimilarityData {
 public:
  // With a non-empty id list whose size differs from the number of
  // fingerprints: the listed elements (in list order), their values
  // computed and a model fitted for them.  Otherwise all elements: a copy of
  // the analyzer's model, values read from `<input prefix><suffix>.sim` when
  // that file exists and lists the same elements, else computed and stored
  // as that file, once saved, gives them back.
  CSIMnFPData(const CFPDataFileAnalyzer& analyzer, double threshold,
              const std::vector<unsigned int>& ids = {});
  ~CSIMnFPData() override;

  // Computes the similarity of every pair (i < j, i-then-j order), storing
  // those above `threshold` (for the whole table: as their `.sim` text reads
  // back, when that is still above `threshold`).  When the table has no model yet, every pair
  // draws one random number for the model sample and a model is fitted to
  // the sample, starting from `initial` (may be null).
  void CreateValsNDistrib(double threshold, const CSimDistrib* initial);

  // Writes `<prefix><suffix>.sim`, `.distrib` and `.fpn`, where suffix is
  // the similarity handler's file suffix.
  void Save(const std::string& outputPrefix, bool overwrite) const override;

  // Normalized fingerprints, indexed by local element index.
  const CNormFPMtx& GetNormFPMtx() const { return *m_normFPs; }

 private:
  std::unique_ptr<CNormFPMtx> m_normFPs;
  // The values of the whole table are stored as the saved `.sim` text gives
  // them back (AsWritten), and only those still above the threshold, so
  // that the run goes on with the table a later run reads from that file.
  bool m_valuesAsSaved = false;
  // The cached `.sim` found for all elements listed other elements: saving
  // replaces it (and its model and `.fpn`) whatever the overwrite flag.
  bool m_replaceCache = false;
};

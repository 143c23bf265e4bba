// Fingerprints, normalized fingerprints, their means and the owning matrix
// with its .fpn writer.  Reading and copying cost O(L) per fingerprint; the
// similarities of all pairs cost O(n^2 L), spread over threads in row blocks.
#include "vandrel/data/Fingerprint.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <fstream>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "vandrel/data/NumberText.h"
#include "vandrel/data/SimHandler.h"
#include "vandrel/run/AtomicFile.h"

namespace {

// Values are appended as they are read instead of allocating the declared
// length up front, so a huge declared length in a short file cannot exhaust
// memory before the read fails.
constexpr unsigned int kReserveCap = 1u << 16;

// Partners per chunk of the all-pairs pass: about this many bytes of
// fingerprints, well inside a core's second-level cache.
constexpr std::size_t kPartnerChunkBytes = 192 * 1024;

bool FileExists(const std::string& path) {
  std::ifstream probe(path);
  return probe.is_open();
}

}  // namespace

unsigned int CFingerprint::s_length = 0;
bool CFingerprint::s_lengthSet = false;

CFingerprint::CFingerprint() : m_values(s_length, 0.0f) {}

CFingerprint::CFingerprint(std::istream& in) {
  m_values.reserve(std::min(s_length, kReserveCap));
  for (unsigned int j = 0; j < s_length; ++j) {
    if (in.eof()) throw "CFingerprint constructor - input file format problem";
    float value = 0.0f;
    if (!(in >> value)) throw "CFingerprint constructor - input file format problem";
    m_values.push_back(value);
  }
}

CFingerprint::CFingerprint(const CFingerprint& other) = default;
CFingerprint& CFingerprint::operator=(const CFingerprint& other) = default;
CFingerprint::~CFingerprint() = default;

float CFingerprint::operator[](unsigned int index) const {
  if (index >= s_length || index >= m_values.size()) {
    throw "CFingerprint::operator[] - index is out of scope";
  }
  return m_values[index];
}

void CFingerprint::Save(std::ostream& out) const {
  if (out.fail()) throw "CFingerprint::Save - problems with output file";
  const std::ios_base::fmtflags shown = std::ios_base::floatfield | std::ios_base::showpos |
                                        std::ios_base::showpoint | std::ios_base::uppercase;
  if (out.precision() != 6 || (out.flags() & shown) != 0 || out.width() != 0) {
    for (float v : m_values) out << v << ' ';
    return;
  }
  // A stream with default number formatting writes a float as "%g" of its
  // double value; the same text, made without the stream's per-number
  // formatting machinery (a large .fpn holds millions of values).
  std::string line;
  line.reserve(m_values.size() * 13);
  for (float v : m_values) {
    vandrel::AppendNumber(line, static_cast<double>(v));
    line += ' ';
  }
  out.write(line.data(), static_cast<std::streamsize>(line.size()));
}

void CFingerprint::SetLength(unsigned int length) {
  if (s_lengthSet && length != s_length) {
    throw "CFingerprint::SetLength - length already set, changing is illegal";
  }
  s_length = length;
  s_lengthSet = true;
}

unsigned int CFingerprint::GetLength() { return s_length; }

CSimilarityHandler* CNormFP::s_simHandler = nullptr;

CNormFP::CNormFP(std::istream& in) : CFingerprint(in), m_factor(1.0) {
  if (s_simHandler == nullptr) throw "CNormFP constructor - similarity handler is not set";
  m_factor = s_simHandler->GetNormalizer()->Normalize(m_values);
}

CNormFP::CNormFP(const CNormFPConstPtrVec& group) : CFingerprint(), m_factor(1.0) {
  const std::size_t n = group.size();
  // An empty group has no mean; all zeros keeps every similarity with it 0.
  if (n == 0) return;
  const std::size_t length = m_values.size();
  for (std::size_t k = 0; k < n; ++k) {
    const float* v = group[k]->GetValues();
    for (std::size_t j = 0; j < length; ++j) m_values[j] += v[j];
  }
  const float count = static_cast<float>(n);
  for (float& v : m_values) v /= count;
}

CNormFP::CNormFP(const CFingerprint& a, int wa, const CFingerprint& b, int wb)
    : CFingerprint(), m_factor(1.0) {
  const int total = wa + wb;
  // Zero total weight: nothing is left of the group, so no mean exists.
  if (total == 0) return;
  const float fa = static_cast<float>(wa);
  const float fb = static_cast<float>(wb);
  const float ft = static_cast<float>(total);
  const float* va = a.GetValues();
  const float* vb = b.GetValues();
  for (std::size_t j = 0; j < m_values.size(); ++j) {
    float x = va[j] * fa;
    x = x + vb[j] * fb;
    m_values[j] = x / ft;
  }
}

CNormFP::CNormFP(const CNormFP& other) = default;
CNormFP& CNormFP::operator=(const CNormFP& other) = default;
CNormFP::~CNormFP() = default;

double CNormFP::Similarity(const CNormFP& other) const {
  if (s_simHandler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  return s_simHandler->GetEvaluator()->Evaluate(*this, other);
}

void CNormFP::SetSimilarityHandler(CSimilarityHandler* handler) {
  if (s_simHandler != nullptr) {
    throw "CNormFP::SetSimilarityHandler - similarity handler already set, changing is illegal";
  }
  s_simHandler = handler;
}

CSimilarityHandler* CNormFP::GetSimilarityHandler() { return s_simHandler; }

CFPConstPtrVec::CFPConstPtrVec() = default;
CFPConstPtrVec::~CFPConstPtrVec() = default;
CNormFPConstPtrVec::CNormFPConstPtrVec() = default;
CNormFPConstPtrVec::~CNormFPConstPtrVec() = default;

CNormFPMtx::CNormFPMtx() : m_insertionAllowed(true) {}

CNormFPMtx::CNormFPMtx(const CNormFPMtx& other) : m_insertionAllowed(true) {
  try {
    m_fps.reserve(other.m_fps.size());
    m_rows.reserve(other.m_fps.size());
    for (const auto& fp : other.m_fps) {
      m_fps.push_back(std::make_unique<CNormFP>(*fp));
      m_rows.push_back(m_fps.back()->GetValues());
    }
  } catch (const std::bad_alloc&) {
    throw "CNormFPMtx copy constructor - memory problem";
  }
}

CNormFPMtx::~CNormFPMtx() = default;

void CNormFPMtx::Insert(const CNormFP& fp) {
  if (!m_insertionAllowed) throw "CNormFPMtx::Insert - Insertion is illegal";
  try {
    auto copy = std::make_unique<CNormFP>(fp);
    // Geometric growth: reserving exactly one more slot per insertion made
    // reading n fingerprints cost O(n^2) copies.
    if (m_rows.capacity() < m_fps.size() + 1) m_rows.reserve(2 * (m_fps.size() + 1));
    m_fps.push_back(std::move(copy));
    m_rows.push_back(m_fps.back()->GetValues());
  } catch (const std::bad_alloc&) {
    m_rows.resize(m_fps.size());
    throw "CNormFPMtx::Insert - memory problem";
  }
}

const CNormFP& CNormFPMtx::operator[](unsigned int index) const {
  if (index >= m_fps.size()) throw "CNormFPMtx::operator[] - index is out of scope";
  return *m_fps[index];
}

void CNormFPMtx::SimilarityRow(unsigned int i, unsigned int first, double* out) const {
  const CNormFP& a = (*this)[i];
  if (first >= m_rows.size()) return;
  const CSimilarityHandler* handler = CNormFP::GetSimilarityHandler();
  if (handler == nullptr) throw "CNormFP::Similarity - similarity handler is not set";
  handler->GetEvaluator()->EvaluateMany(
      a.GetValues(), m_rows.data() + first, m_rows.size() - first, out);
}

namespace {

// The blocks of RunOrderedBlocks, computed by several threads into a ring
// of slots and consumed in block order by the thread that runs the
// pipeline.  Block c goes to slot c % slots and may be claimed only once
// block c - slots has been consumed, so at most `slots` blocks exist at a
// time and a ready slot always holds the block the consumer waits for.
class CBlockPipeline {
 public:
  CBlockPipeline(std::size_t blocks, std::size_t blockValues, unsigned int threads,
                 const std::function<void(std::size_t, double*)>& compute)
      : m_compute(compute),
        m_blocks(blocks),
        m_slotCount(std::min<std::size_t>(blocks, 2 * static_cast<std::size_t>(threads) + 2)),
        m_ready(m_slotCount, 0) {
    m_slots.reserve(m_slotCount);
    for (std::size_t k = 0; k < m_slotCount; ++k) m_slots.emplace_back(blockValues);
    const std::size_t workers = std::min<std::size_t>(threads - 1, blocks - 1);
    m_workers.reserve(workers);
    for (std::size_t t = 0; t < workers; ++t) {
      try {
        m_workers.emplace_back(&CBlockPipeline::WorkerLoop, this);
      } catch (const std::system_error&) {
        break;  // fewer helpers: the calling thread computes the rest
      }
    }
  }

  // Stops the workers (a worker inside a block finishes that block first)
  // and waits for them.
  ~CBlockPipeline() {
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& t : m_workers) t.join();
  }

  CBlockPipeline(const CBlockPipeline&) = delete;
  CBlockPipeline& operator=(const CBlockPipeline&) = delete;

  void Run(const std::function<void(std::size_t, const double*)>& consume) {
    for (std::size_t b = 0; b < m_blocks; ++b) {
      const std::size_t slot = b % m_slotCount;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_ready[slot]) {
          if (m_error) std::rethrow_exception(m_error);
          std::size_t claimed = 0;
          if (ClaimLocked(claimed)) {
            // Nothing to consume yet: compute the next unclaimed block here.
            lock.unlock();
            m_compute(claimed, m_slots[claimed % m_slotCount].data());
            lock.lock();
            m_ready[claimed % m_slotCount] = 1;
            m_changed.notify_all();
          } else {
            m_changed.wait(lock);
          }
        }
      }
      consume(b, m_slots[slot].data());
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready[slot] = 0;
        ++m_consumed;
      }
      m_changed.notify_all();
    }
  }

 private:
  // Takes the next block when its slot is free (caller holds the lock).
  bool ClaimLocked(std::size_t& block) {
    if (m_stop || m_error || m_nextClaim >= m_blocks || m_nextClaim >= m_consumed + m_slotCount)
      return false;
    block = m_nextClaim++;
    return true;
  }

  void WorkerLoop() {
    for (;;) {
      std::size_t block = 0;
      {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] {
          return m_stop || m_error || m_nextClaim >= m_blocks ||
                 m_nextClaim < m_consumed + m_slotCount;
        });
        if (!ClaimLocked(block)) return;
      }
      try {
        m_compute(block, m_slots[block % m_slotCount].data());
      } catch (...) {
        // Carried to the consuming thread, which rethrows it.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_error) m_error = std::current_exception();
        m_changed.notify_all();
        return;
      }
      {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready[block % m_slotCount] = 1;
      }
      m_changed.notify_all();
    }
  }

  const std::function<void(std::size_t, double*)>& m_compute;
  const std::size_t m_blocks;
  const std::size_t m_slotCount;
  std::vector<std::vector<double>> m_slots;
  std::vector<char> m_ready;  // per slot: its block is computed
  std::size_t m_nextClaim = 0;
  std::size_t m_consumed = 0;
  bool m_stop = false;
  std::exception_ptr m_error;
  std::mutex m_mutex;
  std::condition_variable m_changed;
  std::vector<std::thread> m_workers;  // last member: started once the rest exists
};

}  // namespace

void vandrel::RunOrderedBlocks(std::size_t blocks, std::size_t blockValues, unsigned int threads,
                               const std::function<void(std::size_t, double*)>& compute,
                               const std::function<void(std::size_t, const double*)>& consume) {
  if (blocks == 0) return;
  if (threads <= 1 || blocks == 1) {
    std::vector<double> buffer(blockValues);
    for (std::size_t b = 0; b < blocks; ++b) {
      compute(b, buffer.data());
      consume(b, buffer.data());
    }
    return;
  }
  CBlockPipeline pipeline(blocks, blockValues, threads, compute);
  pipeline.Run(consume);
}

void CNormFPMtx::ForEachSimilarityRow(unsigned int threads, std::size_t blockPairs,
                                      const RowConsumer& consume) const {
  const std::size_t n = m_fps.size();
  if (n < 2) return;
  if (CNormFP::GetSimilarityHandler() == nullptr)
    throw "CNormFP::Similarity - similarity handler is not set";
  if (blockPairs == 0) blockPairs = 1;

  // Block boundaries: consecutive rows (row i holds n - 1 - i pairs) until a
  // block reaches `blockPairs` pairs.
  std::vector<std::size_t> starts(1, 0);
  std::size_t maxBlockPairs = 0;
  std::size_t pairs = 0;
  for (std::size_t i = 0; i + 1 < n; ++i) {
    pairs += n - 1 - i;
    if (pairs >= blockPairs || i + 2 == n) {
      starts.push_back(i + 1);
      maxBlockPairs = std::max(maxBlockPairs, pairs);
      pairs = 0;
    }
  }
  // A block's rows are computed against chunks of partners small enough to
  // stay in the core's cache while every row of the block uses them.  Each
  // value is one evaluation of the handler's evaluator, whatever the chunk,
  // so it has the bits of SimilarityRow.
  const CSimEvaluator* evaluator = CNormFP::GetSimilarityHandler()->GetEvaluator();
  const std::size_t bytesPerFp = std::size_t(CFingerprint::GetLength()) * sizeof(float) + 16;
  const std::size_t chunk = std::max<std::size_t>(64, kPartnerChunkBytes / bytesPerFp);
  vandrel::RunOrderedBlocks(
      starts.size() - 1, maxBlockPairs, threads,
      [&](std::size_t block, double* out) {
        const std::size_t first = starts[block], end = starts[block + 1];
        for (std::size_t c0 = first + 1; c0 < n; c0 += chunk) {
          const std::size_t c1 = std::min(n, c0 + chunk);
          double* row = out;  // row i of the block
          for (std::size_t i = first; i < end; ++i) {
            const std::size_t j0 = std::max(c0, i + 1);
            if (j0 < c1)
              evaluator->EvaluateMany(m_rows[i], m_rows.data() + j0, c1 - j0, row + (j0 - i - 1));
            row += n - 1 - i;
          }
        }
      },
      [&](std::size_t block, const double* in) {
        for (std::size_t i = starts[block]; i < starts[block + 1]; ++i) {
          consume(static_cast<unsigned int>(i), in);
          in += n - 1 - i;
        }
      });
}

void CNormFPMtx::Save(const std::string& pathPrefix, bool overwrite) const {
  const std::string path = pathPrefix + ".fpn";
  if (!overwrite && FileExists(path)) return;
  // Written beside the target and renamed into place when complete.
  vandrel::CAtomicFile file(path);
  if (!file.IsOpen()) throw "CNormFPMtx::Save - problems opening out file";
  std::ofstream& out = file.Stream();
  out << Size() << '\t' << CFingerprint::GetLength() << '\n';
  for (const auto& fp : m_fps) {
    fp->Save(out);
    out << '\n';
  }
  if (!file.Commit()) throw "CNormFPMtx::Save - problems opening out file";
}

void ResetFingerprintStateForTests() {
  CFingerprint::s_length = 0;
  CFingerprint::s_lengthSet = false;
  CNormFP::s_simHandler = nullptr;
}

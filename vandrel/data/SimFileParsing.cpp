// Reading helpers for similarity files: block tokenizer with offsets and the
// values-line parser.  Linear in the bytes read.
#include "vandrel/data/SimFileParsing.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <fstream>

namespace vandrel {

namespace {

constexpr std::size_t kBlockSize = 1 << 16;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses decimal digits at p; saturates at 2^32 (callers only compare).
const char* ParseIndex(const char* p, std::uint64_t& out) {
  std::uint64_t v = 0;
  while (IsDigit(*p)) {
    v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    if (v > 0xFFFFFFFFull) v = 0x100000000ull;
    ++p;
  }
  out = v;
  return p;
}

const char* SkipInlineBlanks(const char* p) {
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\v' || *p == '\f') ++p;
  return p;
}

}  // namespace

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}

bool SimFileNamesMatch(const std::string& path, const std::vector<std::string>& names) {
  std::ifstream in(path, std::ios::binary);
  if (!in.is_open()) return false;
  CTokenReader reader(in, 0);
  std::string token;
  if (!reader.Next(token) || token != "NAMES:") return false;
  std::size_t k = 0;
  while (reader.Next(token)) {
    if (token == "VALUES:") return k == names.size();
    if (k >= names.size() || token != names[k]) return false;
    ++k;
  }
  return false;
}

CTokenReader::CTokenReader(std::istream& in, std::int64_t start)
    : m_in(in), m_buf(kBlockSize), m_base(start) {
  m_in.clear();
  m_in.seekg(start);
  if (!m_in) {
    m_failed = true;
    m_eof = true;
  }
}

bool CTokenReader::Fill() {
  if (m_eof) return false;
  m_base += static_cast<std::int64_t>(m_len);
  m_pos = 0;
  m_len = 0;
  m_in.read(m_buf.data(), static_cast<std::streamsize>(m_buf.size()));
  m_len = static_cast<std::size_t>(m_in.gcount());
  if (!m_in) {
    if (m_in.bad()) m_failed = true;
    m_eof = true;
  }
  return m_len > 0;
}

bool CTokenReader::Next(std::string& token) {
  token.clear();
  for (;;) {  // skip blanks
    if (m_pos == m_len && !Fill()) return false;
    if (!IsBlank(m_buf[m_pos])) break;
    ++m_pos;
  }
  for (;;) {
    std::size_t start = m_pos;
    while (m_pos < m_len && !IsBlank(m_buf[m_pos])) ++m_pos;
    token.append(m_buf.data() + start, m_pos - start);
    if (m_pos < m_len) return true;
    if (!Fill()) return true;
  }
}

EValueLine ParseValueLine(const std::string& line, std::uint64_t& first, std::uint64_t& second,
                          double& value) {
  const char* p = line.c_str();
  if (!IsDigit(*p)) return EValueLine::kSkipped;
  p = ParseIndex(p, first);
  const char* q = SkipInlineBlanks(p);
  if (q == p || !IsDigit(*q)) return EValueLine::kBad;
  p = ParseIndex(q, second);
  q = SkipInlineBlanks(p);
  if (q == p) return EValueLine::kBad;
  char* end = nullptr;
  errno = 0;
  value = std::strtod(q, &end);
  if (end == q || !std::isfinite(value)) return EValueLine::kBad;
  return EValueLine::kValue;
}

}  // namespace vandrel

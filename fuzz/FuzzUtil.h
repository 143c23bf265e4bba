#pragma once
// Helpers shared by the fuzz targets: a scratch directory of this process
// where each input is written as a file (the readers take paths), and a
// stream buffer that swallows text the readers write to standard error.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <string>

namespace fuzzutil {

// A directory of its own under $TMPDIR (or /tmp), made once per process.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                       "/vandrel-fuzz-XXXXXX";
    if (mkdtemp(&tmpl[0]) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    return tmpl;
  }();
  return dir;
}

// Writes the bytes to <scratch>/<name> (truncating) and returns the path.
inline std::string WriteFile(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchDir() + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  if (!out) {
    std::cerr << "cannot write fuzz input " << path << '\n';
    std::abort();
  }
  return path;
}

inline void RemoveFile(const std::string& path) { unlink(path.c_str()); }

class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return traits_type::not_eof(c); }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// Sends std::cerr and std::cout to nowhere for the rest of the process
// (libFuzzer reports through the file descriptors, not through these).
inline void SilenceStdStreams() {
  static NullBuffer sink;
  std::cerr.rdbuf(&sink);
  std::cout.rdbuf(&sink);
}

}  // namespace fuzzutil

#pragma once
// Helpers of the tfenrich tests: capture of the message and error streams,
// and scratch files in a private temporary folder.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tfenrich/Streams.h"

namespace tftest {

inline std::string readStream(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  std::fseek(f, 0, SEEK_END);
  return text;
}

// Sends the message and error streams to temporary files while alive.
class Capture {
 public:
  Capture() : out_(std::tmpfile()), err_(std::tmpfile()) {
    oldOut_ = tfenrich::msgStream();
    oldErr_ = tfenrich::errStream();
    tfenrich::setMsgStream(out_);
    tfenrich::setErrStream(err_);
  }
  ~Capture() {
    tfenrich::setMsgStream(oldOut_);
    tfenrich::setErrStream(oldErr_);
    std::fclose(out_);
    std::fclose(err_);
  }
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  std::string out() const { return readStream(out_); }
  std::string err() const { return readStream(err_); }

 private:
  FILE* out_;
  FILE* err_;
  FILE* oldOut_;
  FILE* oldErr_;
};

// A private temporary folder, removed with its content at the end.
class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/tfenrich_test_XXXXXX";
    const char* made = mkdtemp(pattern);
    path_ = made ? made : "/tmp";
  }
  ~TempDir() {
    const std::string command = "rm -rf '" + path_ + "'";
    const int status = std::system(command.c_str());
    (void)status;
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(file(name), std::ios::binary) << content;
    return file(name);
  }

 private:
  std::string path_;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool fileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace tftest

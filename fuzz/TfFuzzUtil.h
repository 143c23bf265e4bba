#pragma once
// Shared set-up of the tfenrich fuzz targets: both output streams of the
// program go to /dev/null, so that its ERROR and WARNING lines cost little.
#include <cstdio>
#include <cstdlib>

#include "tfenrich/Streams.h"

namespace fuzzutil {

inline void SilenceTfStreams() {
  static FILE* sink = std::fopen("/dev/null", "w");
  if (sink == nullptr) std::abort();
  tfenrich::setMsgStream(sink);
  tfenrich::setErrStream(sink);
}

}  // namespace fuzzutil

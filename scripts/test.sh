#!/usr/bin/env bash
# Builds everything and runs the whole test suite.
#   scripts/test.sh            normal build in ./build
#   SANITIZE=1 scripts/test.sh AddressSanitizer + UndefinedBehaviorSanitizer build in ./build-asan
set -euo pipefail
cd "$(dirname "$0")/.."

. scripts/require_tools.sh
require_tools "command -v cmake:cmake" "command -v g++:g++" "command -v make:make" "test -f /usr/include/gtest/gtest.h:libgtest-dev" \
  "test -x /usr/bin/python3:python3" "/usr/bin/python3 -c 'import numpy':python3-numpy" \
  "/usr/bin/python3 -c 'import matplotlib':python3-matplotlib" "/usr/bin/python3 -c 'import pytest':python3-pytest" \
  "test -x /usr/bin/chromium:chromium"

jobs=$(nproc 2>/dev/null || echo 2)
if [ "${SANITIZE:-0}" = 1 ]; then
  build=${BUILD_DIR:-build-asan}
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVANDREL_SANITIZE=ON -DVANDREL_TESTS=ON >/dev/null
  export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
  export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
else
  build=${BUILD_DIR:-build}
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVANDREL_TESTS=ON >/dev/null
fi
cmake --build "$build" -j"$jobs"
ctest --test-dir "$build" --output-on-failure -j"$jobs"

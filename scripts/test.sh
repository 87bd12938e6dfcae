#!/usr/bin/env bash
# Builds everything and runs every test twice: optimised with assertions kept, then under the
# address and undefined-behaviour sanitizers. Installs the Debian packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh cmake ninja-build g++ libgtest-dev googletest mdbtools mdbtools-dev \
  qt6-base-dev xvfb xauth dpkg-dev lintian

# Includes run downward only: checked before anything is built.
scripts/check-layers.sh

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi
jobs="${JOBS:-2}"

# The window tests use Qt's offscreen platform; a virtual display covers anything that wants X.
run_ctest() {
  local dir="$1"
  if command -v xvfb-run >/dev/null 2>&1; then
    (cd "$dir" && xvfb-run -a ctest --output-on-failure -j2)
  else
    (cd "$dir" && ctest --output-on-failure -j2)
  fi
}

# Release optimisation, but assertions stay on (no -DNDEBUG).
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -g"
cmake --build build -j "$jobs"
run_ctest build

cmake -S . -B build-asan "${generator[@]}" -DCMAKE_BUILD_TYPE=Debug -DTARNLOG_SANITIZE=ON -DTARNLOG_GUI=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g"
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS="detect_leaks=1:abort_on_error=1" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" run_ctest build-asan

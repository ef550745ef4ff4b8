#!/usr/bin/env bash
# Sets everything up, builds, and runs every test: once in the plain build and
# once in the build with the address and undefined-behaviour sanitizers.
set -euo pipefail
cd "$(dirname "$0")/.."

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

scripts/setup.sh
ctest --test-dir build --output-on-failure -j"$jobs"

if [ "${VANDREL_SKIP_ASAN:-0}" != "1" ]; then
  scripts/setup.sh --asan
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi

# The fuzz targets, a bounded run each (scripts/fuzz.sh runs them longer).
if [ "${VANDREL_SKIP_FUZZ:-0}" != "1" ]; then
  scripts/fuzz.sh "${VANDREL_FUZZ_SECONDS:-15}"
fi

#!/usr/bin/env bash
# Builds the fuzz targets with clang (build-fuzz/) and runs each for a while,
# starting from its committed seed corpus. New inputs go to build-fuzz/corpus/,
# crashes to build-fuzz/artifacts/.
#   scripts/fuzz.sh [seconds per target, default 300] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-300}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(frame_reply ini_reader parameter_file settings text_module table_file debug_info)
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DVANDREL_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc)"

mkdir -p build-fuzz/artifacts
status=0
for t in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$t
  mkdir -p "$corpus"
  echo "== $t: ${seconds} s"
  # The first folder takes new inputs; the committed seeds are only read.
  log=build-fuzz/artifacts/$t.log
  # A quarantine of 16 MiB (not 256) still outlasts any one input, and saves the
  # page faults of ever new memory that otherwise take a good part of each run.
  if ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:quarantine_size_mb=16 UBSAN_OPTIONS=print_stacktrace=1 \
      "build-fuzz/bin/${t}_fuzz" "$corpus" "tests/fuzz/corpus/$t" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
      -artifact_prefix="build-fuzz/artifacts/${t}-" -print_final_stats=1 >"$log" 2>&1; then
    grep -E "^(Done|stat::number_of_executed_units|stat::peak_rss_mb)" "$log" || true
  else
    tail -n 60 "$log"
    echo "== $t FAILED (input and log in build-fuzz/artifacts/)"
    status=1
  fi
done
exit $status

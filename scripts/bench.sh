#!/usr/bin/env bash
# Measures the serial layer and every device operation against the simulated
# flow computer at real line speeds (not a test; takes a few minutes).
#   scripts/bench.sh [frame_bench options]    e.g. --baud 9600 --turnaround 5
set -euo pipefail
cd "$(dirname "$0")/.."

if [ ! -f build/build.ninja ]; then
  scripts/setup.sh
fi
cmake --build build -j"$(nproc)" --target serial_bench frame_bench

echo "== serial layer: idle CPU and byte latency"
build/bin/serial_bench 5 2000
echo
echo "== device operations"
build/bin/frame_bench "$@"

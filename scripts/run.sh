#!/usr/bin/env bash
# Starts the program against the simulated flow computer: installs what is
# missing and builds, runs flowsim as a gas device on COM1, makes the settings
# say online on COM1 (other settings stay), starts the program, and stops
# flowsim when the program ends.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: there is no display to show the program on." >&2
  echo "On a machine without a screen, run it in a virtual one:" >&2
  echo "    xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

# VANDREL_BIN: run the programs of another build folder instead (no setup then).
if [ -n "${VANDREL_BIN:-}" ]; then
  bin=$VANDREL_BIN
else
  scripts/setup.sh
  bin=build/bin
fi
ports="${XDG_DATA_HOME:-$HOME/.local/share}/vandrel2/ports"

"$bin/flowsim" --gas --port 1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "$ports/com1" ] && break
  kill -0 "$sim" 2>/dev/null || { echo "run.sh: flowsim did not start" >&2; exit 1; }
  sleep 0.1
done

"$bin/vandrel2" --online-com 1
"$bin/vandrel2"

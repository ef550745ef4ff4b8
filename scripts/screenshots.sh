#!/usr/bin/env bash
# Pictures of every page and dialog of the program, in German and English, with
# the simulated gas device online, and of the circuit parameter pages with the
# simulated steam device: scripts/screenshots.sh [folder] (default
# build/screenshots). Runs in a private home and a virtual screen (Xvfb).
set -euo pipefail
cd "$(dirname "$0")/.."

out=$(realpath -m "${1:-build/screenshots}")
if [ -n "${VANDREL_BIN:-}" ]; then
  bin=$(realpath "$VANDREL_BIN")
else
  scripts/setup.sh
  bin=$(realpath build/bin)
fi

home=$(mktemp -d)
export HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/run
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
sim=
stop_device() {
  if [ -n "$sim" ]; then
    kill "$sim" 2>/dev/null || true
    wait "$sim" 2>/dev/null || true
  fi
  sim=
}
trap 'stop_device; rm -rf "$home"' EXIT
start_device() {
  "$bin/flowsim" "$1" --port 1 >/dev/null &
  sim=$!
  for _ in $(seq 100); do
    [ -e "$XDG_DATA_HOME/vandrel2/ports/com1" ] && break
    sleep 0.1
  done
}

start_device --gas
"$bin/vandrel2" --online-com 1
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/vandrel2_screenshots" "$out"
stop_device
start_device --steam
xvfb-run -a -s "-screen 0 1280x1024x24" "$bin/vandrel2_screenshots" "$out" steam
echo "screenshots in $out"

#!/usr/bin/env bash
# Installs what the project needs on Debian 12 and builds it.
#   scripts/setup.sh            plain build in build/
#   scripts/setup.sh --asan     sanitizer build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

# fonts-dejavu-core: the sans-serif font the windows are laid out for; without
# it a minimal system draws them in a fixed-pitch font, too wide for some captions.
packages=(cmake ninja-build g++ libgtest-dev libgmock-dev qt6-base-dev qt6-charts-dev
          libqt6opengl6-dev libgl-dev xvfb xauth fonts-liberation fonts-dejavu-core locales
          qt6-translations-l10n libdw-dev pkg-config
          clang libclang-rt-14-dev)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The formatting tests also run under a German locale, which must exist.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
  as_root localedef -i de_DE -f UTF-8 de_DE.UTF-8 || echo "warning: could not generate de_DE.UTF-8" >&2
fi

build=build
sanitize=OFF
if [ "${1:-}" = "--asan" ]; then
  build=build-asan
  sanitize=ON
fi
cmake -S . -B "$build" -G Ninja -DVANDREL_SANITIZE=$sanitize
cmake --build "$build" -j"$(nproc)"

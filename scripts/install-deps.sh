#!/usr/bin/env bash
# Installs with apt-get the packages the build, the tests, the benchmarks and
# the fuzzers need, and only those that are missing.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev
  # the second codec: its static archive goes into every setup runtime
  libzstd-dev zstd
  clang libclang-rt-14-dev
  qt6-base-dev qt6-svg-dev libgl-dev xvfb xauth
  # what kavelomaker needs to show its windows on a desktop: Qt's platform
  # plugins (X11 among them) and a font
  qt6-qpa-plugins fonts-dejavu-core
  # the peers the tree bench packs with: tar --zstd and tar -cJf
  zstd xz-utils
  # the tests check every launcher an installation writes with desktop-file-validate
  desktop-file-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"

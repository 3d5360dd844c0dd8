#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) when it is missing, then configures and
# builds everything into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

# clang-14 with libclang-rt-14-dev (only recommended by clang, so named here) gives the
# fuzz targets libFuzzer and the sanitizer runtimes.
packages=(qt6-base-dev qt6-webengine-dev qt6-pdf-dev qt6-translations-l10n libpugixml-dev ninja-build cmake g++
          fonts-wqy-microhei clang-14 libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get -o DPkg::Lock::Timeout=600 update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -q "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build

#!/bin/bash
# Installs the Debian packages that building and testing need, when missing.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

packages=(
  cmake ninja-build g++ googletest
  g++-mingw-w64-x86-64-posix wine wine64 xvfb
  curl tinyproxy dante-server microsocks nlohmann-json3-dev libasio-dev chromium firefox-esr libnss3-tools clang clang-format libclang-rt-14-dev
  python3 openssl imagemagick x11-utils nsis
  "$@"
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

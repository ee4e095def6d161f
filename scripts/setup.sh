#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, when missing.
set -euo pipefail
packages=(g++-mingw-w64-x86-64-posix cmake ninja-build wine wine64 xvfb
          fonts-wine fonts-liberation2 fonts-dejavu-core googletest g++ pkg-config libpcre2-dev libre2-dev
          cups printer-driver-cups-pdf ghostscript nsis zip unzip python3)
need=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || need+=("$p")
done
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${need[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi

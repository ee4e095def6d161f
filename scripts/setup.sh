#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, when missing.
set -euo pipefail
need=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v cmake >/dev/null || need+=(cmake)
command -v ninja >/dev/null || need+=(ninja-build)
command -v wine >/dev/null || need+=(wine wine64)
command -v Xvfb >/dev/null || need+=(xvfb)
[ -d /usr/share/fonts/truetype/wine ] || [ -d /usr/share/wine/fonts ] || need+=(fonts-wine)
dpkg -s fonts-wine >/dev/null 2>&1 || need+=(fonts-wine)
dpkg -s fonts-liberation2 >/dev/null 2>&1 || need+=(fonts-liberation2)
dpkg -s fonts-dejavu-core >/dev/null 2>&1 || need+=(fonts-dejavu-core)
[ -d /usr/src/googletest/googletest ] || need+=(googletest)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${need[*]}"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${need[@]}"
fi

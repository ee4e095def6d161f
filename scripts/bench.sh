#!/usr/bin/env bash
# Builds and runs one benchmark under Wine: scripts/bench.sh edit_bench [args]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
BUILD_TYPE=Release "$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"
export MORROWPAD_OWN_XVFB=1
trap 'stop_wine; stop_display' EXIT
start_display
wine_prefix_ready
start_wine
name=$1
shift
cd "$root/build/win/bench"
wine "./$name.exe" "$@"

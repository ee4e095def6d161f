#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
export MORROWPAD_OWN_XVFB=1
source "$root/scripts/wine-env.sh"
cleanup() { stop_wine; stop_display; }
trap cleanup EXIT
start_display
wine_prefix_ready
start_wine
ctest --test-dir "$root/build/win" --output-on-failure --timeout 600 "$@"

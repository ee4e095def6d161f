#!/usr/bin/env bash
# Builds and starts the editor, Morrowpad.exe, under Wine, opening the file
# given. Usage: scripts/run.sh [file]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
source "$root/scripts/wine-env.sh"
trap stop_display EXIT
start_display
wine_prefix_ready
if [ "$own_display" = 1 ]; then wine_managed N; else wine_managed Y; fi
arg=()
if [ $# -gt 0 ]; then arg=("$(winepath -w "$(realpath "$1")" 2>/dev/null)"); fi
wine "$root/build/win/bin/Morrowpad.exe" "${arg[@]}"

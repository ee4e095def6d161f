#!/usr/bin/env bash
# Builds everything and runs every test under Wine on a private Xvfb.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
export MORROWPAD_OWN_XVFB=1
source "$root/scripts/wine-env.sh"
source "$root/scripts/print-service.sh"
# A 64 KiB file system for the disk-full tests (root only; skipped otherwise).
full_disk=""
if [ "$(id -u)" -eq 0 ]; then
  full_disk=$(mktemp -d /tmp/morrowpad-full.XXXXXX)
  if mount -t tmpfs -o size=64k tmpfs "$full_disk" 2>/dev/null; then
    export MORROWPAD_FULL_DISK="$full_disk"
  else
    rmdir "$full_disk"; full_disk=""
  fi
fi
cleanup() {
  stop_wine; stop_display; stop_print_service
  if [ -n "$full_disk" ]; then umount "$full_disk" 2>/dev/null; rmdir "$full_disk"; fi
}
trap cleanup EXIT
start_display
# A printer for the printing tests (they skip, saying why, without one).
start_print_service
wine_prefix_ready
wine_managed N
start_wine
ctest --test-dir "$root/build/win" --output-on-failure --timeout 600 "$@"
# The parts in standard C++ also build and run natively (with sanitizers,
# and against PCRE2).
cmake -S "$root/native" -B "$root/build/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/native"
ctest --test-dir "$root/build/native" --output-on-failure --timeout 600 "$@"
# The colouring of the syntax corpus against an independent lexer (Pygments),
# where Python and Pygments are installed: every language must meet its
# comment and string thresholds, with no long run of code coloured as text.
if command -v python3 >/dev/null 2>&1; then
  python3 "$root/tests/app/syntax/pygments_diff.py" --check "$root/tests/app/syntax/corpus" "$root/tests/app/syntax/golden"
else
  echo "pygments_diff: no python3: skipped"
fi

#!/usr/bin/env bash
# Builds and runs one benchmark under Wine: scripts/bench.sh edit_bench [args]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh" >/dev/null
source "$root/scripts/wine-env.sh"
export MORROWPAD_OWN_XVFB=1
trap 'stop_wine; stop_display' EXIT
start_display
wine_prefix_ready
wine_managed N
start_wine
name=$1
shift
cd "$root/build/win/bench"
if [ "$name" = file_bench ] || [ "$name" = open_bench ]; then
  # A generated file of about 1 GiB, timed with wc -l in the same run.
  dir=${MORROWPAD_BENCH_DIR:-/tmp/morrowpad-bench}
  mkdir -p "$dir"
  big="$dir/big.txt"
  [ -f "$big" ] || wine ./file_bench.exe "$(winepath -w "$big")" --generate 1073741824
  cat "$big" >/dev/null  # the same warm page cache for both
  start=$(date +%s.%N); lines=$(wc -l <"$big"); end=$(date +%s.%N)
  echo "wc -l: $lines line breaks in $(awk "BEGIN{print $end - $start}") s"
  start=$(date +%s.%N); cp "$big" "$big.cp" && sync "$big.cp"; end=$(date +%s.%N); rm -f "$big.cp"
  echo "cp + sync: $(awk "BEGIN{print $end - $start}") s"
  set -- "$(winepath -w "$big")" "$@"
fi
if [ "$name" = lexer_bench ]; then
  # Every C header of the system as one text (about 100 MB).
  dir=${MORROWPAD_BENCH_DIR:-/tmp/morrowpad-bench}
  mkdir -p "$dir"
  src="$dir/include.h"
  [ -s "$src" ] || find /usr/include -name '*.h' -type f -print0 | sort -z | xargs -0 cat >"$src"
  set -- "$(winepath -w "$src")" "$@"
fi
if [ "$name" = search_bench ]; then
  # Find Next through the 1 GiB file beside grep -c, Replace All of a million
  # words in a 100 MB file beside sed, in the same run.
  dir=${MORROWPAD_BENCH_DIR:-/tmp/morrowpad-bench}
  mkdir -p "$dir"
  big="$dir/big.txt"
  words="$dir/words.txt"
  [ -f "$big" ] || wine ./file_bench.exe "$(winepath -w "$big")" --generate 1073741824
  [ -f "$words" ] || wine ./search_bench.exe --generate "$(winepath -w "$words")" 104857600
  cat "$big" "$words" >/dev/null  # the same warm page cache for both
  peer() {  # label, command... (the time in $took)
    local label=$1 start end out
    shift
    start=$(date +%s.%N); out=$("$@" || true); end=$(date +%s.%N)
    took=$(awk "BEGIN{print $end - $start}")
    echo "$label: $(echo "$out" | tail -1) in $took s"
  }
  # grep's times go to the benchmark, printed beside the Find Next rows.
  peer "grep -c -F 'zebra crossing'" grep -c -F 'zebra crossing' "$big"
  grep_f=$took
  peer "grep -c -i -F 'zebra crossing'" grep -c -i -F 'zebra crossing' "$big"
  grep_if=$took
  peer "grep -c -i -E 'zebra +crossing'" grep -c -i -E 'zebra +crossing' "$big"
  export MORROWPAD_GREP_SECONDS="$took $grep_if $grep_f"
  peer "sed s/needle/pin/g (lines out)" sh -c "sed 's/needle/pin/g' '$words' | wc -l"
  # Once more for the benchmark to print beside Replace All.
  start=$(date +%s.%N); sed 's/needle/pin/g' "$words" | wc -l >/dev/null; end=$(date +%s.%N)
  export MORROWPAD_SED_SECONDS=$(awk "BEGIN{print $end - $start}")
  set -- "$(winepath -w "$big")" "$(winepath -w "$words")" "$@"
fi
if [ "$name" = grep_bench ]; then
  # A copy of the system's C headers (about 8,000 files), searched by grep
  # and rg (when installed) with a warm page cache, then by the benchmark.
  dir=${MORROWPAD_BENCH_DIR:-/tmp/morrowpad-bench}
  tree="$dir/include-tree"
  if [ ! -d "$tree" ]; then
    mkdir -p "$dir"
    cp -r /usr/include "$tree.part" && mv "$tree.part" "$tree"
  fi
  word=${GREP_BENCH_WORD:-include}
  expr=${GREP_BENCH_EXPR:-'struct [a-z_]+_t\b'}
  grep -rn "$word" "$tree" >/dev/null || true  # warm the cache
  peer() {
    local label=$1
    shift
    local best=
    for _ in 1 2 3; do
      local start end t
      start=$(date +%s.%N); "$@" >/dev/null || true; end=$(date +%s.%N)
      t=$(awk "BEGIN{print $end - $start}")
      if [ -z "$best" ] || awk "BEGIN{exit !($t < $best)}"; then best=$t; fi
    done
    printf '%-40s %8.3f s  %7d lines\n' "$label" "$best" "$("$@" | wc -l)"
    peer_best=$best
  }
  peer "grep -rn word" grep -rn "$word" "$tree"
  export MORROWPAD_GREP_WORD_SECONDS=$peer_best  # for ours / grep
  peer "grep -rnE expression" grep -rnE "$expr" "$tree"
  export MORROWPAD_GREP_EXPR_SECONDS=$peer_best
  if command -v rg >/dev/null; then
    peer "rg -n word" rg -n "$word" "$tree"
    peer "rg -n expression" rg -n "$expr" "$tree"
  fi
  set -- "$(winepath -w "$tree")" "$word" "$expr" "$@"
fi
wine "./$name.exe" "$@"

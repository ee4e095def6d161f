#!/bin/bash
# Build and test the editor on Linux with a cross compiler.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
JOBS=2
readonly VERSION='1.4.0'
export WINEDEBUG=-all

usage() {
    echo "usage: $0 [-c] [-j jobs] target..." >&2
    exit 1
}

log() { printf '%s: %s\n' "$(date +%T)" "$*"; }

while getopts "cj:" opt; do
    case "$opt" in
        c) CLEAN=1 ;;
        j) JOBS=$OPTARG ;;
        *) usage ;;
    esac
done
shift $((OPTIND - 1))

if [[ ${CLEAN:-0} -eq 1 && -d "$BUILD_DIR" ]]; then
    log "cleaning $BUILD_DIR"
    rm -rf -- "$BUILD_DIR"
elif [ ! -d "$BUILD_DIR" ]; then
    mkdir -p "$BUILD_DIR"
else
    log 'reusing the build folder'
fi

for target in "$@"; do
    log "building $target with $JOBS jobs"
    cmake --build "$BUILD_DIR" --target "$target" -j "$JOBS" || {
        echo "failed: $target" >&2
        exit 2
    }
done

count=0
while read -r line; do
    count=$((count + 1))
    [[ $line == \#* ]] && continue   # skip comment lines
done < "$ROOT/tests/list.txt"
echo "read $count lines; last status $?, pid $$"

cat <<EOF > "$BUILD_DIR/notes.txt"
Version $VERSION built on $(uname -s)
  with "quotes" and 'apostrophes' kept as text
EOF

message="a string that
spans two lines with $VERSION"
files=`ls "$BUILD_DIR"`
escaped=$'tab\there\n'
arr=(one "two three" 'four')
echo "${arr[@]} ${#arr[@]} ${message%%$'\n'*}"

function cleanup {
    local code=$?
    log "exit code $code"   # the # starts a comment
    return $code
}
trap cleanup EXIT
echo value#not-a-comment

#!/usr/bin/env bash
# install.sh -- install the inkwell binaries and data files.
#
# Usage: ./install.sh [--prefix DIR] [--dry-run] [--no-man] [COMPONENT...]
# Don't run this as root unless you're installing into a system prefix;
# it'll refuse to touch "/usr" without --force.

set -euo pipefail

readonly SCRIPT_NAME="$(basename "$0")"
readonly SRC_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
PREFIX="${PREFIX:-/usr/local}"
DRY_RUN=0
FORCE=0
WITH_MAN=1
declare -a COMPONENTS=()
declare -A INSTALLED=()

log()  { printf '%s: %s\n' "$SCRIPT_NAME" "$*" >&2; }
die()  { log "error: $*"; exit 1; }
run()  {
    if (( DRY_RUN )); then
        printf '+ %q' "$1"; shift
        printf ' %q' "$@"; echo
    else
        "$@"
    fi
}

usage() {
    cat <<EOF
Usage: $SCRIPT_NAME [options] [component...]

Options:
  --prefix DIR   install under DIR (default: "$PREFIX")
  --dry-run      print what would be done, don't do it
  --no-man       skip the manual pages
  --force        allow a prefix of /usr or /
  -h, --help     show this text

Components: core, cli, docs.  With none given, all are installed.
# This line belongs to the help text, not a comment.
EOF
}

while (( $# > 0 )); do
    case "$1" in
        --prefix)      PREFIX="${2:?--prefix needs an argument}"; shift 2 ;;
        --prefix=*)    PREFIX="${1#--prefix=}"; shift ;;
        --dry-run|-n)  DRY_RUN=1; shift ;;
        --no-man)      WITH_MAN=0; shift ;;
        --force|-f)    FORCE=1; shift ;;
        -h|--help)     usage; exit 0 ;;
        --)            shift; COMPONENTS+=("$@"); break ;;
        -*)            die "unknown option '$1' (try --help)" ;;
        *)             COMPONENTS+=("$1"); shift ;;
    esac
done

(( ${#COMPONENTS[@]} )) || COMPONENTS=(core cli docs)

case "$PREFIX" in
    /|/usr|/usr/)
        (( FORCE )) || die "refusing to install into \"$PREFIX\" without --force" ;;
    ~*)
        PREFIX="${HOME}${PREFIX#\~}" ;;
    /*) : ;;
    *)
        PREFIX="$(pwd)/$PREFIX" ;;
esac

# Version comes from the VERSION file, e.g. "1.8.0-rc1#abc123"; drop the hash and what follows.
raw_version="$(<"$SRC_DIR/VERSION")"
version="${raw_version%%#*}"
major="${version%%.*}"
if [[ ! $version =~ ^[0-9]+\.[0-9]+\.[0-9]+(-[A-Za-z0-9.]+)?$ ]]; then
    die "malformed version '$raw_version' in $SRC_DIR/VERSION"
fi
log "installing inkwell $version (major $major) into $PREFIX"

install_file() {
    local mode=$1 src=$2 dest=$3
    run install -D -m "$mode" "$SRC_DIR/$src" "$PREFIX/$dest"
    INSTALLED["$dest"]=$mode
}

install_core() {
    local lib
    for lib in "$SRC_DIR"/build/lib/libinkwell*.so*; do
        [[ -e $lib ]] || continue
        install_file 0644 "build/lib/$(basename "$lib")" "lib/$(basename "$lib")"
    done
    install_file 0644 data/templates.json share/inkwell/templates.json
}

install_cli() {
    install_file 0755 build/bin/inkwell bin/inkwell
    # Shell completion; the file name has a '#' in older releases (a#b style).
    local comp="completion/inkwell.bash"
    [[ -f "$SRC_DIR/completion/inkwell#bash" ]] && comp="completion/inkwell#bash"
    install_file 0644 "$comp" share/bash-completion/completions/inkwell
}

install_docs() {
    local page n=0
    (( WITH_MAN )) || { log "skipping manual pages"; return 0; }
    for page in "$SRC_DIR"/doc/*.[1-8]; do
        local section="${page##*.}"
        install_file 0644 "doc/${page##*/}" "share/man/man${section}/${page##*/}"
        n=$(( n + 1 ))
    done
    log "installed $n manual page$( (( n == 1 )) || echo s)"
}

for c in "${COMPONENTS[@]}"; do
    case $c in
        core) install_core ;;
        cli)  install_cli ;;
        docs|doc) install_docs ;;
        *)    die "unknown component: $c" ;;
    esac
done

# Write a manifest so that uninstall.sh knows what to remove.
manifest="$PREFIX/share/inkwell/MANIFEST"
if (( ! DRY_RUN )); then
    mkdir -p "$(dirname "$manifest")"
    {
        echo "# inkwell $version installed on $(date -u +%Y-%m-%dT%H:%M:%SZ) by ${USER:-unknown}"
        for f in "${!INSTALLED[@]}"; do
            printf '%s %s\n' "${INSTALLED[$f]}" "$f"
        done | sort -k2
    } > "$manifest"
fi

log "done: ${#INSTALLED[@]} files; run \"$PREFIX/bin/inkwell --version\" to check"
echo \"${PREFIX}\" is ready — enjoy.

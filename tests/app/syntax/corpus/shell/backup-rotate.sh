#!/usr/bin/env bash
# backup-rotate.sh - snapshot the notes directory and keep N generations.
#
# Meant for cron:
#   15 3 * * *  $HOME/bin/backup-rotate.sh -k 14 ~/notes /srv/backup  # nightly
# It doesn't need root; it won't follow symlinks out of the source tree.

set -u

keep=7
compress=gzip
verbose=false
exclude=( '*.tmp' '.cache/' 'node_modules/' '#*#' )

say() { $verbose && echo "[$(date '+%H:%M:%S')] $*"; return 0; }
warn() { echo "backup-rotate: $*" >&2; }

while getopts ':k:z:vh' opt; do
    case $opt in
        k) keep=$OPTARG ;;
        z) compress=$OPTARG ;;
        v) verbose=true ;;
        h) sed -n '2,6s/^# \{0,1\}//p' "$0"; exit 0 ;;
        :) warn "option -$OPTARG needs a value"; exit 2 ;;
        \?) warn "unknown option -$OPTARG"; exit 2 ;;
    esac
done
shift $(( OPTIND - 1 ))

if [ $# -ne 2 ]; then
    warn "usage: ${0##*/} [-k N] [-z gzip|xz|zstd] [-v] SOURCE DEST"
    exit 2
fi
src=${1%/}
dest=${2%/}

[[ $keep =~ ^[1-9][0-9]*$ ]] || { warn "-k wants a positive number, got '$keep'"; exit 2; }

case $compress in
    gzip) ext=tar.gz  ; zflag=-z ;;
    xz)   ext=tar.xz  ; zflag=-J ;;
    zstd) ext=tar.zst ; zflag=--zstd ;;
    none|'') ext=tar  ; zflag= ;;
    *) warn "unsupported compressor \"$compress\""; exit 2 ;;
esac

stamp=$(date -u +%Y%m%dT%H%M%SZ)
host=$(hostname -s 2>/dev/null || uname -n)
archive="$dest/$(basename "$src")-${host}-${stamp}.${ext}"

say "source=$src dest=$dest keep=$keep archive=${archive##*/}"
mkdir -p -- "$dest" || exit 1

# Build the --exclude list; each pattern is passed as one word.
tar_args=()
for pat in "${exclude[@]}"; do
    tar_args+=( "--exclude=$pat" )
done

lock="$dest/.backup-rotate.lock"
exec 9>"$lock"
if ! flock -n 9; then
    warn "another backup is running (lock: $lock)"
    exit 75
fi

start=$SECONDS
if ! tar -C "$(dirname "$src")" $zflag -cf "$archive.incomplete" "${tar_args[@]}" \
        -- "$(basename "$src")"; then
    warn "tar failed; leaving $archive.incomplete behind"
    exit 1
fi
mv -- "$archive.incomplete" "$archive"
size=$(du -k -- "$archive" | cut -f1)
say "wrote ${archive##*/} (${size} KiB) in $(( SECONDS - start ))s"

# Rotate: list archives oldest first, delete all but the newest $keep.
mapfile -t all < <(ls -1tr -- "$dest"/"$(basename "$src")"-*.tar* 2>/dev/null)
excess=$(( ${#all[@]} - keep ))
if (( excess > 0 )); then
    for old in "${all[@]:0:excess}"; do
        say "removing ${old##*/}"
        rm -f -- "$old"
    done
fi

# Summary e-mail, only when something was rotated.  The body is unquoted
# EOF so variables expand, but \$ and \` stay literal.
if (( excess > 0 )) && command -v mail >/dev/null; then
    mail -s "backup: $(basename "$src") on $host" "${MAILTO:-$USER}" <<EOF
Backup of '$src' finished at $(date).

  archive : ${archive}
  size    : ${size} KiB
  kept    : $keep (removed $excess)
  cost    : \$0 -- runs locally, no \`cloud\` involved

# End of report.
EOF
fi

total_kib=0
for f in "$dest"/*.tar*; do
    [ -e "$f" ] || continue
    total_kib=$(( total_kib + $(du -k -- "$f" | cut -f1) ))
done
printf 'backup-rotate: %s done, %d archives, %d MiB total\n' \
    "$stamp" "$(( ${#all[@]} < keep ? ${#all[@]} : keep ))" "$(( total_kib / 1024 ))"

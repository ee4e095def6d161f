#!/bin/sh
# Writes a UTF-8 text file as UTF-16LE behind a byte-order mark: to-utf16.sh src dst
set -e
mkdir -p "$(dirname "$2")"
printf '\377\376' > "$2"
iconv -f UTF-8 -t UTF-16LE "$1" >> "$2"

#!/usr/bin/env bash
# Builds the per-user installer and the portable zip of the program folder:
#   build/package/Morrowpad-<version>-setup.exe
#   build/package/Morrowpad-<version>-portable.zip
# Usage: scripts/package.sh [--no-build] [--out DIR]
#   --no-build  package build/win/bin as it is (tests use it)
#   --out DIR   write the staging folder and both packages into DIR
# MORROWPAD_VERSION (three numbers) names and stamps both; default 1.0.0.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/build/package"
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0 ;;
    --out) out=$2; shift ;;
    *) echo "usage: scripts/package.sh [--no-build] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done
version=${MORROWPAD_VERSION:-1.0.0}
if ! [[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]]; then
  echo "package: MORROWPAD_VERSION must be three numbers, not '$version'" >&2
  exit 2
fi

if [ $build = 1 ]; then
  "$root/scripts/build.sh"
fi
bin="$root/build/win/bin"
for f in Morrowpad.exe Edit.dll chardet.dll mui/en.dll setting.ini; do
  [ -f "$bin/$f" ] || { echo "package: $bin/$f is missing: build first" >&2; exit 1; }
done
for tool in makensis zip x86_64-w64-mingw32-strip; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing: run scripts/setup.sh" >&2; exit 1; }
done

# The program folder as users get it: without the development host and the
# sample plug-in, without debugging information.
mkdir -p "$out"
out=$(cd "$out" && pwd)
stage="$out/Morrowpad"
rm -rf "$stage"
mkdir -p "$stage"
(cd "$bin" && tar --exclude=./DevHost.exe --exclude=./plugin/Sample.dll \
   --exclude=./Morrowpad.rpt -cf - .) | (cd "$stage" && tar -xf -)
find "$stage" \( -iname '*.exe' -o -iname '*.dll' \) -exec x86_64-w64-mingw32-strip --strip-debug {} +
# The settings files as shipped, not as a run from the build folder left
# them (window place, recent files, search history): written anew from the
# sources, as the build writes them.
for name in setting history key tools syntax; do
  sh "$root/resources/to-utf16.sh" "$root/resources/ini/$name.ini" "$stage/$name.ini"
done
rm -rf "$stage/macro"/* 2>/dev/null || true

# The installer's lists: every file but the settings files (which the
# installer writes only where missing and removes only when asked), and
# the folders, deepest first.
settings_re='^\./(setting|history|key|tools|syntax)\.ini$'
lists="$out/nsis"
rm -rf "$lists"
mkdir -p "$lists"
winpath() { printf '%s' "${1#./}" | tr / '\\'; }
{
  (cd "$stage" && find . -type d | sort) | while read -r d; do
    if [ "$d" = . ]; then echo 'SetOutPath "$INSTDIR"'; else echo "SetOutPath \"\$INSTDIR\\$(winpath "$d")\""; fi
    (cd "$stage" && find "$d" -mindepth 1 -maxdepth 1 -type f | sort) | while read -r f; do
      [[ $f =~ $settings_re ]] && continue
      echo "File \"$stage/${f#./}\""
    done
  done
} > "$lists/files.nsh"
(cd "$stage" && find . -type f | sort) | while read -r f; do
  [[ $f =~ $settings_re ]] && continue
  echo "Delete \"\$INSTDIR\\$(winpath "$f")\""
done > "$lists/unfiles.nsh"
(cd "$stage" && find . -mindepth 1 -type d | sort -r) | while read -r d; do
  echo "RMDir \"\$INSTDIR\\$(winpath "$d")\""
done > "$lists/undirs.nsh"
setup="$out/Morrowpad-$version-setup.exe"
portable="$out/Morrowpad-$version-portable.zip"
rm -f "$setup" "$portable"
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DLISTS="$lists" -DOUTFILE="$setup" \
  -DICON="$root/app/res/Morrowpad.ico" "$root/installer/Morrowpad.nsi"
(cd "$out" && zip -q -r -X "$portable" Morrowpad)
echo "package: $setup"
echo "package: $portable"

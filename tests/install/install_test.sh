#!/usr/bin/env bash
# The installer and the portable zip, end to end, in a private copy of the
# test prefix (the shared one is never touched):
#   1. scripts/package.sh packages the built program folder;
#   2. a silent install writes the program, the Start-menu shortcut and the
#      per-user registry entries;
#   3. the registered "Open with Morrowpad" command opens a file (the frame's
#      title names it) and closing the program writes its settings beside it;
#   4. a silent uninstall removes everything but the settings files and a
#      macro the user recorded;
#   5. a reinstall keeps those settings, and an uninstall with
#      /REMOVESETTINGS leaves nothing;
#   6. the portable zip, unpacked, runs and opens a file.
# Usage: install_test.sh <source root> <window_probe.exe> <work folder>
# Needs DISPLAY (scripts/test.sh starts an Xvfb) and WINEPREFIX (the prepared
# test prefix). Every Wine call has a time limit: the test never hangs.
set -uo pipefail
root=$1 probe=$2 work=$3
src_prefix=${WINEPREFIX:-$root/build/wineprefix}
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then echo "ok: $what"; else fail "$what"; fi; }
die() { echo "FAIL: $*"; exit 1; }

[ -n "${DISPLAY:-}" ] || die "DISPLAY is not set (run through scripts/test.sh)"
[ -f "$src_prefix/system.reg" ] || die "no prepared Wine prefix at $src_prefix"

rm -rf "$work"
mkdir -p "$work"
log="$work/wine.log"

# 1. Packages.
"$root/scripts/package.sh" --no-build --out "$work/package" >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; die "scripts/package.sh failed"; }
setup=$(ls "$work"/package/Morrowpad-*-setup.exe 2>/dev/null | head -1)
zipfile=$(ls "$work"/package/Morrowpad-*-portable.zip 2>/dev/null | head -1)
[ -f "$setup" ] || die "no installer was written"
[ -f "$zipfile" ] || die "no portable zip was written"
listing=$(unzip -Z1 "$zipfile")
for f in Morrowpad.exe Edit.dll chardet.dll mui/en.dll setting.ini history.ini key.ini tools.ini syntax.ini \
         syntax/c.vbs template/c.c macro/ plugin/; do
  grep -qx "Morrowpad/$f" <<<"$listing" || fail "the zip lacks Morrowpad/$f"
done
grep -q "DevHost.exe\|Sample.dll" <<<"$listing" && fail "the zip holds development files"

# 2. A private prefix: the prepared one without its temporary files.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
# The shared prefix's wineserver keeps running and saves the registry now and
# then (a temporary file renamed over system.reg), so tar may see the folder
# change while it reads: that is status 1 and the copy holds one whole version
# of each file. Try again a few times; only a fatal status (2) stops the test.
copy_prefix() {
  rm -rf "$WINEPREFIX" && mkdir -p "$WINEPREFIX" || return 2
  (cd "$src_prefix" && tar --exclude='./drive_c/users/*/Temp/*' -cf - .) | (cd "$WINEPREFIX" && tar -xf -)
  local status=("${PIPESTATUS[@]}")
  [ "${status[1]}" = 0 ] || return 2
  return "${status[0]}"
}
copied=1
for attempt in 1 2 3; do
  copy_prefix; copied=$?
  [ "$copied" = 1 ] || break
  sleep 1
done
[ "$copied" -le 1 ] || die "cannot copy the prefix"
[ "$copied" = 0 ] || echo "note: the shared prefix changed while it was copied"
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1
  [ "${MORROWPAD_KEEP_INSTALL_TEST:-0}" = 1 ] || rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
# No Wine process may hold ctest's output pipe: everything goes to the log.
w() { local limit=$1; shift; timeout "$limit" wine "$@" </dev/null >>"$log" 2>&1; }
w 60 cmd /c exit || die "Wine does not start in the copied prefix"

user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Local 2>/dev/null | grep -v /Public/ | head -1)
[ -n "$user_dir" ] || die "no user profile in the prefix"
profile=${user_dir%/AppData/Local}
inst="$user_dir/Programs/Morrowpad"
inst_win="C:\\users\\$(basename "$profile")\\AppData\\Local\\Programs\\Morrowpad"
shortcut="$profile/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Morrowpad.lnk"
settings=(setting.ini history.ini key.ini tools.ini syntax.ini)
key_exists() { timeout 30 wine reg query "$1" </dev/null >/dev/null 2>&1; }
ini_has() { iconv -f UTF-16 -t UTF-8 "$1" 2>/dev/null | grep -q "$2"; }
left_over() { (cd "$inst" 2>/dev/null && find . -mindepth 1 | sort | tr '\n' ' '); }
# The uninstaller hands over to a copy of itself and returns at once: wait
# until that copy has removed itself from the folder.
uninstall() {
  w 60 "$inst_win\\uninst.exe" /S "$@" || fail "the uninstaller failed"
  local i
  for i in $(seq 300); do [ -e "$inst/uninst.exe" ] || break; sleep 0.1; done
  for i in $(seq 100); do key_exists 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morrowpad' || break; sleep 0.2; done
  sleep 1
}
docs="$WINEPREFIX/drive_c/install test"
mkdir -p "$docs"
printf 'hello from the installer test\r\n' >"$docs/read me.txt"
open_and_close() {  # <what> <command...>: the frame shows "read me.txt", then closes
  local what=$1; shift
  "$@" || { fail "$what: cannot start the program"; return; }
  check "$what: the frame shows the file" w 40 "$probe" wait "read me.txt" 20000
  check "$what: the program closes" w 40 "$probe" close 15000
}

# 2. Install.
check "the installer succeeds" w 120 "$setup" /S
for f in Morrowpad.exe Edit.dll chardet.dll mui/en.dll uninst.exe syntax/c.vbs template/c.c "${settings[@]}"; do
  [ -f "$inst/$f" ] || fail "installed: $f is missing"
done
[ -d "$inst/macro" ] && [ -d "$inst/plugin" ] || fail "installed: the macro and plugin folders are missing"
[ -e "$inst/DevHost.exe" ] && fail "installed: the development host was installed"
check "the Start-menu shortcut exists" test -f "$shortcut"
check "the Open-with command is registered" key_exists 'HKCU\Software\Classes\*\shell\Morrowpad\command'
check "the application is registered" key_exists 'HKCU\Software\Classes\Applications\Morrowpad.exe\shell\open\command'
check "the uninstall entry is registered" key_exists 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morrowpad'

# 3. Open a file the way the shell would, then close.
open_and_close "installed" w 30 "$probe" open-with "C:\\install test\\read me.txt"
check "the program saved its settings beside itself" ini_has "$inst/setting.ini" WinPos

# 4. Uninstall silently: the settings and the user's macro stay.
printf "' recorded by the user\r\n" >"$inst/macro/mine.mac"
uninstall
check "the uninstaller leaves the settings and the user's macro" \
  test "$(left_over)" = "./history.ini ./key.ini ./macro ./macro/mine.mac ./setting.ini ./syntax.ini ./tools.ini "
echo "left after uninstalling: $(left_over)"
check "the Start-menu shortcut is gone" test ! -e "$shortcut"
check "the Open-with entry is gone" eval '! key_exists "HKCU\Software\Classes\*\shell\Morrowpad"'
check "the application entry is gone" eval '! key_exists "HKCU\Software\Classes\Applications\Morrowpad.exe"'
check "the uninstall entry is gone" eval '! key_exists "HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Morrowpad"'

# 5. Reinstall over the kept settings, then remove everything.
check "the installer succeeds again" w 120 "$setup" /S
check "the reinstall keeps the user's settings" ini_has "$inst/setting.ini" WinPos
rm -f "$inst/macro/mine.mac"
uninstall /REMOVESETTINGS
check "/REMOVESETTINGS leaves nothing" test ! -e "$inst"
[ -e "$inst" ] && echo "left: $(left_over)"

# 6. The portable zip runs where it is unpacked.
portable="$WINEPREFIX/drive_c/portable"
mkdir -p "$portable" && unzip -q "$zipfile" -d "$portable" || fail "cannot unpack the zip"
open_and_close "portable" w 30 cmd /c start "" "C:\\portable\\Morrowpad\\Morrowpad.exe" "C:\\install test\\read me.txt"
check "the portable program saved its settings beside itself" ini_has "$portable/Morrowpad/setting.ini" WinPos

if [ $failures -ne 0 ]; then
  echo "$failures check(s) failed; Wine's output is in $log"
  exit 1
fi
echo "all checks passed"

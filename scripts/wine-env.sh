# Sourced: a Wine prefix of the project's own, prepared once so that tests
# never hang on a crash dialog and fonts resolve to real faces.
root=${root:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEPREFIX="$root/build/wineprefix"
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

wine_prefix_ready() {
  [ -f "$WINEPREFIX/.morrowpad-ready-3" ] && return 0
  echo "wine: creating the prefix $WINEPREFIX (once)"
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 </dev/null || true
  wineserver -w
  local reg=(wine reg add)
  "${reg[@]}" 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d "" /f >/dev/null 2>&1
  "${reg[@]}" 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Wine finds the faces of fonts-wine (Marlett, Tahoma...) only in the prefix.
  cp -n /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  local f
  for f in "Courier New:Liberation Mono" "Consolas:DejaVu Sans Mono" "Arial:Liberation Sans" \
           "Segoe UI:DejaVu Sans" "Times New Roman:Liberation Serif"; do
    "${reg[@]}" 'HKCU\Software\Wine\Fonts\Replacements' /v "${f%%:*}" /d "${f#*:}" /f >/dev/null 2>&1
  done
  wineserver -w
  touch "$WINEPREFIX/.morrowpad-ready-3"
}

# Whether the window manager manages Wine's windows (Y or N). On a private
# Xvfb there is none, and hiding a managed top-level window then waits 2 s:
# Wine draws captions and frames itself instead. On a desktop, the desktop's
# window manager should.
wine_managed() {
  local want=$1 mark="$WINEPREFIX/.morrowpad-managed"
  [ -f "$mark" ] && [ "$(cat "$mark")" = "$want" ] && return 0
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$want" /f >/dev/null 2>&1 || true
  wineserver -w
  echo "$want" > "$mark"
}

# Starts Xvfb on a free display unless one is usable already; sets DISPLAY.
xvfb_pid=""
start_display() {
  if [ -n "${DISPLAY:-}" ] && [ "${MORROWPAD_OWN_XVFB:-0}" != 1 ]; then own_display=0; return 0; fi
  own_display=1
  local n=99
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  local i
  for i in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && return 0; sleep 0.1; done
  echo "Xvfb did not start" >&2
  return 1
}

stop_display() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
}

# Wine's services started away from any pipe, so that ctest does not wait on them.
start_wine() {
  # Status 2: a server of this prefix runs already (another shell's), which serves as well.
  wineserver -p 2>/dev/null || [ $? -eq 2 ]
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k 2>/dev/null || true
}

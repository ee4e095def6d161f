#!/usr/bin/env bash
# A private print service for the tests: cupsd with its own socket, spool
# and configuration under a temporary folder, and one printer, MorrowpadPDF
# (the cups-pdf driver), as its default. Wine's processes find it through
# CUPS_SERVER; the system's own print configuration is neither read nor
# changed. Without cups installed, or when cupsd will not start, nothing is
# started and the printing tests say why they skip.
#
# Sourced (scripts/test.sh): start_print_service exports CUPS_SERVER while the
# service runs; stop_print_service stops it and removes its folder.
# Run by hand: scripts/print-service.sh start   (prints the export line)
#              scripts/print-service.sh stop <folder>

print_service_dir=""
print_service_pid=""
print_service_ppd=/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd

start_print_service() {
  if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null || [ ! -f "$print_service_ppd" ]; then
    echo "print service: cups or printer-driver-cups-pdf missing; the printed-page tests will skip" >&2
    return 0
  fi
  local d
  d=$(mktemp -d /tmp/morrowpad-cups.XXXXXX) || return 0
  # Filters and backends run as user lp and must reach the spooled files.
  chmod 755 "$d"
  mkdir -p "$d/etc/ppd" "$d/spool/tmp" "$d/cache" "$d/state" "$d/log"
  cat >"$d/cups-files.conf" <<CONF
ServerRoot $d/etc
RequestRoot $d/spool
TempDir $d/spool/tmp
CacheDir $d/cache
StateDir $d/state
ErrorLog $d/log/error_log
AccessLog $d/log/access_log
PageLog $d/log/page_log
SystemGroup root
CONF
  cat >"$d/cupsd.conf" <<CONF
Listen $d/cups.sock
Browsing No
WebInterface No
LogLevel warn
DefaultPolicy open
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy open>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
  cupsd -f -c "$d/cupsd.conf" -s "$d/cups-files.conf" >"$d/log/cupsd.out" 2>&1 </dev/null &
  print_service_pid=$!
  print_service_dir=$d
  local i
  for i in $(seq 50); do
    if [ -S "$d/cups.sock" ] && CUPS_SERVER="$d/cups.sock" lpstat -r >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
  if ! CUPS_SERVER="$d/cups.sock" lpadmin -p MorrowpadPDF -E -v cups-pdf:/ -P "$print_service_ppd" 2>/dev/null ||
     ! CUPS_SERVER="$d/cups.sock" lpadmin -d MorrowpadPDF 2>/dev/null; then
    echo "print service: cupsd did not take the printer (see $d/log); the printed-page tests will skip" >&2
    stop_print_service
    return 0
  fi
  export CUPS_SERVER="$d/cups.sock"
  echo "print service: printer MorrowpadPDF on $CUPS_SERVER" >&2
}

stop_print_service() {
  # Safe under "set -e": a service already gone is no failure.
  if [ -n "$print_service_pid" ]; then
    kill "$print_service_pid" 2>/dev/null || true
    local i
    for i in $(seq 50); do
      kill -0 "$print_service_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$print_service_pid" 2>/dev/null || true
    wait "$print_service_pid" 2>/dev/null || true
  fi
  if [ -n "$print_service_dir" ]; then rm -rf "$print_service_dir"; fi
  print_service_pid=""
  print_service_dir=""
  unset CUPS_SERVER
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    start)
      start_print_service
      # Left running for the caller: stop it with "stop <folder>".
      if [ -n "$print_service_dir" ]; then echo "export CUPS_SERVER=$print_service_dir/cups.sock"; disown; fi
      ;;
    stop)
      folder=${2:?folder}
      pid=$(pgrep -f "cupsd -f -c $folder/cupsd.conf" | head -1)
      if [ -n "$pid" ]; then kill "$pid"; fi
      sleep 1.5; rm -rf "$folder"
      ;;
    *) echo "usage: $0 start | stop <folder>" >&2; exit 2 ;;
  esac
fi

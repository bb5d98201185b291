#!/usr/bin/env bash
# Runs one command on a desktop of two monitors side by side: an X server of its
# own with two heads joined by Xinerama (800 x 600 at 0,0 and 640 x 480 at 800,0),
# Xephyr, started inside the display it is given (DISPLAY) on a free display
# number. Wine reports Xinerama's heads as monitors only when its X11 driver does
# not use XRandR, so the script first says so in the Wine prefix (WINEPREFIX: the
# command's own, as run_in_fresh_prefix.sh gives every case). The command runs
# with DISPLAY set to Xephyr's. Afterwards, whatever the outcome, the prefix's Wine
# server (and with it every Wine program drawing on Xephyr) is stopped, then
# Xephyr. Exits with the command's status; Xephyr's output is in xephyr.log in the
# working folder.
#
# Listing the cases (--gtest_list_tests) starts nothing: it runs as it is.
#
#   run_on_two_monitors.sh COMMAND [ARGUMENT...]
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 COMMAND [ARGUMENT...]" >&2
  exit 64
fi
for argument in "$@"; do
  [[ "$argument" == --gtest_list_tests ]] && exec "$@"
done
if [[ -z "${DISPLAY:-}" || -z "${WINEPREFIX:-}" ]]; then
  echo "run_on_two_monitors: needs DISPLAY (to start Xephyr in) and WINEPREFIX (the case's own prefix)" >&2
  exit 69
fi
if ! command -v Xephyr >/dev/null; then
  echo "run_on_two_monitors: Xephyr is not installed (Debian package xserver-xephyr)" >&2
  exit 69
fi

xephyr_pid=""
display_file="$(mktemp)"
# The Wine programs first: they draw on Xephyr, which must outlive them.
stop_all() {
  WINEPREFIX="$WINEPREFIX" timeout 30 wineserver -k >/dev/null 2>&1 || true
  WINEPREFIX="$WINEPREFIX" timeout 30 wineserver -w >/dev/null 2>&1 || true
  if [[ -n "$xephyr_pid" ]]; then
    kill "$xephyr_pid" 2>/dev/null || true
    wait "$xephyr_pid" 2>/dev/null || true
  fi
  rm -f "$display_file"
}
trap stop_all EXIT
trap 'exit 143' TERM INT

Xephyr -displayfd 3 +xinerama -screen 800x600x24 -screen 640x480x24 -nolisten tcp -noreset \
  3>"$display_file" >xephyr.log 2>&1 &
xephyr_pid=$!
waited=0
while [[ ! -s "$display_file" ]]; do
  if ! kill -0 "$xephyr_pid" 2>/dev/null || [[ $waited -ge 300 ]]; then
    echo "run_on_two_monitors: Xephyr did not start; its log:" >&2
    cat xephyr.log >&2 || true
    exit 1
  fi
  sleep 0.1
  waited=$((waited + 1))
done
two_monitors=":$(tr -dc '0-9' <"$display_file")"

# Without a display, so that no Wine program of the prefix starts on one before
# the setting is in; the server then writes the registry out as it ends.
export WINEDEBUG=-all
if ! DISPLAY= timeout 120 wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /t REG_SZ \
  /d N /f </dev/null >/dev/null 2>&1; then
  echo "run_on_two_monitors: cannot set UseXRandR in $WINEPREFIX" >&2
  exit 1
fi
timeout 60 wineserver -w || true

status=0
DISPLAY="$two_monitors" "$@" || status=$?
exit "$status"

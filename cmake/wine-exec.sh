#!/usr/bin/env bash
# Runs one Windows program under Wine and exits with that program's own exit status.
# The cross build uses it as its CMAKE_CROSSCOMPILING_EMULATOR, so CTest and custom
# commands run the .exe files through it.
#
#   wine-exec.sh [--default-prefix=DIR] PROGRAM.exe [ARGUMENT...]
#   wine-exec.sh [--default-prefix=DIR] --prepare
#
# The Wine prefix is WINEPREFIX from the environment when set, else DIR, else one under
# the temporary folder. A prefix that is missing is made first, once, under a lock, so
# tests started in parallel wait for one `wineboot` instead of racing it. --prepare makes
# the prefix (no display needed) and runs nothing; the Wine server that making it
# started is stopped again before it returns.
#
# This script starts no X server: the program draws on DISPLAY, which whoever runs the
# tests provides (scripts/test does), and whoever started a prefix's Wine server stops
# it (`WINEPREFIX=... wineserver -k`).
#
# Environment: GLIMMERWEAVE_WINEBOOT_TIMEOUT (seconds, default 300) bounds the making of
# a prefix.
set -euo pipefail

default_prefix=""
if [[ "${1:-}" == --default-prefix=* ]]; then
  default_prefix="${1#--default-prefix=}"
  shift
fi
prepare_only=0
if [[ "${1:-}" == --prepare ]]; then
  prepare_only=1
  shift
fi
if [[ $prepare_only -eq 0 && $# -eq 0 ]]; then
  echo "usage: $0 [--default-prefix=DIR] (--prepare | PROGRAM.exe [ARGUMENT...])" >&2
  exit 64
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
# DirectDraw through Wine's GDI renderer: with the OpenGL one a frame reaches the
# screen some time after the copy returns, and a windowed area's copy repaints
# its whole window.
export WINE_D3D_CONFIG="${WINE_D3D_CONFIG:-renderer=gdi}"
export WINEARCH=win64
if [[ -z "${WINEPREFIX:-}" ]]; then
  WINEPREFIX="${default_prefix:-${TMPDIR:-/tmp}/glimmerweave-wine-$(id -u)}"
fi
export WINEPREFIX

# Makes the prefix once. The marker file is written only after wineboot finished and
# its server wrote the registry out, so a prefix left half-made by an interrupted run
# is completed by the next one.
prepare_prefix() {
  local marker="$WINEPREFIX/.glimmerweave-ready"
  [[ -f "$marker" ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock -w 900 9 || { echo "wine-exec: timed out waiting for $WINEPREFIX.lock" >&2; exit 1; }
    if [[ ! -f "$marker" ]]; then
      local limit="${GLIMMERWEAVE_WINEBOOT_TIMEOUT:-300}"
      echo "wine-exec: making the Wine prefix $WINEPREFIX" >&2
      # Without a display, so that the window Wine shows while it sets a prefix up
      # cannot come up over a test's window.
      if ! DISPLAY= timeout "$limit" wineboot --init </dev/null >&2; then
        echo "wine-exec: wineboot --init failed or took longer than ${limit} s" >&2
        timeout 30 wineserver -k 2>/dev/null || true
        exit 1
      fi
      # The server wineboot started writes the registry out when it ends: end it
      # (this script started it) and wait for it.
      timeout "$limit" wineserver -w || true
      touch "$marker"
    fi
  ) 9>"$WINEPREFIX.lock"
}

if [[ $prepare_only -eq 0 && -z "${DISPLAY:-}" ]]; then
  cat >&2 <<'EOF_MESSAGE'
wine-exec: no DISPLAY for the Windows program to draw on.
  Run the tests through scripts/test, which starts a virtual X server for its run,
  or start one around the command yourself, for example:
    xvfb-run -s "-screen 0 1280x1024x24" ctest --preset windows
EOF_MESSAGE
  exit 69
fi

prepare_prefix
if [[ $prepare_only -eq 1 ]]; then
  exit 0
fi

# Wine's background processes (services.exe, explorer.exe and the like) outlive the
# program and keep the standard error they were started with open; started here with
# no output attached, they cannot hold the pipes of CTest or execute_process open.
wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
exec wine "$@"

#!/usr/bin/env bash
# Runs one Windows program under Wine and exits with that program's own exit status.
# The cross build uses it as its CMAKE_CROSSCOMPILING_EMULATOR, so CTest and custom
# commands run the .exe files through it.
#
#   wine-exec.sh [--default-prefix=DIR] PROGRAM.exe [ARGUMENT...]
#   wine-exec.sh [--default-prefix=DIR] --prepare
#
# The Wine prefix is WINEPREFIX from the environment when set, else DIR, else one under
# the temporary folder. A prefix that is not ready yet is made first, under a lock, so
# tests started in parallel wait for one `wineboot` instead of racing it. --prepare makes
# the prefix and runs nothing. Without a DISPLAY the program gets a private Xvfb screen.
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

# Makes the prefix once. The marker file is written only after wineboot finished, so a
# prefix left half-made by an interrupted run is completed by the next one.
prepare_prefix() {
  local marker="$WINEPREFIX/.glimmerweave-ready"
  [[ -f "$marker" ]] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock -w 900 9 || { echo "wine-exec: timed out waiting for $WINEPREFIX.lock" >&2; exit 1; }
    if [[ ! -f "$marker" ]]; then
      local limit="${GLIMMERWEAVE_WINEBOOT_TIMEOUT:-300}"
      echo "wine-exec: making the Wine prefix $WINEPREFIX" >&2
      if ! timeout "$limit" wineboot --init </dev/null >&2; then
        echo "wine-exec: wineboot --init failed or took longer than ${limit} s" >&2
        exit 1
      fi
      # wineboot returns before the server has written the registry out; wait for it.
      timeout "$limit" wineserver -w || true
      touch "$marker"
    fi
  ) 9>"$WINEPREFIX.lock"
}

# Starts the Wine server and Wine's own background processes (services.exe, explorer.exe
# and the like) unless they run already. They outlive the program and keep the standard
# error they were started with open; started here with no output attached, they cannot
# hold the pipes of CTest or execute_process open until the server exits.
# ARGUMENTS are passed to wineserver.
start_wine_background() {
  wineserver "$@" </dev/null >/dev/null 2>&1 || true
  wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
}

prepare_prefix
if [[ $prepare_only -eq 1 ]]; then
  exit 0
fi

if [[ -z "${DISPLAY:-}" ]]; then
  # No display: run again under a private Xvfb (xvfb-run exits with the status of the
  # command it ran). The random start keeps parallel runs from racing for one display.
  exec xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1024x768x24 -nolisten tcp" \
    env GLIMMERWEAVE_WINE_PRIVATE_DISPLAY=1 "$0" "$@"
fi

if [[ "${GLIMMERWEAVE_WINE_PRIVATE_DISPLAY:-}" == 1 ]]; then
  # Wine's background processes are connected to this private X server: wait for the
  # Wine server to go away before xvfb-run stops the X server under them. A server
  # started here goes away as soon as the last Wine program ends.
  start_wine_background -p0
  status=0
  wine "$@" || status=$?
  wineserver -w || true
  exit "$status"
fi
start_wine_background
exec wine "$@"

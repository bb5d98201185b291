#!/usr/bin/env bash
# Runs one command in a Wine prefix of its own: a copy of the ready prefix
# PRISTINE, made inside WORK_DIR, which is also the command's working folder.
# Afterwards, whatever the outcome, the copy's Wine server is stopped and the
# copy deleted; WORK_DIR keeps what the command wrote there (for example the
# screenshots of a failure). Exits with the command's status.
#
#   run_in_fresh_prefix.sh PRISTINE WORK_DIR COMMAND [ARGUMENT...]
set -euo pipefail

if [[ $# -lt 3 ]]; then
  echo "usage: $0 PRISTINE WORK_DIR COMMAND [ARGUMENT...]" >&2
  exit 64
fi
pristine="$1"
work="$2"
shift 2
if [[ ! -f "$pristine/.glimmerweave-ready" ]]; then
  echo "run_in_fresh_prefix: $pristine is not a ready Wine prefix" >&2
  exit 1
fi
prefix="$work/wine-prefix"

# Stops every Wine process of the copy and deletes it.
remove_prefix() {
  if [[ -d "$prefix" ]]; then
    WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
}
trap remove_prefix EXIT
trap 'exit 143' TERM INT

rm -rf "$work"
mkdir -p "$work"
cp -a "$pristine" "$prefix"
cd "$work"
export WINEPREFIX="$prefix"
status=0
"$@" || status=$?
exit "$status"

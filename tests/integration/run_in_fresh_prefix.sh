#!/usr/bin/env bash
# Runs one integration case in a Wine prefix of its own: a copy of the ready prefix
# PRISTINE, made in WORK_ROOT/CASE, which is also the command's working folder (CASE
# is the case's name, from the command's --gtest_filter=Suite.CASE). Afterwards,
# whatever the outcome, the copy's Wine server is stopped and the copy deleted; the
# case's folder keeps what the command wrote there (for example the screenshots of a
# failure). Exits with the command's status.
#
# Listing the cases (--gtest_list_tests) starts nothing and needs no prefix of its
# own: it runs as it is, in the environment's prefix.
#
#   run_in_fresh_prefix.sh PRISTINE WORK_ROOT COMMAND [ARGUMENT...]
set -euo pipefail

if [[ $# -lt 3 ]]; then
  echo "usage: $0 PRISTINE WORK_ROOT COMMAND [ARGUMENT...]" >&2
  exit 64
fi
pristine="$1"
work_root="$2"
shift 2

case_name=""
for argument in "$@"; do
  case "$argument" in
    --gtest_list_tests) exec "$@" ;;
    --gtest_filter=*.*) case_name="${argument#--gtest_filter=*.}" ;;
  esac
done
if [[ ! "$case_name" =~ ^[A-Za-z0-9_]+$ ]]; then
  echo "run_in_fresh_prefix: no single case named by --gtest_filter=Suite.Case" >&2
  exit 64
fi
if [[ ! -f "$pristine/.glimmerweave-ready" ]]; then
  echo "run_in_fresh_prefix: $pristine is not a ready Wine prefix" >&2
  exit 1
fi
work="$work_root/$case_name"
prefix="$work/wine-prefix"

# Stops every Wine process of the copy (this script started its server) and deletes it.
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

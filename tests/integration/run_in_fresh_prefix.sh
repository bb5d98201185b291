#!/usr/bin/env bash
# Runs one integration case in a Wine prefix of its own: a copy of the ready prefix
# PRISTINE, made in WORK_ROOT/CASE, which is also the command's working folder (CASE
# is the case's name, from the command's --gtest_filter=Suite.CASE). Afterwards,
# whatever the outcome, the copy's Wine server is stopped and the copy deleted; the
# case's folder keeps what the command wrote there (for example the screenshots of a
# failure). Exits with the command's status.
#
# A command that ends with a failure before printing anything was never started by
# Wine (the test programs print their first line before a case begins); that launch
# is said so and tried once more in a new copy, so that a hiccup of Wine's start-up
# does not pass for a failing case.
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
command_pid=""
remove_prefix() {
  if [[ -n "$command_pid" ]]; then kill "$command_pid" 2>/dev/null || true; fi
  if [[ -d "$prefix" ]]; then
    WINEPREFIX="$prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" timeout 30 wineserver -w >/dev/null 2>&1 || true
    rm -rf "$prefix"
  fi
}
trap remove_prefix EXIT
trap 'exit 143' TERM INT

# Runs the command once in a new copy of the prefix. Its output goes to a file and is
# followed from there, so that a Wine process outliving the command cannot hold the
# output of this script open.
run_once() {
  remove_prefix
  cp -a "$pristine" "$prefix"
  : >"$output"
  "$@" >"$output" 2>&1 &
  command_pid=$!
  tail -n +1 -s 0.1 -f --pid="$command_pid" "$output" &
  local follower_pid=$!
  status=0
  wait "$command_pid" || status=$?
  wait "$follower_pid" || true
  command_pid=""
}

rm -rf "$work"
mkdir -p "$work"
cd "$work"
export WINEPREFIX="$prefix"
output="$work/output.txt"
status=0
run_once "$@"
if [[ $status -ne 0 && ! -s "$output" ]]; then
  echo "run_in_fresh_prefix: the command ended with status $status without printing" \
    "anything: Wine did not start it. Once more in a new copy of the prefix." >&2
  run_once "$@"
fi
exit "$status"

#!/usr/bin/env bash
# The Debian package as Debian would check it, without installing it:
#
#   deb_test.sh DEB RENDERER VERSION
#
# lintian finds no error or warning; the files are where Debian's screen-saver
# packages put theirs; its version is the project's; and its programs, extracted,
# run: its glimmerweave-render draws the tree's RENDERER's frame byte for byte, and
# its glimmerweave answers -help. Prints "N passed, N failed"; exits 1 on a failure.
set -uo pipefail
deb="$1" renderer="$2" version="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
check() {  # check NAME COMMAND...: runs COMMAND, counts and reports it
  local name="$1"
  shift
  if "$@" >"$work/output" 2>&1; then
    passed=$((passed + 1)) && echo "passed: $name"
  else
    failed=$((failed + 1)) && echo "FAILED: $name" && cat "$work/output"
  fi
}

check "lintian --pedantic finds no error or warning" \
  lintian --pedantic -I --fail-on error,warning "$deb"

expected="./usr/bin/glimmerweave -> ../libexec/xscreensaver/glimmerweave
./usr/bin/glimmerweave-bench
./usr/bin/glimmerweave-render
./usr/libexec/xscreensaver/glimmerweave
./usr/share/applications/screensavers/glimmerweave.desktop
./usr/share/doc/glimmerweave/README.md.gz
./usr/share/doc/glimmerweave/changelog.Debian.gz
./usr/share/doc/glimmerweave/copyright
./usr/share/lintian/overrides/glimmerweave
./usr/share/man/man1/glimmerweave-bench.1.gz
./usr/share/man/man1/glimmerweave-render.1.gz
./usr/share/man/man6/glimmerweave.6.gz
./usr/share/xscreensaver/config/glimmerweave.xml"
files() { dpkg-deb -c "$deb" | grep -v '/$' | awk '{$1=$2=$3=$4=$5=""; sub(/^ +/, ""); print}' | sort; }
check "the files are where Debian's screen savers put theirs" diff <(echo "$expected") <(files)
check "the version is the project's, revision 1" \
  test "$(dpkg-deb -f "$deb" Version)" = "$version-1"

dpkg-deb -x "$deb" "$work/root"
frame=(--algorithm 22 --width 160 --height 120 --seed 42 --phase-a 1 --phase-b 2 --ticks 3)
"$renderer" "${frame[@]}" --output "$work/tree.ppm" >/dev/null
check "its renderer draws the tree's frame byte for byte" bash -c \
  "'$work/root/usr/bin/glimmerweave-render' ${frame[*]} --output '$work/package.ppm' &&
   cmp '$work/tree.ppm' '$work/package.ppm'"
check "its glimmerweave answers -help" bash -c \
  "'$work/root/usr/libexec/xscreensaver/glimmerweave' -help | grep -q '^Usage: glimmerweave'"

echo "$passed passed, $failed failed"
((failed == 0))

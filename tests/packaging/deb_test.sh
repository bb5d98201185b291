#!/usr/bin/env bash
# The Debian upload (source package and binary package) as Debian would check it,
# without installing it:
#
#   deb_test.sh CHANGES RENDERER VERSION
#
# lintian --pedantic finds no tag of any level in the upload CHANGES lists, but those
# that debian/'s overrides name with their reasons; desktop-file-validate no error or
# warning in the desktop entry; the files are where Debian's screen-saver packages put
# theirs; its version is the project's; its programs, extracted, run: its
# glimmerweave-render draws the tree's RENDERER's frame byte for byte, and its
# glimmerweave answers -help; and the source package unpacks, and its autopkgtests
# (debian/tests) pass against the extracted programs. Prints "N passed, N failed";
# exits 1 on a failure.
set -uo pipefail
changes="$1" renderer="$2" version="$3"
# The files of the upload, in the .changes file's folder.
uploaded() { sed -n "/^Files:/,/^[^ ]/s/^ .* \($1\)\$/\1/p" "$changes"; }
deb="$(dirname "$changes")/$(uploaded 'glimmerweave_[^ ]*\.deb')"
dsc="$(dirname "$changes")/$(uploaded '[^ ]*\.dsc')"
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

check "lintian --pedantic finds nothing in the source and binary packages, overrides aside" \
  lintian --pedantic -I --fail-on error,warning,info,pedantic "$changes"

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
# desktop-file-validate's hints are not faults: "Screensaver" is no main category.
check "desktop-file-validate finds no error or warning in the desktop entry" bash -c \
  "desktop-file-validate '$work/root/usr/share/applications/screensavers/glimmerweave.desktop' |
   (! grep -v ': hint: ')"
frame=(--algorithm 22 --width 160 --height 120 --seed 42 --phase-a 1 --phase-b 2 --ticks 3)
"$renderer" "${frame[@]}" --output "$work/tree.ppm" >/dev/null
check "its renderer draws the tree's frame byte for byte" bash -c \
  "'$work/root/usr/bin/glimmerweave-render' ${frame[*]} --output '$work/package.ppm' &&
   cmp '$work/tree.ppm' '$work/package.ppm'"
check "its glimmerweave answers -help" bash -c \
  "'$work/root/usr/libexec/xscreensaver/glimmerweave' -help | grep -q '^Usage: glimmerweave'"

check "the source package unpacks" dpkg-source -x "$dsc" "$work/source"
# As autopkgtest runs them: from the source's top, the programs found on PATH.
for test in $(sed -n 's/^Tests: *//p' "$work/source/debian/tests/control" 2>/dev/null); do
  check "autopkgtest $test passes against the extracted programs" env \
    -C "$work/source" PATH="$work/root/usr/bin:$PATH" AUTOPKGTEST_TMP="$(mktemp -d -p "$work")" \
    "debian/tests/$test"
done

echo "$passed passed, $failed failed"
((failed == 0))

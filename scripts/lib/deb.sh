# The Debian package (sourced by scripts/package and scripts/test, after common.sh).
#
# make_deb DIR: builds the source package and the binary package of the checkout's
# HEAD, as a Debian developer builds an upload (dpkg-buildpackage -us -uc), in
# build/deb/, and moves into DIR what the upload holds: the upstream tarball
# glimmerweave_<upstream>.orig.tar.xz (git archive of HEAD without debian/), the
# .dsc and its debian.tar.xz, the .deb and its -dbgsym .deb, the .buildinfo and the
# .changes that lists them all. The package's build runs the reference-frame tests.
# Prints the .changes file's path last.
#
# Both the test run and scripts/package build here, from the commit alone, with the
# changelog's date as SOURCE_DATE_EPOCH, so that they make the same .deb byte for
# byte; uncommitted changes are not in it.

make_deb() {
  local dir="$1" work="$GLIMMERWEAVE_BUILD/deb" version upstream source changes file
  rm -rf "$work" && mkdir -p "$work/tree" "$dir" || return 1
  git -C "$GLIMMERWEAVE_ROOT" archive --format=tar HEAD | tar -xf - -C "$work/tree" || return 1
  version="$(dpkg-parsechangelog -l "$work/tree/debian/changelog" -S Version)" || return 1
  upstream="${version%-*}"
  source="$work/glimmerweave-$upstream"
  mv "$work/tree" "$source" || return 1
  # xz on one thread: several threads would compress the same tar differently.
  git -C "$GLIMMERWEAVE_ROOT" archive --format=tar --prefix="glimmerweave-$upstream/" HEAD \
    -- . ':(exclude)debian' | xz -6 -T1 >"$work/glimmerweave_$upstream.orig.tar.xz" || return 1
  if [[ -n "$(git -C "$GLIMMERWEAVE_ROOT" status --porcelain 2>/dev/null)" ]]; then
    echo "note: the Debian package is built from HEAD; uncommitted changes are not in it" >&2
  fi
  (cd "$source" &&
    SOURCE_DATE_EPOCH="$(dpkg-parsechangelog -S Timestamp)" dpkg-buildpackage -us -uc) >&2 ||
    return 1
  changes="glimmerweave_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).changes"
  # The .changes file names the files of the upload in its Files field.
  for file in $(sed -n '/^Files:/,/^[^ ]/s/^ [0-9a-f]\{32\} [0-9]* [^ ]* [^ ]* //p' \
    "$work/$changes") "$changes"; do
    mv "$work/$file" "$dir/" || return 1
  done
  echo "$dir/$changes"
}

# The Debian package (sourced by scripts/package and scripts/test, after common.sh).
#
# make_deb DIR: builds glimmerweave_<version>_amd64.deb with dpkg-buildpackage from a
# copy of the checkout's files (those git tracks, and new ones it does not ignore) in
# build/deb/, where dpkg-buildpackage also leaves its other files, and moves the
# package into DIR. The package's build runs the reference-frame tests. Prints the
# package's path last.

make_deb() {
  local dir="$1" work="$GLIMMERWEAVE_BUILD/deb" version source deb
  version="$(dpkg-parsechangelog -l "$GLIMMERWEAVE_ROOT/debian/changelog" -S Version)" || return 1
  source="$work/glimmerweave-${version%-*}"
  rm -rf "$work" && mkdir -p "$source" "$dir" || return 1
  (cd "$GLIMMERWEAVE_ROOT" && git ls-files -co --exclude-standard -z | xargs -0 tar -cf - --) |
    tar -xf - -C "$source" || return 1
  (cd "$source" && dpkg-buildpackage -us -uc -b) >&2 || return 1
  deb="glimmerweave_${version}_amd64.deb"
  mv "$work/$deb" "$dir/" || return 1
  echo "$dir/$deb"
}

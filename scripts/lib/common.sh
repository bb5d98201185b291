# Shared by scripts/setup, scripts/test and scripts/run (sourced, not run): where things
# are, section headings, installing Debian packages, fetching Debian's libpng source for
# the Windows build, and the X server the Windows programs draw on.

GLIMMERWEAVE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
GLIMMERWEAVE_BUILD="$GLIMMERWEAVE_ROOT/build"
GLIMMERWEAVE_LIBPNG_SOURCE="$GLIMMERWEAVE_BUILD/deps/libpng"
# The Windows build's own default prefix (see cmake/mingw-w64-x86_64.cmake), so ctest
# run by hand later reuses the prefix the scripts made.
GLIMMERWEAVE_WINEPREFIX="$GLIMMERWEAVE_BUILD/windows/wine-prefix"
GLIMMERWEAVE_WINE_EXEC="$GLIMMERWEAVE_ROOT/cmake/wine-exec.sh"

# What the native build and its tests need.
GLIMMERWEAVE_PACKAGES_NATIVE=(g++ cmake ninja-build googletest libpng-dev zlib1g-dev)
# What the Windows build and running it under Wine need; dpkg-dev unpacks and patches
# the libpng source.
GLIMMERWEAVE_PACKAGES_WINDOWS=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev
  wine wine64 xvfb xauth x11-utils dpkg-dev xz-utils)

# Prints a heading that stands out in a long log.
section() {
  printf '\n==== %s ====\n' "$*"
}

# Runs a command as root: directly when we are root (as in CI), else through sudo.
as_root() {
  if [[ "$(id -u)" -eq 0 ]]; then
    "$@"
  else
    sudo "$@"
  fi
}

_glimmerweave_apt_updated=0

# Runs apt-get update, at most once per script run unless FORCE is given.
apt_update() {
  if [[ $_glimmerweave_apt_updated -eq 1 && "${1:-}" != force ]]; then
    return 0
  fi
  section "apt-get update"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update
  _glimmerweave_apt_updated=1
}

# Installs those of the given Debian packages that are not installed yet. On a machine
# that has them all this touches neither the network nor apt.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    if [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" != "install ok installed" ]]; then
      missing+=("$package")
    fi
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    return 0
  fi
  apt_update
  section "Installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" </dev/null
}

# True when apt knows the source package libpng1.6 (a deb-src entry is configured and
# its lists are fetched).
_libpng_source_known() {
  local records
  records="$(apt-cache showsrc libpng1.6 2>/dev/null || true)"
  grep -qx 'Package: libpng1\.6' <<<"$records"
}

# Adds a deb-src entry for Debian's main archive unless one is there, so that apt can
# fetch source packages after its next update. (The security archive is left out on
# purpose: it does not always serve the source of the version it lists.)
_add_deb_src_entry() {
  local entry=/etc/apt/sources.list.d/debian-src.sources
  if [[ -e "$entry" ]]; then
    return 0
  fi
  section "Adding the deb-src entry $entry"
  as_root tee "$entry" >/dev/null <<'EOF_ENTRY'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF_ENTRY
  # The next apt_update must run even if one ran already.
  _glimmerweave_apt_updated=0
}

# True when Debian's libpng source has been fetched and unpacked already.
_libpng_source_fetched() {
  [[ -f "$GLIMMERWEAVE_LIBPNG_SOURCE/.glimmerweave-source" ]]
}

# Fetches Debian's libpng1.6 source for bookworm into build/deps/libpng, with Debian's
# patches applied, unless it is there already.
ensure_libpng_source() {
  if _libpng_source_fetched; then
    return 0
  fi
  ensure_packages dpkg-dev xz-utils
  if ! _libpng_source_known; then
    _add_deb_src_entry
    apt_update force
    if ! _libpng_source_known; then
      echo "error: apt knows no source package libpng1.6; check the deb-src entries" >&2
      return 1
    fi
  fi

  section "Fetching Debian's libpng1.6 source"
  local download="$GLIMMERWEAVE_BUILD/deps/libpng-download"
  rm -rf "$download" "$GLIMMERWEAVE_LIBPNG_SOURCE"
  mkdir -p "$download"
  (cd "$download" && apt-get source --download-only libpng1.6/bookworm)
  local dsc
  dsc="$(find "$download" -maxdepth 1 -name 'libpng1.6_*.dsc' | head -n 1)"
  if [[ -z "$dsc" ]]; then
    echo "error: apt-get source fetched no libpng1.6 .dsc file" >&2
    return 1
  fi
  dpkg-source -x "$dsc" "$GLIMMERWEAVE_LIBPNG_SOURCE"
  basename "$dsc" .dsc >"$GLIMMERWEAVE_LIBPNG_SOURCE/.glimmerweave-source"
  echo "libpng source: $(basename "$dsc" .dsc) in $GLIMMERWEAVE_LIBPNG_SOURCE"
}

# Installs everything the given parts need (native, windows, run) and the libpng source
# when the Windows build is among them.
prepare_machine() {
  local packages=() part
  for part in "$@"; do
    case "$part" in
      native) packages+=("${GLIMMERWEAVE_PACKAGES_NATIVE[@]}") ;;
      windows) packages+=("${GLIMMERWEAVE_PACKAGES_WINDOWS[@]}") ;;
      run) packages+=(imagemagick) ;;
      *) echo "prepare_machine: unknown part '$part'" >&2; return 1 ;;
    esac
  done
  local windows=0
  for part in "$@"; do
    if [[ "$part" == windows ]]; then
      windows=1
    fi
  done
  # A deb-src entry added first is picked up by the one update an install needs anyway.
  if [[ $windows -eq 1 ]] && ! _libpng_source_fetched && ! _libpng_source_known; then
    _add_deb_src_entry
  fi
  ensure_packages "${packages[@]}"
  if [[ $windows -eq 1 ]]; then
    ensure_libpng_source
  fi
}

_glimmerweave_xvfb_pid=""

# Starts one Xvfb on a free display (24-bit colour) and exports DISPLAY for it. The
# server stops when stop_xvfb runs (the scripts call it from their exit trap).
start_xvfb() {
  local display_file
  mkdir -p "$GLIMMERWEAVE_BUILD"
  display_file="$(mktemp)"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" \
    >"$GLIMMERWEAVE_BUILD/xvfb.log" 2>&1 &
  _glimmerweave_xvfb_pid=$!
  local waited=0
  while [[ ! -s "$display_file" ]]; do
    if ! kill -0 "$_glimmerweave_xvfb_pid" 2>/dev/null || [[ $waited -ge 300 ]]; then
      echo "error: Xvfb did not start; its log:" >&2
      cat "$GLIMMERWEAVE_BUILD/xvfb.log" >&2 || true
      rm -f "$display_file"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  export DISPLAY=":$(tr -dc '0-9' <"$display_file")"
  rm -f "$display_file"
  echo "Xvfb (pid $_glimmerweave_xvfb_pid) serves DISPLAY=$DISPLAY"
}

# Stops the Xvfb that start_xvfb started, if any.
stop_xvfb() {
  if [[ -n "$_glimmerweave_xvfb_pid" ]]; then
    kill "$_glimmerweave_xvfb_pid" 2>/dev/null || true
    wait "$_glimmerweave_xvfb_pid" 2>/dev/null || true
    _glimmerweave_xvfb_pid=""
  fi
}

# Shared by the scripts (sourced, not run): where things are, section headings,
# installing Debian packages, and the test environment of a run: one X server and one
# Wine prefix, started here and stopped here.
#
# Nothing here writes outside the checkout, except apt-get installing Debian packages.

GLIMMERWEAVE_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
GLIMMERWEAVE_BUILD="$GLIMMERWEAVE_ROOT/build"
# The Windows build's own default prefix (see cmake/mingw-w64-x86_64.cmake), so ctest
# run by hand later reuses the prefix the scripts made.
GLIMMERWEAVE_WINEPREFIX="$GLIMMERWEAVE_BUILD/windows/wine-prefix"
GLIMMERWEAVE_WINE_EXEC="$GLIMMERWEAVE_ROOT/cmake/wine-exec.sh"

# What the native build, its tests (on X, and on Wayland in headless sway, Weston, Mutter
# and KWin, the last two on a D-Bus session bus of their own), the source checks and the
# fuzzers need.
GLIMMERWEAVE_PACKAGES_NATIVE=(g++ cmake ninja-build googletest libpng-dev
  clang-format clang-tidy clang libclang-rt-14-dev libx11-dev libxext-dev libxrender-dev xvfb xscreensaver
  pkg-config libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols libsystemd-dev
  sway grim wtype weston dbus-daemon libglib2.0-bin python3-gi wayland-utils)
# The desktops' compositors, without what they recommend (KWin's would bring the whole
# Plasma desktop): the tests run them alone.
GLIMMERWEAVE_PACKAGES_COMPOSITORS=(mutter kwin-wayland)
# What the Windows build (with its installer and zip) and running it under Wine on a
# virtual display need; Xephyr gives the tests of several monitors two screens.
GLIMMERWEAVE_PACKAGES_WINDOWS=(g++-mingw-w64-x86-64-posix wine wine64 xvfb xserver-xephyr
  nsis zip)
# What making the Windows packages alone needs (scripts/package): no Wine; GoogleTest
# only because the windows preset configures its tests, which this builds none of.
GLIMMERWEAVE_PACKAGES_PACKAGE=(cmake ninja-build g++-mingw-w64-x86-64-posix nsis zip
  googletest)

# The project's version, as project(... VERSION ...) in CMakeLists.txt writes it.
project_version() {
  sed -n 's/^project(Glimmerweave VERSION \([0-9.]*\) .*/\1/p' "$GLIMMERWEAVE_ROOT/CMakeLists.txt"
}

# What building the Debian package needs: its Build-Depends (debian/control), debhelper;
# and checking it: lintian, desktop-file-validate, and what its autopkgtests depend on
# (debian/tests/control).
GLIMMERWEAVE_PACKAGES_DEB=(dpkg-dev debhelper lintian cmake ninja-build g++ googletest
  libpng-dev libx11-dev libxext-dev libxrender-dev libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols libsystemd-dev pkgconf
  desktop-file-utils netpbm x11-apps xauth xvfb)

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

# Installs those of the given Debian packages that are not installed yet (with
# --no-install-recommends first, without what they recommend). On a machine
# that has them all this touches neither the network nor apt.
ensure_packages() {
  local missing=() package options=()
  if [[ "${1:-}" == --no-install-recommends ]]; then
    options=("$1")
    shift
  fi
  for package in "$@"; do
    if [[ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)" != "install ok installed" ]]; then
      missing+=("$package")
    fi
  done
  if [[ ${#missing[@]} -eq 0 ]]; then
    return 0
  fi
  section "apt-get update"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update
  section "Installing ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "${options[@]}" "${missing[@]}" \
    </dev/null
}

# Installs everything the given parts need: native, windows, package, run (ImageMagick
# for the screenshot of a run without a display), deb, measure (xdotool, which hides
# the window whose cost scripts/measure reads).
prepare_machine() {
  local packages=() part
  for part in "$@"; do
    case "$part" in
      native) packages+=("${GLIMMERWEAVE_PACKAGES_NATIVE[@]}") ;;
      windows) packages+=("${GLIMMERWEAVE_PACKAGES_WINDOWS[@]}") ;;
      package) packages+=("${GLIMMERWEAVE_PACKAGES_PACKAGE[@]}") ;;
      run) packages+=(imagemagick) ;;
      deb) packages+=("${GLIMMERWEAVE_PACKAGES_DEB[@]}") ;;
      measure) packages+=(xdotool) ;;
      *) echo "prepare_machine: unknown part '$part'" >&2; return 1 ;;
    esac
  done
  ensure_packages "${packages[@]}"
  if [[ " $* " == *" native "* ]]; then
    ensure_packages --no-install-recommends "${GLIMMERWEAVE_PACKAGES_COMPOSITORS[@]}"
  fi
}

# ---------------------------------------------------------------------------------------
# The environment of a run: one X server and one Wine prefix

_glimmerweave_xvfb_pid=""
_glimmerweave_started_prefix=""

# Starts one Xvfb on a free display (a screen of $1, default 1280x1024, 24-bit colour)
# and exports DISPLAY for it. Its log is build/xvfb.log; stop_environment stops it.
start_xvfb() {
  local display_file="$GLIMMERWEAVE_BUILD/xvfb.display"
  mkdir -p "$GLIMMERWEAVE_BUILD"
  : >"$display_file"
  Xvfb -displayfd 3 -screen 0 "${1:-1280x1024}x24" -nolisten tcp 3>"$display_file" \
    >"$GLIMMERWEAVE_BUILD/xvfb.log" 2>&1 &
  _glimmerweave_xvfb_pid=$!
  local waited=0
  while [[ ! -s "$display_file" ]]; do
    if ! kill -0 "$_glimmerweave_xvfb_pid" 2>/dev/null || [[ $waited -ge 300 ]]; then
      echo "error: Xvfb did not start; its log ($GLIMMERWEAVE_BUILD/xvfb.log):" >&2
      cat "$GLIMMERWEAVE_BUILD/xvfb.log" >&2 || true
      _glimmerweave_xvfb_pid=""
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  local number
  number=$(tr -dc '0-9' <"$display_file")
  export DISPLAY=":$number"
  rm -f "$display_file"
  echo "Xvfb (pid $_glimmerweave_xvfb_pid) serves DISPLAY=$DISPLAY"
}

# The process id of the Xvfb that start_xvfb started (empty when none runs).
xvfb_pid() {
  echo "$_glimmerweave_xvfb_pid"
}

# Gives the programs of this run a display: the desktop's DISPLAY, or, when there is
# none, one Xvfb for the whole run. Exports DISPLAY.
start_display() {
  if [[ -n "$_glimmerweave_xvfb_pid" ]]; then
    return 0
  fi
  if [[ -z "${DISPLAY:-}" ]]; then
    start_xvfb
  else
    echo "Using the display $DISPLAY"
  fi
}

# Sets up what the Windows programs of this run need: the display (start_display) and
# the Wine prefix (WINEPREFIX when set, else the Windows build's own), made now if it
# is missing. Exports DISPLAY and WINEPREFIX. stop_environment undoes what this
# started; a prefix the caller named is the caller's, and its Wine server is left
# alone.
start_environment() {
  start_display || return 1
  if [[ -z "${WINEPREFIX:-}" ]]; then
    export WINEPREFIX="$GLIMMERWEAVE_WINEPREFIX"
    _glimmerweave_started_prefix="$WINEPREFIX"
  fi
  local started=$SECONDS
  "$GLIMMERWEAVE_WINE_EXEC" --prepare || return 1
  echo "Wine prefix $WINEPREFIX ready in $((SECONDS - started)) s"
}

# Stops the Wine server of the build's prefix that start_environment set up (and every
# Wine program still running in it), then the Xvfb that start_display started. Safe to
# call more than once.
stop_environment() {
  if [[ -n "$_glimmerweave_started_prefix" ]]; then
    WINEPREFIX="$_glimmerweave_started_prefix" timeout 30 wineserver -k 2>/dev/null || true
    WINEPREFIX="$_glimmerweave_started_prefix" timeout 30 wineserver -w 2>/dev/null || true
    _glimmerweave_started_prefix=""
  fi
  if [[ -n "$_glimmerweave_xvfb_pid" ]]; then
    kill "$_glimmerweave_xvfb_pid" 2>/dev/null || true
    wait "$_glimmerweave_xvfb_pid" 2>/dev/null || true
    _glimmerweave_xvfb_pid=""
  fi
}

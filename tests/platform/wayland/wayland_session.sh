#!/usr/bin/env bash
# A headless Wayland compositor for the tests, in a temporary folder of its own.
# Sourced:  wayland_session_start sway|weston|mutter|kwin; wayland_session_run CMD...;
#           wayland_session_input move DX DY|click|key; wayland_session_screenshot FILE [OUTPUT];
#           wayland_session_stop
# sway (Debian's 1.7) refuses root, so it runs as nobody, with two 800x600 outputs: HEADLESS-1
# at scale 1 (0,0) and HEADLESS-2 at scale 2 (800,0, 400x300 logical). Weston runs as root with
# one 800x600 output and --debug, which weston-screenshooter needs (Weston has no screencopy, so
# no grim there). Clients run as the compositor's user (wayland_session_run), or with the
# connection passed as a file descriptor in WAYLAND_SOCKET (wayland_session_run_fd). Programs
# that nobody must run are copied into the folder first (wayland_session_install).
# Mutter (43, headless, two 800x600 virtual monitors side by side) and KWin (5.27, its
# virtual backend, two 800x600 outputs Virtual-0 and Virtual-1) run as root, each with a
# D-Bus session bus of its own in the folder, which activates nothing: the compositor and
# every client get its address. Mutter's input goes through its remote desktop, held by a
# server of ours for the session's life (wayland_dbus.py); KWin's through its fake input
# (move_pointer), its screenshots through D-Bus (wayland_dbus.py). Mutter has none without
# gnome-shell (its ScreenCast streams through a PipeWire daemon).
# After a start: WAYLAND_SESSION_KIND, _DIR, _RUNTIME (XDG_RUNTIME_DIR), _DISPLAY (socket
# name), _SOCKET (its path), _SWAYSOCK (sway only), _PID (the compositor), _USER, _LOG,
# _BUS_ADDRESS and _BUS_PID (Mutter and KWin), _INPUT_PID (Mutter's input server). Set
# WAYLAND_SESSION_MOVE_POINTER to move_pointer (installed) for wayland_session_input on sway
# and KWin.
# Debian packages: sway, grim, wtype (sway); weston (Weston); mutter, libglib2.0-bin
# (Mutter); kwin-wayland (KWin); dbus-daemon, python3-gi, wayland-utils (both); perl-base
# for the fd passing.

WAYLAND_SESSION_TIMEOUT="${WAYLAND_SESSION_TIMEOUT:-20}"  # seconds to wait for a start or a stop
WAYLAND_SESSION_HELPERS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"  # wayland_dbus.py

wayland_session_fail() {
  echo "wayland_session: $*" >&2
  if [[ -n "${WAYLAND_SESSION_LOG:-}" && -r "$WAYLAND_SESSION_LOG" ]]; then
    echo "--- last lines of $WAYLAND_SESSION_KIND's log:" >&2
    tail -n 40 "$WAYLAND_SESSION_LOG" >&2
  fi
  wayland_session_stop
  return 1
}

# Whether a process runs: an exited child of this shell that is not yet reaped does not.
wayland_session_alive() {
  local state
  state="$(cut -d ')' -f 2 "/proc/$1/stat" 2>/dev/null)" || return 1
  [[ -n "$state" && "$state" != " Z"* ]]
}

# The environment every client gets; names listed in WAYLAND_SESSION_PASS_ENV come along too.
wayland_session_env() {
  local name
  local -a vars=(PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 HOME="$WAYLAND_SESSION_DIR/home"
                 XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" WAYLAND_DISPLAY="$WAYLAND_SESSION_DISPLAY")
  [[ -n "${WAYLAND_SESSION_SWAYSOCK:-}" ]] && vars+=(SWAYSOCK="$WAYLAND_SESSION_SWAYSOCK")
  [[ -n "${WAYLAND_SESSION_BUS_ADDRESS:-}" ]] &&
    vars+=(DBUS_SESSION_BUS_ADDRESS="$WAYLAND_SESSION_BUS_ADDRESS")
  for name in ${WAYLAND_SESSION_PASS_ENV:-}; do
    [[ -n "${!name+x}" ]] && vars+=("$name=${!name}")
  done
  printf '%s\0' "${vars[@]}"
}

# The interfaces of the compositor's globals with their versions, one a line ("wl_output 4").
wayland_session_globals() {
  wayland_session_run wayland-info |
    sed -n "s/^interface: '\([^']*\)', *version: *\([0-9]*\),.*/\1 \2/p"
}

# Whether the compositor's desktop is up: it offers xdg_wm_base and COUNT outputs.
wayland_session_ready() {
  local globals
  [[ -S "$WAYLAND_SESSION_RUNTIME/$WAYLAND_SESSION_DISPLAY" ]] || return 1
  globals="$(wayland_session_run timeout 5 wayland-info 2>/dev/null)"
  grep -q "^interface: 'xdg_wm_base'" <<<"$globals" &&
    (($(grep -c "^interface: 'wl_output'" <<<"$globals") == $1))
}

# Whether NAME has an owner on the session's bus.
wayland_session_bus_has() {
  wayland_session_run gdbus call --session --dest org.freedesktop.DBus \
    --object-path /org/freedesktop/DBus --method org.freedesktop.DBus.NameHasOwner "$1" \
    2>/dev/null | grep -q true
}

# Starts a session bus of the session's own in its folder: no service files, so that it
# starts nothing behind our back; wayland_session_stop stops it by WAYLAND_SESSION_BUS_PID.
wayland_session_bus_start() {
  local address="$WAYLAND_SESSION_DIR/bus.address"
  cat >"$WAYLAND_SESSION_DIR/bus.conf" <<CONFIG
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$WAYLAND_SESSION_DIR/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONFIG
  dbus-daemon --config-file="$WAYLAND_SESSION_DIR/bus.conf" --nofork --print-address=3 \
    3>"$address" >"$WAYLAND_SESSION_DIR/dbus.log" 2>&1 </dev/null &
  WAYLAND_SESSION_BUS_PID=$!
  until [[ -s "$address" ]]; do  # written once it listens
    wayland_session_alive "$WAYLAND_SESSION_BUS_PID" || { wayland_session_fail "dbus-daemon exited at start"; return 1; }
    ((SECONDS < deadline)) || { wayland_session_fail "dbus-daemon not ready within ${WAYLAND_SESSION_TIMEOUT} s"; return 1; }
    sleep 0.05
  done
  WAYLAND_SESSION_BUS_ADDRESS="$(head -n 1 "$address")"
}

# Waits until the compositor has its COUNT outputs and owns the bus NAME.
wayland_session_wait_ready() {
  until wayland_session_ready "$1" && wayland_session_bus_has "$2"; do
    wayland_session_alive "$WAYLAND_SESSION_PID" || { wayland_session_fail "$WAYLAND_SESSION_KIND exited at start"; return 1; }
    ((SECONDS < deadline)) || { wayland_session_fail "$WAYLAND_SESSION_KIND not ready within ${WAYLAND_SESSION_TIMEOUT} s"; return 1; }
    sleep 0.1
  done
}

wayland_session_start() {
  local kind="${1:-}" deadline
  local -A programs=([sway]=sway [weston]=weston [mutter]=mutter [kwin]=kwin_wayland)
  if [[ -n "${WAYLAND_SESSION_PID:-}" ]]; then
    echo "wayland_session: a session is already running ($WAYLAND_SESSION_KIND)" >&2
    return 1
  fi
  if [[ -z "$kind" || -z "${programs[$kind]:-}" ]]; then
    echo "wayland_session: start sway, weston, mutter or kwin, not '$kind'" >&2
    return 1
  fi
  command -v "${programs[$kind]}" >/dev/null ||
    { echo "wayland_session: '${programs[$kind]}' is not installed" >&2; return 1; }
  WAYLAND_SESSION_KIND="$kind"
  WAYLAND_SESSION_DIR="$(mktemp -d /tmp/wayland-session.XXXXXX)" || return 1
  WAYLAND_SESSION_RUNTIME="$WAYLAND_SESSION_DIR/runtime"
  WAYLAND_SESSION_LOG="$WAYLAND_SESSION_DIR/$kind.log"
  WAYLAND_SESSION_DISPLAY="" WAYLAND_SESSION_SWAYSOCK="" WAYLAND_SESSION_LAUNCHER="" WAYLAND_SESSION_PID=""
  WAYLAND_SESSION_BUS_ADDRESS="" WAYLAND_SESSION_BUS_PID="" WAYLAND_SESSION_INPUT_PID=""
  chmod 0755 "$WAYLAND_SESSION_DIR"
  mkdir -m 0755 "$WAYLAND_SESSION_DIR/bin" "$WAYLAND_SESSION_DIR/home"
  mkdir -m 0700 "$WAYLAND_SESSION_RUNTIME"  # libwayland-server insists on 0700, owned by the user
  [[ -z "$(trap -p EXIT)" ]] && trap wayland_session_stop EXIT
  deadline=$((SECONDS + WAYLAND_SESSION_TIMEOUT))

  case "$kind" in
    sway)
      WAYLAND_SESSION_USER=nobody
      chown nobody:nogroup "$WAYLAND_SESSION_RUNTIME" "$WAYLAND_SESSION_DIR/home"
      cat >"$WAYLAND_SESSION_DIR/sway.config" <<'EOF'
output HEADLESS-1 mode 800x600 position 0 0 scale 1
output HEADLESS-2 mode 800x600 position 800 0 scale 2
xwayland disable
EOF
      # No bar, no background program, no Xwayland: only what the config above says.
      runuser -u nobody -- env -i PATH=/usr/bin:/bin HOME="$WAYLAND_SESSION_DIR/home" \
        XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 \
        WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway -c "$WAYLAND_SESSION_DIR/sway.config" >"$WAYLAND_SESSION_LOG" 2>&1 </dev/null &
      WAYLAND_SESSION_LAUNCHER=$!
      # sway names its IPC socket after its PID: sway-ipc.UID.PID.sock.
      local ipc
      while :; do
        ipc="$(compgen -G "$WAYLAND_SESSION_RUNTIME/sway-ipc.*.sock" | head -n 1 || true)"
        if [[ -n "$ipc" && -z "$WAYLAND_SESSION_PID" ]]; then
          WAYLAND_SESSION_SWAYSOCK="$ipc"
          WAYLAND_SESSION_PID="${ipc%.sock}"; WAYLAND_SESSION_PID="${WAYLAND_SESSION_PID##*.}"
        fi
        if [[ -n "$WAYLAND_SESSION_PID" ]] &&
           [[ "$(SWAYSOCK="$ipc" swaymsg -r -t get_outputs 2>/dev/null | grep -c '"name": "HEADLESS-')" == 2 ]]; then
          break
        fi
        wayland_session_alive "$WAYLAND_SESSION_LAUNCHER" || { wayland_session_fail "sway exited at start"; return 1; }
        ((SECONDS < deadline)) || { wayland_session_fail "sway not ready within ${WAYLAND_SESSION_TIMEOUT} s"; return 1; }
        sleep 0.1
      done
      WAYLAND_SESSION_DISPLAY="$(compgen -G "$WAYLAND_SESSION_RUNTIME/wayland-[0-9]*" | grep -v '\.lock$' | head -n 1 || true)"
      WAYLAND_SESSION_DISPLAY="${WAYLAND_SESSION_DISPLAY##*/}"
      [[ -n "$WAYLAND_SESSION_DISPLAY" ]] || { wayland_session_fail "sway made no Wayland socket"; return 1; }
      ;;
    weston)
      WAYLAND_SESSION_USER=root
      WAYLAND_SESSION_DISPLAY=wayland-1
      XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" weston --backend=headless-backend.so --use-pixman \
        --width=800 --height=600 --socket="$WAYLAND_SESSION_DISPLAY" --no-config --idle-time=0 --debug \
        >"$WAYLAND_SESSION_LOG" 2>&1 </dev/null &
      WAYLAND_SESSION_PID=$!
      # Ready once its desktop shell answers: xdg_wm_base is there from then on.
      until [[ -S "$WAYLAND_SESSION_RUNTIME/$WAYLAND_SESSION_DISPLAY" ]] &&
            XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" WAYLAND_DISPLAY="$WAYLAND_SESSION_DISPLAY" \
              timeout 5 weston-info 2>/dev/null | grep -q "'xdg_wm_base'"; do
        wayland_session_alive "$WAYLAND_SESSION_PID" || { wayland_session_fail "weston exited at start"; return 1; }
        ((SECONDS < deadline)) || { wayland_session_fail "weston not ready within ${WAYLAND_SESSION_TIMEOUT} s"; return 1; }
        sleep 0.1
      done
      ;;
    mutter)
      WAYLAND_SESSION_USER=root
      WAYLAND_SESSION_DISPLAY=wayland-1
      wayland_session_bus_start || return 1
      # GSettings in memory: Mutter's defaults, and no dconf service to write them to.
      env -i PATH=/usr/bin:/bin HOME="$WAYLAND_SESSION_DIR/home" XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" \
        DBUS_SESSION_BUS_ADDRESS="$WAYLAND_SESSION_BUS_ADDRESS" GSETTINGS_BACKEND=memory \
        mutter --headless --wayland --no-x11 --wayland-display="$WAYLAND_SESSION_DISPLAY" \
        --virtual-monitor 800x600 --virtual-monitor 800x600 >"$WAYLAND_SESSION_LOG" 2>&1 </dev/null &
      WAYLAND_SESSION_PID=$!
      wayland_session_wait_ready 2 org.gnome.Mutter.RemoteDesktop || return 1
      # The seat's keyboard and pointer, there before any client (see wayland_dbus.py);
      # env execs the server, so that $! is its PID.
      local -a vars
      mapfile -d '' vars < <(wayland_session_env)
      env -i "${vars[@]}" "$WAYLAND_SESSION_HELPERS/wayland_dbus.py" mutter-input-server \
        "$WAYLAND_SESSION_DIR/input" >"$WAYLAND_SESSION_DIR/input.log" 2>&1 </dev/null &
      WAYLAND_SESSION_INPUT_PID=$!
      until [[ -S "$WAYLAND_SESSION_DIR/input" ]]; do
        wayland_session_alive "$WAYLAND_SESSION_INPUT_PID" ||
          { cat "$WAYLAND_SESSION_DIR/input.log" >&2; wayland_session_fail "Mutter's input server exited at start"; return 1; }
        ((SECONDS < deadline)) || { wayland_session_fail "Mutter's input server not ready within ${WAYLAND_SESSION_TIMEOUT} s"; return 1; }
        sleep 0.05
      done
      ;;
    kwin)
      WAYLAND_SESSION_USER=root
      WAYLAND_SESSION_DISPLAY=wayland-1
      wayland_session_bus_start || return 1
      # Debian's kwin_wayland carries a file capability, which a container refuses to
      # exec; a copy has none. Without the permission checks KWin gives every client
      # fake input and screenshots, which a desktop grants only to its own programs.
      install -m 0755 "$(command -v kwin_wayland)" "$WAYLAND_SESSION_DIR/bin/kwin_wayland" ||
        { wayland_session_fail "cannot copy kwin_wayland"; return 1; }
      env -i PATH=/usr/bin:/bin HOME="$WAYLAND_SESSION_DIR/home" XDG_RUNTIME_DIR="$WAYLAND_SESSION_RUNTIME" \
        DBUS_SESSION_BUS_ADDRESS="$WAYLAND_SESSION_BUS_ADDRESS" \
        KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 \
        "$WAYLAND_SESSION_DIR/bin/kwin_wayland" --virtual --width 800 --height 600 --output-count 2 \
        --no-lockscreen --no-global-shortcuts --no-kactivities --socket "$WAYLAND_SESSION_DISPLAY" \
        >"$WAYLAND_SESSION_LOG" 2>&1 </dev/null &
      WAYLAND_SESSION_PID=$!
      wayland_session_wait_ready 2 org.kde.KWin.ScreenShot2 || return 1
      ;;
  esac
  WAYLAND_SESSION_SOCKET="$WAYLAND_SESSION_RUNTIME/$WAYLAND_SESSION_DISPLAY"
  export WAYLAND_SESSION_KIND WAYLAND_SESSION_DIR WAYLAND_SESSION_RUNTIME WAYLAND_SESSION_DISPLAY \
    WAYLAND_SESSION_SOCKET WAYLAND_SESSION_SWAYSOCK WAYLAND_SESSION_PID WAYLAND_SESSION_USER WAYLAND_SESSION_LOG \
    WAYLAND_SESSION_BUS_ADDRESS WAYLAND_SESSION_BUS_PID WAYLAND_SESSION_INPUT_PID
}

# Copies programs into the session's folder, where nobody can run them; prints their new paths.
wayland_session_install() {
  local file
  for file in "$@"; do
    install -m 0755 "$file" "$WAYLAND_SESSION_DIR/bin/" || return 1
    echo "$WAYLAND_SESSION_DIR/bin/${file##*/}"
  done
}

# Runs CMD as the compositor's user, connected through WAYLAND_DISPLAY (and SWAYSOCK).
wayland_session_run() {
  local -a vars
  mapfile -d '' vars < <(wayland_session_env)
  if [[ "$WAYLAND_SESSION_USER" == root ]]; then
    env -i "${vars[@]}" "$@"
  else
    runuser -u "$WAYLAND_SESSION_USER" -- env -i "${vars[@]}" "$@"
  fi
}

# The same, but CMD inherits a socket already connected to the compositor, its number in
# WAYLAND_SOCKET and no WAYLAND_DISPLAY, as a locker hands one to a plugin.
# shellcheck disable=SC2016  # the Perl code is meant literally
wayland_session_run_fd() {
  wayland_session_run perl -MSocket -MFcntl -e '
    my $path = shift @ARGV;
    socket(my $s, PF_UNIX, SOCK_STREAM, 0) or die "socket: $!\n";
    connect($s, pack_sockaddr_un($path)) or die "connect $path: $!\n";
    fcntl($s, F_SETFD, 0) or die "fcntl: $!\n";
    $ENV{WAYLAND_SOCKET} = fileno($s);
    delete $ENV{WAYLAND_DISPLAY};
    exec { $ARGV[0] } @ARGV or die "exec $ARGV[0]: $!\n";' "$WAYLAND_SESSION_SOCKET" "$@"
}

# Sends the seat input: moves the pointer by DX,DY, clicks the left button or types X,
# each the compositor's own way: the virtual pointer and wtype on sway, fake input on KWin
# (both through WAYLAND_SESSION_MOVE_POINTER), the remote desktop on Mutter.
wayland_session_input() {
  local step="${1:-}"
  case "$step" in
    move) (($# == 3)) || { echo "wayland_session_input: move DX DY" >&2; return 2; }; step="$2,$3" ;;
    click | key) ;;
    *) echo "wayland_session_input: move DX DY, click or key, not '$step'" >&2; return 2 ;;
  esac
  case "$WAYLAND_SESSION_KIND:$step" in
    sway:key) wayland_session_run wtype -s 50 x ;;
    sway:* | kwin:*)
      [[ -n "${WAYLAND_SESSION_MOVE_POINTER:-}" ]] ||
        { echo "wayland_session_input: WAYLAND_SESSION_MOVE_POINTER is not set" >&2; return 1; }
      wayland_session_run "$WAYLAND_SESSION_MOVE_POINTER" "$step" ;;
    mutter:*)
      wayland_session_run "$WAYLAND_SESSION_HELPERS/wayland_dbus.py" mutter-input \
        "$WAYLAND_SESSION_DIR/input" "$step" ;;
    *) echo "wayland_session_input: $WAYLAND_SESSION_KIND takes no input from clients" >&2; return 1 ;;
  esac
}

# Writes a PNG of OUTPUT (or of every output: sway's whole layout, KWin's workspace) to FILE.
wayland_session_screenshot() {
  local file="$1" output="${2:-}" shot="$WAYLAND_SESSION_RUNTIME/screenshot.png"
  case "$WAYLAND_SESSION_KIND" in
    sway)  # grim writes as nobody, into the runtime folder
      wayland_session_run grim ${output:+-o "$output"} "$shot" && mv "$shot" "$file" ;;
    kwin) wayland_session_run "$WAYLAND_SESSION_HELPERS/wayland_dbus.py" kwin-screenshot "$file" ${output:+"$output"} ;;
    *) echo "wayland_session_screenshot: no screenshots on $WAYLAND_SESSION_KIND here" >&2; return 1 ;;
  esac
}

# Stops Mutter's input server, the compositor (TERM, then KILL when the time is up), then
# its bus, each by its PID, and removes the folder.
wayland_session_stop() {
  local pid deadline
  for pid in ${WAYLAND_SESSION_INPUT_PID:-} ${WAYLAND_SESSION_PID:-} ${WAYLAND_SESSION_LAUNCHER:-} \
             ${WAYLAND_SESSION_BUS_PID:-}; do
    kill -TERM "$pid" 2>/dev/null || continue
    deadline=$((SECONDS + WAYLAND_SESSION_TIMEOUT))
    while wayland_session_alive "$pid" && ((SECONDS < deadline)); do sleep 0.1; done
    if wayland_session_alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
  # Reap our own children (runuser, the compositors, dbus-daemon, the input server): none is
  # left a zombie.
  for pid in ${WAYLAND_SESSION_INPUT_PID:-} ${WAYLAND_SESSION_LAUNCHER:-} ${WAYLAND_SESSION_PID:-} \
             ${WAYLAND_SESSION_BUS_PID:-}; do
    wait "$pid" 2>/dev/null || true
  done
  [[ -n "${WAYLAND_SESSION_DIR:-}" && "$WAYLAND_SESSION_DIR" == /tmp/wayland-session.* ]] &&
    rm -rf "$WAYLAND_SESSION_DIR"
  WAYLAND_SESSION_PID="" WAYLAND_SESSION_LAUNCHER="" WAYLAND_SESSION_DIR=""
  WAYLAND_SESSION_BUS_PID="" WAYLAND_SESSION_BUS_ADDRESS="" WAYLAND_SESSION_INPUT_PID=""
  return 0
}

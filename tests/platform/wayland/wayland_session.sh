#!/usr/bin/env bash
# A headless Wayland compositor for the tests, in a temporary folder of its own.
# Sourced:  wayland_session_start sway|weston; wayland_session_run CMD...; wayland_session_stop
# sway (Debian's 1.7) refuses root, so it runs as nobody, with two 800x600 outputs: HEADLESS-1
# at scale 1 (0,0) and HEADLESS-2 at scale 2 (800,0, 400x300 logical). Weston runs as root with
# one 800x600 output and --debug, which weston-screenshooter needs (Weston has no screencopy, so
# no grim there). Clients run as the compositor's user (wayland_session_run), or with the
# connection passed as a file descriptor in WAYLAND_SOCKET (wayland_session_run_fd). Programs
# that nobody must run are copied into the folder first (wayland_session_install).
# After a start: WAYLAND_SESSION_KIND, _DIR, _RUNTIME (XDG_RUNTIME_DIR), _DISPLAY (socket
# name), _SOCKET (its path), _SWAYSOCK (sway only), _PID (the compositor), _USER, _LOG.
# Debian packages: sway, grim, wtype (sway); weston (Weston); perl-base for the fd passing.

WAYLAND_SESSION_TIMEOUT="${WAYLAND_SESSION_TIMEOUT:-20}"  # seconds to wait for a start or a stop

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
  for name in ${WAYLAND_SESSION_PASS_ENV:-}; do
    [[ -n "${!name+x}" ]] && vars+=("$name=${!name}")
  done
  printf '%s\0' "${vars[@]}"
}

wayland_session_start() {
  local kind="${1:-}" deadline
  if [[ -n "${WAYLAND_SESSION_PID:-}" ]]; then
    echo "wayland_session: a session is already running ($WAYLAND_SESSION_KIND)" >&2
    return 1
  fi
  command -v "$kind" >/dev/null || { echo "wayland_session: '$kind' is not installed" >&2; return 1; }
  WAYLAND_SESSION_KIND="$kind"
  WAYLAND_SESSION_DIR="$(mktemp -d /tmp/wayland-session.XXXXXX)" || return 1
  WAYLAND_SESSION_RUNTIME="$WAYLAND_SESSION_DIR/runtime"
  WAYLAND_SESSION_LOG="$WAYLAND_SESSION_DIR/$kind.log"
  WAYLAND_SESSION_DISPLAY="" WAYLAND_SESSION_SWAYSOCK="" WAYLAND_SESSION_LAUNCHER="" WAYLAND_SESSION_PID=""
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
    *)
      rm -rf "$WAYLAND_SESSION_DIR"
      echo "wayland_session: start sway or weston, not '$kind'" >&2
      return 1
      ;;
  esac
  WAYLAND_SESSION_SOCKET="$WAYLAND_SESSION_RUNTIME/$WAYLAND_SESSION_DISPLAY"
  export WAYLAND_SESSION_KIND WAYLAND_SESSION_DIR WAYLAND_SESSION_RUNTIME WAYLAND_SESSION_DISPLAY \
    WAYLAND_SESSION_SOCKET WAYLAND_SESSION_SWAYSOCK WAYLAND_SESSION_PID WAYLAND_SESSION_USER WAYLAND_SESSION_LOG
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

# Stops the compositor by its PID (TERM, then KILL when the time is up) and removes the folder.
wayland_session_stop() {
  local pid deadline
  for pid in ${WAYLAND_SESSION_PID:-} ${WAYLAND_SESSION_LAUNCHER:-}; do
    kill -TERM "$pid" 2>/dev/null || continue
    deadline=$((SECONDS + WAYLAND_SESSION_TIMEOUT))
    while wayland_session_alive "$pid" && ((SECONDS < deadline)); do sleep 0.1; done
    if wayland_session_alive "$pid"; then kill -KILL "$pid" 2>/dev/null || true; fi
  done
  # Reap our own children (the runuser or weston process) so that none is left a zombie.
  for pid in ${WAYLAND_SESSION_LAUNCHER:-} ${WAYLAND_SESSION_PID:-}; do
    wait "$pid" 2>/dev/null || true
  done
  [[ -n "${WAYLAND_SESSION_DIR:-}" && "$WAYLAND_SESSION_DIR" == /tmp/wayland-session.* ]] &&
    rm -rf "$WAYLAND_SESSION_DIR"
  WAYLAND_SESSION_PID="" WAYLAND_SESSION_LAUNCHER="" WAYLAND_SESSION_DIR=""
  return 0
}

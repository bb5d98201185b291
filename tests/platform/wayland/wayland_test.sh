#!/usr/bin/env bash
# The program on Wayland, one case a run, each in a headless compositor of its own
# (wayland_session.sh): sway with two 800 x 600 outputs, HEADLESS-1 at scale 1 and
# HEADLESS-2 at scale 2, or Weston, Mutter or KWin for the window (a case named after
# the compositor runs there).
#
#   wayland_test.sh CASE PROGRAM RENDERER COMPARE MOVE_POINTER CASE_DIR
#   wayland_test.sh --list
#
# COMPARE is compare_png_pixels, MOVE_POINTER the input of sway and KWin (move_pointer.c).
# Screenshots stay in CASE_DIR. Exits 0 when the case holds; says what failed otherwise.
# --list prints the cases, one a line: CMake makes a test of each, so a case is added
# here alone, to `cases` and as a branch of the `case` below.
set -uo pipefail

cases=(exact_frames_on_every_output saver_ends_on_input hidden_window_computes_nothing
       ends_cleanly swaylock_plugin_socket weston_window resident_saver mutter_window
       kwin_window mutter_resident_saver kwin_resident_saver)
if [[ "${1:-}" == --list ]]; then
  printf '%s\n' "${cases[@]}"
  exit 0
fi
if [[ $# -ne 6 || " ${cases[*]} " != *" $1 "* ]]; then
  echo "usage: $0 CASE PROGRAM RENDERER COMPARE MOVE_POINTER CASE_DIR (cases: ${cases[*]})" >&2
  exit 2
fi
case_name="$1" program="$2" renderer="$3" compare="$4" mover="$5" case_dir="$6"
source "$(dirname "${BASH_SOURCE[0]}")/wayland_session.sh"
rm -rf "$case_dir" && mkdir -p "$case_dir"

# The still frame the cases show: seed 42, phases 1 and 2, speed 0, Detail 10 (800 x 600).
still=(-detail 10 -speed 0 -seed 42 -phase-a 1 -phase-b 2)
child="" child_pid=""

fail() {
  echo "FAILED: $*" >&2
  [[ -f "$case_dir/program.log" ]] && { echo "--- the program's output:" >&2; cat "$case_dir/program.log" >&2; }
  stop_child
  exit 1
}

# Starts the program in the session (as its user) in the background; child_pid is the
# program's own PID.
start_program() {
  wayland_session_run "$@" >"$case_dir/program.log" 2>&1 &
  child=$!
  local waited=0
  until child_pid="$(pgrep -f "^$program( |\$)")"; do
    ((waited++ < 100)) || fail "the program did not start"
    sleep 0.05
  done
}

# Waits up to five seconds for the program to end; its status in `status`.
wait_end() {
  local waited=0
  while kill -0 "$child_pid" 2>/dev/null; do
    ((waited++ < 100)) || fail "the program is still running after 5 s"
    sleep 0.05
  done
  wait "$child"
  status=$?
  child="" child_pid=""
}

stop_child() {
  pkill -TERM -f "^$program( |\$)"
  [[ -n "$child" ]] && wait "$child" 2>/dev/null
  child="" child_pid=""
}

# The renderer's frame of ALGORITHM at the still settings, as CASE_DIR/frame-ALGORITHM.png.
render() {
  "$renderer" --algorithm "$1" --speed 0 --seed 42 --phase-a 1 --phase-b 2 \
    --output "$case_dir/frame-$1.png" >/dev/null || fail "the renderer failed"
}

# Takes OUTPUT's picture until its pixels equal FILE, at most TRIES times (default 25:
# five seconds).
shows() {
  local output="$1" file="$2" tries=0
  while ((tries++ < ${3:-25})); do
    wayland_session_screenshot "$case_dir/$output.png" "$output" &&
      "$compare" "$file" "$case_dir/$output.png" >/dev/null 2>&1 && return 0
    sleep 0.2
  done
  return 1
}

# The CPU time of the program so far, in clock ticks.
cpu_ticks() {
  awk '{print $14 + $15}' "/proc/$child_pid/stat"
}

compositor="${case_name%%_*}"
[[ " weston mutter kwin " == *" $compositor "* ]] || compositor=sway
wayland_session_start "$compositor" || exit 1
trap 'stop_child; wayland_session_stop' EXIT
program="$(wayland_session_install "$program")"
mover="$(wayland_session_install "$mover")"
export WAYLAND_SESSION_MOVE_POINTER="$mover"

case "$case_name" in
  exact_frames_on_every_output)
    # Both outputs show the renderer's frame at their real pixels: HEADLESS-2's 400 x 300
    # logical pixels are 800 x 600 real ones at scale 2; so does an output that appears.
    for algorithm in 3 22 29; do
      render "$algorithm"
      start_program "$program" -saver -algorithm "$algorithm" "${still[@]}"
      for output in HEADLESS-1 HEADLESS-2; do
        shows "$output" "$case_dir/frame-$algorithm.png" ||
          fail "$output does not show algorithm $algorithm's frame (see $case_dir)"
      done
      if ((algorithm == 3)); then
        # An output that appears gets a surface; one that goes loses it, and the run
        # goes on; back again, it gets one anew.
        for step in "create_output" "output HEADLESS-3 mode 800x600 position 1600 0" \
                    "output HEADLESS-3 disable" "output HEADLESS-3 enable"; do
          # shellcheck disable=SC2086  # the command's words are separate arguments
          wayland_session_run swaymsg -q $step || fail "swaymsg $step failed"
          [[ "$step" == *disable ]] && continue
          [[ "$step" == create_output ]] || shows HEADLESS-3 "$case_dir/frame-3.png" ||
            fail "the output after '$step' does not show the frame"
        done
        kill -0 "$child_pid" || fail "the run ended with an output"
      fi
      stop_child
    done
    ;;

  resident_saver)
    # -saver -idle waits, computing nothing; covers every output once the session has been
    # idle (sway 1.7: org_kde_kwin_idle); input takes the cover away, and it comes again.
    # One resident saver a session; a plain -saver while one shows ends at once.
    render 22
    start_program "$program" -saver -idle 3 -algorithm 22 "${still[@]}"
    # A window that inhibits idleness, as a video player's would, holds the cover back.
    wayland_session_run "$program" -window -detail 0 -speed 0 >"$case_dir/window.log" 2>&1 &
    window_runner=$!
    for _ in 1 2 3 4 5 6 7 8 9 10; do
      wayland_session_run swaymsg -q '[app_id="glimmerweave"] inhibit_idle open' && break
      sleep 0.2
    done || fail "cannot inhibit idleness through the window"
    sleep 0.2
    waiting_from="$(cpu_ticks)"
    sleep 1
    (($(cpu_ticks) - waiting_from <= 1)) ||
      fail "waiting used $(($(cpu_ticks) - waiting_from)) ticks of CPU in 1 s"
    wayland_session_run "$program" -saver -idle 5 >"$case_dir/second.log" 2>&1
    status=$?
    ((status == 1)) && grep -q "runs in this session already" "$case_dir/second.log" ||
      fail "a second resident saver gave status $status"
    sleep 3
    ! shows HEADLESS-2 "$case_dir/frame-22.png" 3 || fail "the cover came though idleness is inhibited"
    pkill -TERM -f "^$program -window" && wait "$window_runner"
    for round in 1 2; do
      for output in HEADLESS-1 HEADLESS-2; do
        shows "$output" "$case_dir/frame-22.png" || fail "round $round: $output is not covered"
      done
      if ((round == 1)); then
        wayland_session_run "$program" -saver >"$case_dir/plain.log" 2>&1 ||
          fail "a plain -saver while the cover shows gave status $?"
      fi
      wayland_session_run "$mover" 20,20 || fail "cannot move the pointer"
      sleep 0.5
      kill -0 "$child_pid" || fail "round $round: input ended the resident saver itself"
      ! shows HEADLESS-1 "$case_dir/frame-22.png" 2 || fail "round $round: the cover stayed"
    done
    ;;

  saver_ends_on_input)
    # Each row: the pointer's steps that keep the run (from where it stands when the
    # pointer appears: 0,0 moves it there), then what ends it.
    render 22
    for row in "0,0 5,0|1,0" "0,0 5,5|0,1" "|click" "|key"; do
      start_program "$program" -saver -algorithm 22 "${still[@]}"
      shows HEADLESS-1 "$case_dir/frame-22.png" || fail "the saver never showed its frame"
      keep="${row%%|*}" end="${row##*|}"
      if [[ -n "$keep" ]]; then
        # shellcheck disable=SC2086  # the steps are separate arguments
        wayland_session_run "$mover" $keep || fail "cannot move the pointer"
        sleep 0.3
        kill -0 "$child_pid" 2>/dev/null || fail "the saver ended on the steps $keep, 5 pixels at most"
      fi
      if [[ "$end" == key ]]; then
        wayland_session_run wtype -s 50 x || fail "cannot type"
      else
        wayland_session_run "$mover" "$end" || fail "cannot move the pointer"
      fi
      wait_end
      ((status == 0)) || fail "the saver ended with status $status after '$row'"
    done
    ;;

  hidden_window_computes_nothing)
    start_program "$program" -window -detail 10 -speed 5 -algorithm 22
    sleep 1
    shown_start="$(cpu_ticks)"
    sleep 1
    (($(cpu_ticks) > shown_start + 5)) || fail "the shown window did not compute (control)"
    wayland_session_run swaymsg -q workspace 9 || fail "cannot change the workspace"
    sleep 0.3  # the frame in progress ends
    hidden_start="$(cpu_ticks)"
    sleep 2
    hidden_end="$(cpu_ticks)"
    ((hidden_end - hidden_start <= 1)) ||
      fail "the hidden window used $((hidden_end - hidden_start)) ticks of CPU in 2 s"
    wayland_session_run swaymsg -q workspace 1 || fail "cannot change the workspace"
    sleep 0.2
    (($(cpu_ticks) > hidden_end)) || fail "the window did not animate again when shown"
    ;;

  ends_cleanly)
    # A name that no output has ends every role at once, naming the outputs there are.
    for role in -saver -background "-window -fullscreen"; do
      # shellcheck disable=SC2086  # the role's words are separate arguments
      wayland_session_run "$program" $role -output NONE >"$case_dir/program.log" 2>&1 &
      child=$! child_pid=$!
      wait_end
      ((status == 1)) && grep -q "no output is named 'NONE' (there are: HEADLESS-1, HEADLESS-2)" \
        "$case_dir/program.log" || fail "$role -output NONE gave status $status"
    done
    # SIGTERM, then the compositor's end: SIGTERM kills it after its cleaning up (bash's
    # 143 is death by SIGTERM; runuser passes it on), the compositor's end gives status 0,
    # and neither leaves anything behind in the runtime folder or in shared memory.
    before="$(ls -A "$WAYLAND_SESSION_RUNTIME" /dev/shm)"
    start_program "$program" -saver -detail 10
    sleep 0.5
    kill -TERM "$child_pid"
    wait_end
    ((status == 128 + 15)) || fail "SIGTERM ended it with status $status"
    grep -q "Terminated" "$case_dir/program.log" || [[ "$WAYLAND_SESSION_USER" == root ]] ||
      fail "runuser did not see it killed by SIGTERM"
    [[ "$(ls -A "$WAYLAND_SESSION_RUNTIME" /dev/shm)" == "$before" ]] || fail "it left files behind"
    start_program "$program" -background -detail 10
    sleep 0.5
    kill -TERM "$WAYLAND_SESSION_PID"
    wait_end
    ((status == 0)) || fail "the compositor's end ended it with status $status"
    ;;

  swaylock_plugin_socket)
    # As swaylock-plugin starts a background program: a connected socket in WAYLAND_SOCKET
    # and the output in SWAYLOCK_PLUGIN_OUTPUT_NAME; it draws at the configured size.
    render 22
    WAYLAND_SESSION_PASS_ENV=SWAYLOCK_PLUGIN_OUTPUT_NAME SWAYLOCK_PLUGIN_OUTPUT_NAME=HEADLESS-1 \
      wayland_session_run_fd "$program" -background -algorithm 22 "${still[@]}" \
      >"$case_dir/program.log" 2>&1 &
    child=$!
    shows HEADLESS-1 "$case_dir/frame-22.png" || fail "HEADLESS-1 does not show the frame"
    ;;

  weston_window)
    # Weston has no layer shell: -background says so; -saver covers the output with a
    # full-screen window of the exact frame; the window animates.
    wayland_session_run "$program" -background >"$case_dir/program.log" 2>&1
    status=$?
    ((status == 1)) && grep -q "layer shell" "$case_dir/program.log" ||
      fail "-background without a layer shell gave status $status"
    # Nor an idle protocol, nor a session bus.
    wayland_session_run "$program" -saver -idle 5 >"$case_dir/program.log" 2>&1
    status=$?
    ((status == 1)) && grep -q "nothing tells the session's idle time" "$case_dir/program.log" ||
      fail "-saver -idle without any idle time gave status $status"
    weston_shot() {
      (cd "$WAYLAND_SESSION_RUNTIME" && rm -f wayland-screenshot-*.png &&
        wayland_session_run weston-screenshooter >/dev/null 2>&1 &&
        cp wayland-screenshot-*.png "$case_dir/$1.png") || fail "no screenshot"
    }
    render 22
    start_program "$program" -saver -algorithm 22 "${still[@]}"
    for try in 1 2 3 4 5 6 7 8 9 10; do
      sleep 0.5
      weston_shot saver
      "$compare" "$case_dir/frame-22.png" "$case_dir/saver.png" >/dev/null 2>&1 && break
      ((try < 10)) || fail "-saver does not cover the output with its frame (see $case_dir)"
    done
    stop_child
    start_program "$program" -window -fullscreen -detail 10 -speed 10 -algorithm 22
    for shot in 1 2; do
      sleep 1
      weston_shot "window-$shot"
    done
    ! cmp -s "$case_dir/window-1.png" "$case_dir/window-2.png" || fail "the window does not animate"
    ;;

  mutter_resident_saver | kwin_resident_saver)
    # The resident saver where idleness is told another way: KWin's ext-idle-notify-v1 (its
    # layer shell covers both outputs with the exact frame), Mutter's idle monitor on the
    # session bus (a full-screen window on each output; no screenshots here, so the frames
    # computed show the cover: the animation moves; and not while GNOME's session manager
    # says that idleness is inhibited). A key takes the cover away, and it comes again.
    if [[ "$compositor" == kwin ]]; then
      render 22
      start_program "$program" -saver -idle 2 -algorithm 22 "${still[@]}"
    else
      start_program "$program" -saver -idle 2 -detail 0 -speed 5
    fi
    covered() {
      if [[ "$compositor" == kwin ]]; then
        shows Virtual-0 "$case_dir/frame-22.png" "$1" && shows Virtual-1 "$case_dir/frame-22.png" "$1"
      else
        local from
        from="$(cpu_ticks)"
        sleep 1
        (($(cpu_ticks) - from > 5))
      fi
    }
    if [[ "$compositor" == mutter ]]; then
      # GNOME's session manager says that something inhibits idleness: no cover.
      wayland_session_run "$WAYLAND_SESSION_HELPERS/wayland_dbus.py" session-manager &
      manager=$!
      until wayland_session_bus_has org.gnome.SessionManager; do
        kill -0 "$manager" 2>/dev/null || fail "the session manager did not start"
        sleep 0.1
      done
      sleep 2.5
      ! covered || fail "the cover came though the session manager inhibits idleness"
      pkill -TERM -f "wayland_dbus.py session-manager"
      wait "$manager"
      wayland_session_input key || fail "cannot type"
    fi
    for round in 1 2; do
      sleep 2.5
      covered 10 || fail "round $round: the outputs are not covered (see $case_dir)"
      wayland_session_input key || fail "cannot type"
      sleep 0.5
      kill -0 "$child_pid" 2>/dev/null || fail "round $round: the key ended the resident saver"
      ! covered 2 || fail "round $round: the cover stayed after the key"
      wayland_session_input key || fail "cannot type"
    done
    ;;

  mutter_window | kwin_window)
    # GNOME's and KDE's compositors show the window through xdg-shell; it runs until a
    # key (Mutter's remote desktop, KWin's fake input), which ends it with status 0.
    # KWin's output shows the renderer's frame; Mutter takes no screenshots here.
    wayland_session_globals >"$case_dir/globals.txt"
    render 22
    start_program "$program" -window -fullscreen -algorithm 22 "${still[@]}"
    if [[ "$compositor" == kwin ]]; then
      shows Virtual-0 "$case_dir/frame-22.png" || fail "Virtual-0 does not show the frame (see $case_dir)"
    fi
    sleep 1
    kill -0 "$child_pid" 2>/dev/null || fail "the window ended before any input"
    wayland_session_input key || fail "cannot type"
    wait_end
    ((status == 0)) || fail "the key ended the window with status $status"
    ;;

  *)
    echo "unknown case '$case_name'" >&2
    exit 2
    ;;
esac
echo "passed: $case_name"

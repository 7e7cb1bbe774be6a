#!/usr/bin/env bash
# Displays the intro cannot use: each ends the start with the one line "ZENOrA_intro: no display to
# open the window on (REASON)" and status 1 within the 5 s bound, never a crash or a hang.
#   displays.sh none            neither DISPLAY nor WAYLAND_DISPLAY
#   displays.sh x_socket        WAYLAND_DISPLAY naming an X server's socket
#   displays.sh silent_wayland  WAYLAND_DISPLAY naming a socket that takes connections and never answers
#   displays.sh silent_x        DISPLAY naming such a socket; SIGTERM or SIGINT meanwhile ends it at once
#   displays.sh weston          a headless weston, which has no seat; weston_x: with an X server in
#                               DISPLAY too, where the window opens
RW_TOOLS=(python3 $([[ ${1:-} = weston* ]] && echo weston))
source "$(dirname "$0")/lib.sh"
app=$(rw_copy_folder app)
install -d -m 700 "$RW_TMP/xdg"

# listen PATH|tcp: a socket that takes connections and never answers; for tcp on 127.0.0.1:6000+N,
# the X display number N is in $RW_TMP/listening.
listen() {
  python3 -c '
import socket, sys, time
if sys.argv[1] == "tcp":
    for n in range(100, 200):
        s = socket.socket()
        try: s.bind(("127.0.0.1", 6000 + n)); break
        except OSError: s.close()
else:
    s, n = socket.socket(socket.AF_UNIX), 0
    s.bind(sys.argv[1])
s.listen()
print(n, flush=True)
time.sleep(600)' "$1" >"$RW_TMP/listening" 2>"$RW_TMP/listen.log" &
  RW_PIDS+=("$!")
  rw_until 5000 test -s "$RW_TMP/listening" || rw_fail "no socket listening at $1"
}
start_weston() {
  (XDG_RUNTIME_DIR="$RW_TMP/xdg" exec weston --backend=headless-backend.so --socket=weston >"$RW_TMP/weston.log" 2>&1) &
  RW_PIDS+=("$!")
  rw_until 5000 test -S "$RW_TMP/xdg/weston" || rw_fail "weston did not start"
}
# start VAR=VALUE...: the intro without a display but these, SIGINT not ignored as a background job's is.
start() {
  (cd "$RW_TMP" && exec env --default-signal=INT -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER \
    XDG_RUNTIME_DIR="$RW_TMP/xdg" SDL_AUDIODRIVER=dummy "$@" "$app/ZENOrA_intro" >"$RW_TMP/stdout.log" 2>"$RW_TMP/stderr.log") &
  RW_PID=$! && RW_PIDS+=("$!") && RW_STARTED=$(rw_now)
}
# no_display REASON VAR=VALUE...: one line naming REASON, status 1.
no_display() {
  local line="ZENOrA_intro: no display to open the window on ($1)"
  shift && start "$@"
  rw_wait_exit "$RW_PID" 10 || rw_fail "still running 10 s after the start"
  rw_log "status $RW_STATUS after $(( ($(rw_now) - RW_STARTED) / 1000000 )) ms: $(cat "$RW_TMP/stderr.log")"
  [ "$RW_STATUS" = 1 ] && [ "$(cat "$RW_TMP/stderr.log")" = "$line" ] && [ ! -s "$RW_TMP/stdout.log" ] ||
    rw_check_failed "expected '$line' and status 1; status $RW_STATUS, stdout '$(cat "$RW_TMP/stdout.log")'"
}

case ${1:?which display} in
  none) no_display "no X11 or Wayland display found" ;;
  x_socket)
    rw_start_xvfb
    socket=/tmp/.X11-unix/X${DISPLAY#:}
    no_display "the Wayland display $socket is not a Wayland compositor" WAYLAND_DISPLAY="$socket" ;;
  silent_wayland)
    listen "$RW_TMP/xdg/silent"
    no_display "the Wayland display silent did not answer within 5 s" WAYLAND_DISPLAY=silent ;;
  silent_x)
    listen tcp && display=127.0.0.1:$(cat "$RW_TMP/listening")
    no_display "the X display $display did not answer within 5 s" DISPLAY="$display"
    for sig in TERM INT; do
      start DISPLAY="$display" && sleep 1 && kill "-$sig" "$RW_PID" && sent=$(rw_now)
      rw_wait_exit "$RW_PID" 2 || rw_fail "still running 2 s after SIG$sig"
      rw_log "SIG$sig at 1 s: status $RW_STATUS after $(( ($(rw_now) - sent) / 1000000 )) ms"
      [ "$RW_STATUS" = $((128 + $(kill -l "$sig"))) ] || rw_check_failed "SIG$sig gave status $RW_STATUS"
    done ;;
  weston)
    start_weston
    no_display "the Wayland compositor weston has no seat, no keyboard or pointer" WAYLAND_DISPLAY=weston ;;
  weston_x)
    start_weston && rw_start_xvfb
    start WAYLAND_DISPLAY=weston DISPLAY="$DISPLAY"
    rw_wait_intro_window
    kill -TERM "$RW_PID" && rw_wait_exit "$RW_PID" 5 && [ "$RW_STATUS" = 0 ] ||
      rw_check_failed "on X11 beside a weston without a seat: ${RW_STATUS:-still running} after SIGTERM" ;;
esac
rw_finish

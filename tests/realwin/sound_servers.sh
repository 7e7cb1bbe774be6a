#!/usr/bin/env bash
# Real sound servers, each on a runtime folder of its own, run as an unprivileged user as they insist, and
# the program as that user too, on this test's Xvfb.
#   sound_servers.sh pulseaudio  PulseAudio with a null sink: the music recorded from its monitor (parec)
#       follows the library's own render (the capture tool's video) in envelope; SIGTERM then ends it with 0
#   sound_servers.sh pipewire    the same under PipeWire with its session manager, through SDL's pulse
#       client and through its PipeWire one, recorded with pw-record
#   sound_servers.sh stuck       PipeWire's pulse server without a session manager takes the stream and never
#       starts it: within 5 s the box "Can't initialize digital sound system" (the very picture the library that
#       always fails gives), status 1 once closed; SIGTERM or SIGINT 1 s into the start end it within a second
#       (143, 130)
mode=${1:?pulseaudio, pipewire or stuck}
case $mode in
  pulseaudio) RW_TOOLS=(setpriv ffmpeg pulseaudio pactl parec) ;;
  pipewire) RW_TOOLS=(setpriv ffmpeg pipewire pipewire-pulse wireplumber dbus-daemon pactl pw-record) ;;
  *) RW_TOOLS=(setpriv pipewire pipewire-pulse) ;;
esac
source "$(dirname "$0")/lib.sh"

rw_unprivileged "$RW_TMP/home"
bus=unix:path=$RW_TMP/xdg/bus
# as_user COMMAND...: as nobody with a home it may write in (the servers do), the session bus and the display.
as_user() { rw_as_user HOME="$RW_TMP/home" DBUS_SESSION_BUS_ADDRESS="$bus" DISPLAY="$DISPLAY" "$@"; }
serve() { (as_user "${@:2}" >"$RW_TMP/$1.log" 2>&1) & RW_PIDS+=("$!"); }
# start_intro [VARIABLE=VALUE...]: the program as the user, its pid in RW_PID.
start_intro() {
  RW_STATUS=""
  (as_user "$@" "$RW_APP/ZENOrA_intro" >>"$RW_TMP/intro.log" 2>&1) &
  RW_PID=$! && RW_PIDS+=("$RW_PID") && RW_STARTED=$(rw_now)
}
since() { echo $(( ($(rw_now) - $1) / 1000000 )); }

# record NAME RECORDER...: the intro's first 9 s as the server plays them, into $RW_TMP/NAME.raw; then SIGTERM.
record() {
  local name=$1 recorder
  (as_user "${@:2}" >"$RW_TMP/$name.raw" 2>"$RW_TMP/$name-recorder.log") &
  recorder=$! && RW_PIDS+=("$recorder")
  sleep 0.3
  start_intro ${driver:+SDL_AUDIODRIVER=$driver}
  rw_wait_intro_window 10
  sleep "$(awk -v ms="$(since "$RW_STARTED")" 'BEGIN { print ms < 9000 ? (9000 - ms) / 1000 : 0 }')"
  kill -TERM "$RW_PID" && rw_wait_exit "$RW_PID" 5 && [ "$RW_STATUS" = 0 ] ||
    rw_check_failed "$name: SIGTERM to the running intro: ${RW_STATUS:-still running}, not 0"
  rw_stop_pid "$recorder"
  rw_heard "$name"
}

rw_start_xvfb
case $mode in
  pulseaudio | pipewire)
    "$RW_BUILD/ZENOrA_capture" --out "$RW_TMP/ref" --video 10 --scale 1 >"$RW_TMP/capture.log" 2>&1 ||
      rw_fail "the capture tool could not render the music"
    if [ "$mode" = pulseaudio ]; then
      serve pulseaudio pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
        -L "module-native-protocol-unix auth-anonymous=1" -L "module-null-sink sink_name=zenora"
      rw_until 10000 eval '(as_user pactl info) >/dev/null 2>&1' || rw_fail "PulseAudio did not start"
      driver="" record pulseaudio parec -d zenora.monitor --latency-msec=50 --raw --format=s16le --rate=44100 --channels=2
    else
      serve dbus dbus-daemon --session --nofork --address="$bus"
      rw_until 5000 test -S "$RW_TMP/xdg/bus" || rw_fail "no session bus"
      serve pipewire pipewire && rw_until 5000 test -S "$RW_TMP/xdg/pipewire-0" || rw_fail "PipeWire did not start"
      serve wireplumber wireplumber && serve pipewire-pulse pipewire-pulse
      rw_until 10000 eval '(as_user pactl load-module module-null-sink sink_name=zenora) >/dev/null 2>&1' &&
        rw_until 5000 eval '(as_user pactl set-default-sink zenora) 2>/dev/null' || rw_fail "no null sink in PipeWire"
      for driver in pulseaudio pipewire; do
        record "pipewire-$driver" pw-record -P stream.capture.sink=true --target zenora --rate 44100 --channels 2 -
      done
    fi
    ;;
  stuck)
    rw_need_box_font
    bad=$(rw_copy_folder bad) && cp "${ZENORA_TESTLIBS:-$RW_BUILD/testlibs}/initfail/libbassmod.so" "$bad/"
    rw_start_intro "$bad"
    box=$(rw_wait_window Error 10) || rw_fail "the library that always fails gave no box"
    sleep 0.3 && rw_shot "$box" "$RW_TMP/initfail.png" && rw_click_ok "$box" && rw_wait_exit "$RW_PID" 5
    serve pipewire pipewire && rw_until 5000 test -S "$RW_TMP/xdg/pipewire-0" || rw_fail "PipeWire did not start"
    serve pipewire-pulse pipewire-pulse && rw_until 5000 test -S "$RW_TMP/xdg/pulse/native" ||
      rw_fail "pipewire-pulse did not start"
    for driver in pulseaudio pipewire; do
      start_intro SDL_AUDIODRIVER=$driver
      box=$(rw_wait_window Error 5) || rw_fail "$driver: no box within 5 s of the start"
      rw_log "$driver: the box after $(since "$RW_STARTED") ms"
      sleep 0.3 && rw_shot "$box" "$RW_TMP/$driver.png"
      [ "$(rw_size "$box")" = "$("$RW_CONVERT" "$RW_TMP/initfail.png" -format '%w %h' info:)" ] &&
        [ "$(rw_diff_inside "$RW_TMP/initfail.png" "$RW_TMP/$driver.png" 1000 1000 0 0)" = 0 ] ||
        rw_check_failed "$driver: the box is not the one of a sound output that cannot be opened"
      rw_click_ok "$box" && sent=$(rw_now)
      rw_wait_exit "$RW_PID" 5 && [ "$RW_STATUS" = 1 ] || rw_check_failed "$driver: after the box: ${RW_STATUS:-still running}"
      rw_log "$driver: ended $(since "$sent") ms after the click, status ${RW_STATUS:-none}"
    done
    for run in "pulseaudio TERM" "pipewire INT"; do
      read -r driver signal <<<"$run"
      start_intro SDL_AUDIODRIVER="$driver"
      sleep 1 && rw_alive "$RW_PID" && [ -z "$(rw_windows_titled Error)" ] && kill "-$signal" "$RW_PID" && sent=$(rw_now) ||
        rw_fail "$driver: ended or showed its box within a second of the start"
      rw_wait_exit "$RW_PID" 1 && [ "$RW_STATUS" = $(( 128 + $(kill -l "$signal") )) ] ||
        rw_check_failed "$driver: SIG$signal 1 s into the start: ${RW_STATUS:-still running a second later}"
      rw_log "$driver: SIG$signal 1 s into the start: status ${RW_STATUS:-none} after $(since "$sent") ms"
    done
    ;;
esac
rw_finish

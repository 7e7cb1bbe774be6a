#!/usr/bin/env bash
# Ends forced on the program, which must still be clean.
#   faults.sh memory  under ulimit -v of 30 to 45 MB the capture tool and the program run, or end with status 1
#                     after a box or a line on stderr; never by a signal or an abort
#   faults.sh signal  SIGTERM, SIGINT or SIGKILL while the first box is up end the program in a second, by
#                     that signal, and the box goes with it
source "$(dirname "$0")/lib.sh"
app=$(rw_copy_folder app)
rw_start_xvfb
rw_need_box_font
outcome() {  # a status, a log and what was seen: fine when 0, or 1 after a box or a line and no abort
  [ "$1" = 0 ] || { [ "$1" = 1 ] && ! grep -q terminate "$2" && { [ -n "${3:-}" ] || grep -v 'disk i/o' "$2" | grep -q .; }; }
}
if [ "${1:?memory or signal}" = memory ]; then
  for kb in $(seq 30720 256 46080); do  # the capture tool is quick: a finer sweep
    (ulimit -v "$kb" && exec "$app/ZENOrA_capture" --out "$RW_TMP/c$kb" --at 0,1000) >"$RW_TMP/capture.log" 2>&1; status=$?
    outcome "$status" "$RW_TMP/capture.log" || rw_check_failed "capture at $kb KB: status $status: $(head -c 300 "$RW_TMP/capture.log")"
    [ $(( (kb - 30720) % 1536 )) = 0 ] || continue
    rw_start_program bash -c 'ulimit -v "$1" && exec "$0"' "$app/ZENOrA_intro" "$kb"
    seen="" running=0 deadline=$(( $(date +%s) + 20 ))
    while rw_alive "$RW_PID" && [ "$(date +%s)" -lt "$deadline" ] && [ "$running" -lt 10 ]; do
      box=$( (rw_windows_titled Error; rw_windows_titled ZENOrA_intro) | head -n1)
      if [ -n "$box" ]; then seen="$seen box"; rw_click_ok "$box"; sleep 0.2; running=0; continue; fi
      [ -n "$(rw_windows_titled "$RW_TITLE")" ] && running=$((running + 1))
      sleep 0.1
    done
    if rw_alive "$RW_PID"; then
      [ "$running" -ge 10 ] || rw_check_failed "program at $kb KB neither ran nor ended within 20 s"
      rw_stop_pid "$RW_PID" && seen="$seen ran"
    else
      rw_wait_exit "$RW_PID" 1
      outcome "$RW_STATUS" "$RW_TMP/intro.log" "$seen" || rw_check_failed "program at $kb KB: status $RW_STATUS: $(head -c 300 "$RW_TMP/intro.log")"
      seen="$seen status $RW_STATUS $(head -c 80 "$RW_TMP/intro.log")"
    fi
    rw_log "$kb KB: capture status $status; program:$seen"
  done
else
  : >"$app/LIGHT.S3M"  # the load box comes first
  for sig in TERM INT KILL; do
    rw_start_intro "$app"
    rw_wait_window Error 10 >/dev/null || rw_fail "no box within 10 s"
    sent=$(date +%s%N) && kill "-$sig" "$RW_PID"
    rw_wait_exit "$RW_PID" 1 || rw_fail "still running 1 s after SIG$sig"
    ended=$(( ($(date +%s%N) - sent) / 1000000 ))
    while [ -n "$(rw_windows_titled Error)" ] && [ "$(date +%s%N)" -lt $((sent + 1000000000)) ]; do sleep 0.01; done
    [ -z "$(rw_windows_titled Error)" ] || rw_check_failed "the box outlived SIG$sig by a second"
    [ "$RW_STATUS" = $((128 + $(kill -l "$sig"))) ] || rw_check_failed "SIG$sig gave status $RW_STATUS"
    rw_log "SIG$sig: ended in $ended ms (status $RW_STATUS), box gone in $(( ($(date +%s%N) - sent) / 1000000 )) ms"
  done
fi
rw_finish

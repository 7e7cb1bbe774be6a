#!/usr/bin/env bash
# A click on the grey close glyph frees the music and ends the program at
# once with status 0: the sound output stops with it.
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window
read -r X Y < <(rw_position "$RW_WIN")

# The music is playing before the click.
for i in $(seq 50); do
  rw_audio_nonsilent && break
  sleep 0.1
done
rw_audio_nonsilent || rw_fail "no sound in $RW_TMP/audio.raw ($(rw_audio_size) bytes) before the click"

rw_pointer_to "$(( X + 308 ))" "$(( Y + 12 ))"
rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_fail "the grey glyph does not show under the pointer"

start=$(date +%s%N)
timeout 5 xdotool click 1
rw_wait_exit "$RW_PID" 5 || rw_fail "still running 5 s after the click on the grey glyph"
took=$(( ($(date +%s%N) - start) / 1000000 ))
[ "$RW_STATUS" = 0 ] || rw_check_failed "exit status $RW_STATUS, not 0"
(( took <= 200 )) || rw_check_failed "the program took $took ms to end after the click, more than 200 ms"

size=$(rw_audio_size)
sleep 0.3
[ "$(rw_audio_size)" = "$size" ] || rw_check_failed "the sound output grew from $size to $(rw_audio_size) bytes after the program ended"
[ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "the window is still there"

rw_log "ended with status $RW_STATUS $took ms after the click; sound output stopped at $size bytes"
rw_finish

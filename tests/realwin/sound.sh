#!/usr/bin/env bash
# The music plays: the sound output holds more than silence. Started from
# another folder, or through a symbolic link to the program, it still finds
# LIGHT.S3M beside itself.
#   sound.sh build       the build folder's program, started in a temp folder
#   sound.sh elsewhere   a copy of the program folder, started by full path
#                        from a folder that holds an unplayable LIGHT.S3M
#   sound.sh symlink     started as ./zenora, a link to that copy, from a
#                        folder that holds an unplayable LIGHT.S3M
source "$(dirname "$0")/lib.sh"

mode=${1:?build, elsewhere or symlink}
rw_start_xvfb

# A decoy in the working folder: reading it would mean two error boxes.
mkdir "$RW_TMP/work"
head -c 4096 /dev/urandom >"$RW_TMP/work/LIGHT.S3M"
case $mode in
  build)
    RW_CWD=$RW_TMP rw_start_intro "$RW_BUILD" ;;
  elsewhere)
    app=$(rw_copy_folder app)
    RW_CWD=$RW_TMP/work rw_start_intro "$app" ;;
  symlink)
    app=$(rw_copy_folder app)
    ln -s "$app/ZENOrA_intro" "$RW_TMP/work/zenora"
    RW_CWD=$RW_TMP/work rw_start_program ./zenora ;;
  *) rw_fail "unknown mode $mode" ;;
esac

# Any box would come before the window: watch for both.
deadline=$(( $(date +%s%N) + 10000000000 ))
RW_WIN=""
while [ "$(date +%s%N)" -lt "$deadline" ]; do
  box=$(rw_windows_titled Error)
  [ -n "$box" ] && rw_fail "an error box came up: the music was not found or not played"
  RW_WIN=$(rw_windows_titled "$RW_TITLE" | head -n1)
  [ -n "$RW_WIN" ] && break
  rw_alive "$RW_PID" || rw_fail "the program ended"
  sleep 0.05
done
[ -n "$RW_WIN" ] || rw_fail "no window within 10 s"

# The sound output grows and is not all zeros.
for i in $(seq 60); do
  rw_audio_nonsilent && break
  sleep 0.1
done
rw_audio_nonsilent || rw_fail "the sound output ($(rw_audio_size) bytes) holds only silence"
size=$(rw_audio_size)
sleep 0.5
grown=$(( $(rw_audio_size) - size ))
(( grown > 0 )) || rw_check_failed "the sound output stopped growing at $size bytes"
# Its latest part is music too, not silence after a false start.
rw_audio_nonsilent "$size" || rw_check_failed "the sound output turned silent after $size bytes"
[ -z "$(rw_windows_titled Error)" ] || rw_check_failed "an error box came up while the music played"
rw_alive "$RW_PID" || rw_fail "the program ended"

rw_log "$mode: music playing, $(rw_audio_size) bytes of sound, $grown in the last 0.5 s"
rw_finish

#!/usr/bin/env bash
# The music plays, the program found beside it however it is started: the
# build folder's program from a temp folder; a copy of the program folder by
# full path, and through a symbolic link to it, from a folder that holds an
# unplayable LIGHT.S3M (reading that decoy would mean two error boxes).
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
app=$(rw_copy_folder app)
mkdir "$RW_TMP/work"
head -c 4096 /dev/urandom >"$RW_TMP/work/LIGHT.S3M"
ln -s "$app/ZENOrA_intro" "$RW_TMP/work/zenora"

for how in build elsewhere symlink; do
  case $how in
    build) RW_CWD=$RW_TMP rw_start_intro ;;
    elsewhere) RW_CWD=$RW_TMP/work rw_start_intro "$app" ;;
    symlink) RW_CWD=$RW_TMP/work rw_start_program ./zenora ;;
  esac
  # Any box would come before the window.
  RW_WIN=""
  deadline=$(( $(rw_now) + 10000000000 ))
  while [ -z "$RW_WIN" ] && [ "$(rw_now)" -lt "$deadline" ]; do
    [ -n "$(rw_windows_titled Error)" ] && rw_fail "$how: an error box came up: the music was not found or not played"
    rw_alive "$RW_PID" || rw_fail "$how: the program ended"
    RW_WIN=$(rw_windows_titled "$RW_TITLE")
    sleep 0.05
  done
  [ -n "$RW_WIN" ] || rw_fail "$how: no window within 10 s"
  # The sound output grows, and its latest part is music too.
  for i in $(seq 60); do rw_audio_nonsilent && break; sleep 0.1; done
  size=$(rw_audio_size)
  sleep 0.5
  rw_audio_nonsilent "$size" || rw_check_failed "$how: silence or no sound ($size, then $(rw_audio_size) bytes)"
  rw_log "$how: music playing, $(rw_audio_size) bytes of sound"
  rw_stop_pid "$RW_PID"
done
rw_finish

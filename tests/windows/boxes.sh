#!/usr/bin/env bash
# The error boxes of the zip's program under wine: Windows' own message boxes, their titles and texts read
# by the box reader, each gone with a click on its OK button.
#   boxes.sh missing|damaged   LIGHT.S3M cannot be played: "Can't Load Music", then "Can't play music", then
#                              the intro runs on
#   boxes.sh nolib|truncated|foreign   bassmod.dll missing, cut short, or another DLL: the runtime's box, no
#                              intro window, status 1
#   boxes.sh stuck             a sound server that never answers (PulseAudio stopped): within 3 s of opening
#                              the output, "Can't initialize digital sound system", status 1
source "$(dirname "$0")/lib.sh"

kind=${1:?what to break}
rw_start_xvfb
win_prefix
app=$RW_TMP/app
win_unzip "$app"
win_pulse
title=Error
case $kind in
  missing) rm "$app/LIGHT.S3M" && code="Error Code : 2\\nCan't Open the File" ;;
  damaged) head -c 4096 /dev/urandom >"$app/LIGHT.S3M" && code="Error Code : 6\\nUnsupported Format" ;;
  nolib) rm "$app/bassmod.dll" && boxes=("Run-time error '53':\\n\\nFile not found: bassmod.dll") ;;
  truncated) head -c 4000 "$WIN_BUILD/bassmod.dll" >"$app/bassmod.dll" && boxes=("Run-time error '48':\\n\\nError in loading DLL") ;;
  foreign) cp /usr/x86_64-w64-mingw32/lib/libwinpthread-1.dll "$app/bassmod.dll" &&
    boxes=("Run-time error '453':\\n\\nCan't find DLL entry point BASSMOD_GetVersion in bassmod.dll") ;;
  stuck) kill -STOP "$WIN_PULSE" && boxes=("Can't initialize digital sound system\\n\\nError Code : 3\\nCan't Find a Free Sound Driver") ;;
  *) rw_fail "no such case: $kind" ;;
esac
case $kind in
  missing | damaged) boxes=("Can't Load Music\\n\\n$code" "Can't play music\\n\\nError Code : 5\\nInvalid Handle") ;;
  nolib | truncated | foreign) title=ZENOrA_intro ;;
esac

win_start "$app"
started=$(rw_now)
for n in "${!boxes[@]}"; do
  win_box "$title" 30 || rw_fail "box $(( n + 1 )) titled '$title' did not come"
  rw_log "box $(( n + 1 )) after $(( ($(rw_now) - started) / 1000000 )) ms: $WIN_BOX"
  [ "$WIN_BOX" = "${boxes[n]}" ] || rw_check_failed "box $(( n + 1 )) reads '$WIN_BOX', not '${boxes[n]}'"
  [ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "box $(( n + 1 )): the intro's window beside it"
  box=$(rw_windows_titled "$title" | head -n 1)
  win_click_ok
  rw_until 5000 eval '[ -z "$(rw_shown | grep "^$box")" ]' || rw_fail "box $(( n + 1 )) stays after its OK"
done
[ "$kind" = stuck ] && kill -CONT "$WIN_PULSE"
if (( ${#boxes[@]} == 2 )); then
  # The intro runs on without music (it animates), and no third box comes.
  rw_wait_intro_window 10
  rw_shot "$RW_WIN" "$RW_TMP/after-1.png" && sleep 0.5 && rw_shot "$RW_WIN" "$RW_TMP/after-2.png"
  [ "$(rw_diff_inside "$RW_TMP/after-1.png" "$RW_TMP/after-2.png" 320 189 0 0)" -gt 0 ] && [ -z "$(rw_windows_titled Error)" ] ||
    rw_check_failed "the intro does not animate, or a third box came"
else
  rw_wait_exit "$RW_PID" 10 && [ "$RW_STATUS" = 1 ] || rw_check_failed "after the box: status ${RW_STATUS:-still running}"
  [ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "an intro window after all"
fi
rw_finish

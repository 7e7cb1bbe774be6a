#!/usr/bin/env bash
# Start-up refused by the sound library: exactly one box, no intro window,
# and status 1 once the box is closed.
#   startup_fail.sh v2_0|v1_60   the library's version text is "2.0" / "1.60"
#   startup_fail.sh initfail     its initialisation fails (code 3)
#   startup_fail.sh no_init      it lacks the BASSMOD_Init export
#   startup_fail.sh nolib        there is no library beside the program
#   startup_fail.sh truncated    the library is cut short (mapping it whole would fault)
# The first three show the program's "Error" box, the last three the runtime's
# own box, titled "ZENOrA_intro". The texts are checked through
# ZENOrA_capture on the same folder, which writes each box to stderr.
source "$(dirname "$0")/lib.sh"

mode=${1:?v2_0, v1_60, initfail, no_init, nolib or truncated}
testlibs=${ZENORA_TESTLIBS:-$RW_BUILD/testlibs}
app=$(rw_copy_folder app)
case $mode in
  v2_0 | v1_60)
    title=Error
    text="BASSMOD version 1.6 was not loaded\\n\\nError Code : 0\\nAll is OK" ;;
  initfail)
    title=Error
    text="Can't initialize digital sound system\\n\\nError Code : 3\\nCan't Find a Free Sound Driver" ;;
  no_init)
    title=ZENOrA_intro
    text="Run-time error '453':\\n\\nCan't find DLL entry point BASSMOD_Init in libbassmod.so" ;;
  nolib)
    title=ZENOrA_intro
    text="Run-time error '53':\\n\\nFile not found: libbassmod.so" ;;
  truncated)
    title=ZENOrA_intro
    text="Run-time error '48':\\n\\nError in loading DLL" ;;
  *) rw_fail "unknown mode $mode" ;;
esac
if [ "$mode" = nolib ]; then
  rm "$app/libbassmod.so"
elif [ "$mode" = truncated ]; then
  head -c 4000 "$RW_BUILD/libbassmod.so" >"$app/libbassmod.so"
else
  [ -f "$testlibs/$mode/libbassmod.so" ] || rw_fail "the test build $testlibs/$mode/libbassmod.so is missing"
  cp "$testlibs/$mode/libbassmod.so" "$app/libbassmod.so"
fi

# The text, from the capture tool on the same folder: one box, status 1.
timeout 20 "$app/ZENOrA_capture" --out "$RW_TMP/capture" --at 0 >"$RW_TMP/capture.log" 2>&1
status=$?
[ "$status" = 1 ] || rw_check_failed "ZENOrA_capture ended with status $status, not 1"
boxes=$(grep '^Error box:' "$RW_TMP/capture.log")
[ "$boxes" = "Error box: $title: $text" ] ||
  rw_check_failed "the box's text differs; expected
Error box: $title: $text"

rw_start_xvfb
rw_need_box_font
rw_start_intro "$app"
box=$(rw_wait_window "$title" 10) || rw_fail "no box titled '$title' within 10 s"
sleep 0.3
[ "$(rw_windows_titled "$title" | wc -l)" = 1 ] || rw_check_failed "$(rw_windows_titled "$title" | wc -l) boxes at once"
early=$(rw_windows | cut -f2 | grep -vx "$title" | tr '\n' ' ')
[ -z "$early" ] || rw_check_failed "other windows beside the box: $early"
rw_log "box $box titled '$title'"
rw_click_ok "$box"

# Up to the end: no intro window, no further box.
seen=""
deadline=$(( $(date +%s%N) + 5000000000 ))
while rw_alive "$RW_PID" && [ "$(date +%s%N)" -lt "$deadline" ]; do
  windows=$(rw_windows | cut -f2 | grep -v '^$' | sort -u | tr '\n' ' ')
  [ -n "$windows" ] && seen="$seen [$windows]"
  sleep 0.05
done
rw_wait_exit "$RW_PID" 1 || rw_fail "still running 5 s after the box was closed; windows seen: ${seen:-none}"
[ "$RW_STATUS" = 1 ] || rw_check_failed "exit status $RW_STATUS, not 1"
[ -z "$seen" ] || rw_check_failed "windows after the box was closed: $seen"

rw_log "$mode: one box titled '$title', then status $RW_STATUS"
rw_finish

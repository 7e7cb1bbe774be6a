#!/usr/bin/env bash
# The error boxes, one at a time, each gone with a click on its OK button.
#   boxes.sh missing|empty|fifo   LIGHT.S3M cannot be played: "Can't Load
#       Music", then "Can't play music", then the intro runs on
#   boxes.sh v2_0|v1_60|initfail|no_init|nolib|truncated   the sound library
#       refuses, is missing or cut short: one box, no intro window, status 1
# Titles, number and order are checked on the screen, the texts through
# ZENOrA_capture on the same folder, which writes each box to stderr.
source "$(dirname "$0")/lib.sh"

app=$(rw_copy_folder app)
code="Error Code : 2\\nCan't Open the File"
case ${1:?what to break} in
  missing) rm "$app/LIGHT.S3M" ;;
  empty) : >"$app/LIGHT.S3M" && code="Error Code : 6\\nUnsupported Format" ;;
  fifo) rm "$app/LIGHT.S3M" && mkfifo "$app/LIGHT.S3M" ;;   # nobody ever writes to it
  nolib) rm "$app/libbassmod.so" && boxes=("ZENOrA_intro: Run-time error '53':\\n\\nFile not found: libbassmod.so") ;;
  truncated) head -c 4000 "$RW_BUILD/libbassmod.so" >"$app/libbassmod.so" && boxes=("ZENOrA_intro: Run-time error '48':\\n\\nError in loading DLL") ;;
  *) cp "${ZENORA_TESTLIBS:-$RW_BUILD/testlibs}/$1/libbassmod.so" "$app/" || rw_fail "no test build of the library '$1'" ;;
esac
case $1 in
  missing | empty | fifo) boxes=("Error: Can't Load Music\\n\\n$code" "Error: Can't play music\\n\\nError Code : 5\\nInvalid Handle") ;;
  v2_0 | v1_60) boxes=("Error: BASSMOD version 1.6 was not loaded\\n\\nError Code : 0\\nAll is OK") ;;
  initfail) boxes=("Error: Can't initialize digital sound system\\n\\nError Code : 3\\nCan't Find a Free Sound Driver") ;;
  no_init) boxes=("ZENOrA_intro: Run-time error '453':\\n\\nCan't find DLL entry point BASSMOD_Init in libbassmod.so") ;;
esac
timeout 20 "$app/ZENOrA_capture" --out "$RW_TMP/capture" --at 0 >"$RW_TMP/capture.log" 2>&1
[ "$?" = $(( ${#boxes[@]} == 1 )) ] && [ "$(grep '^Error box:' "$RW_TMP/capture.log")" = "$(printf 'Error box: %s\n' "${boxes[@]}")" ] ||
  rw_check_failed "ZENOrA_capture's boxes or status differ; expected$(printf '\nError box: %s' "${boxes[@]}")"

rw_start_xvfb
rw_need_box_font
rw_start_intro "$app"
for n in "${!boxes[@]}"; do
  # The next box: titled so, with another picture than the one before.
  box="" title=${boxes[n]%%: *} deadline=$(( $(rw_now) + 10000000000 ))
  until [ -n "$box" ] || [ "$(rw_now)" -gt "$deadline" ]; do
    sleep 0.05
    box=$(rw_windows_titled "$title" | head -n1)
    [ -n "$box" ] && (( n > 0 )) && rw_shot "$box" "$RW_TMP/now.png" &&
      [ "$(rw_diff_inside "$RW_TMP/box-$(( n - 1 )).png" "$RW_TMP/now.png" 200 60 0 0)" = 0 ] && box=""
  done
  [ -n "$box" ] || rw_fail "box $(( n + 1 )) titled '$title' did not come within 10 s"
  sleep 0.3
  rw_shot "$box" "$RW_TMP/box-$n.png"
  others=$(rw_shown | grep -v "^$box" | cut -f2 | tr '\n' ' ')
  [ -z "$others" ] || rw_check_failed "box $(( n + 1 )): other windows beside it: $others"
  rw_log "box $(( n + 1 )): $box titled '$title'"
  rw_click_ok "$box"
done
if (( ${#boxes[@]} == 2 )); then
  # The intro runs on without music (it animates), and no third box comes.
  RW_WIN=$(rw_wait_window "$RW_TITLE" 10) || rw_fail "no intro window after the boxes"
  rw_shot "$RW_WIN" "$RW_TMP/after-1.png" && sleep 0.5 && rw_shot "$RW_WIN" "$RW_TMP/after-2.png"
  [ "$(rw_diff_inside "$RW_TMP/after-1.png" "$RW_TMP/after-2.png" 320 189 0 0)" -gt 0 ] && [ -z "$(rw_windows_titled Error)" ] ||
    rw_check_failed "the intro does not animate, or a third box came"
else
  # Up to the end, no other window; then status 1.
  seen="" deadline=$(( $(rw_now) + 5000000000 ))
  while rw_alive "$RW_PID" && [ "$(rw_now)" -lt "$deadline" ]; do seen+=$(rw_shown | cut -f2) && sleep 0.05; done
  rw_wait_exit "$RW_PID" 1 || rw_fail "still running 5 s after the box was closed"
  [ "$RW_STATUS" = 1 ] && [ -z "$seen" ] || rw_check_failed "status $RW_STATUS, windows after the box: ${seen:-none}"
fi
rw_finish

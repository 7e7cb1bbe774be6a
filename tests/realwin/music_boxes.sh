#!/usr/bin/env bash
# Music that cannot be played: two error boxes come one after the other,
# "Can't Load Music" then "Can't play music", each goes with a click on its OK
# button, and then the intro window runs without music.
#   music_boxes.sh missing|empty|fifo   what lies beside the program as LIGHT.S3M
# The boxes' texts are drawn, not readable back: their titles, their number
# and their order are checked here, their texts through ZENOrA_capture on the
# same folder, which writes each box to stderr.
source "$(dirname "$0")/lib.sh"

kind=${1:?missing, empty or fifo}
app=$(rw_copy_folder app)
rm -f "$app/LIGHT.S3M"
case $kind in
  missing) ;;
  empty) : >"$app/LIGHT.S3M" ;;
  fifo) mkfifo "$app/LIGHT.S3M" ;;   # nobody ever writes to it
  *) rw_fail "unknown kind $kind" ;;
esac
case $kind in
  empty) load="Error Code : 6\\nUnsupported Format" ;;
  *) load="Error Code : 2\\nCan't Open the File" ;;
esac

# The texts, from the capture tool on the same folder.
timeout 20 "$app/ZENOrA_capture" --out "$RW_TMP/capture" --at 0,1000 >"$RW_TMP/capture.log" 2>&1
status=$?
[ "$status" = 0 ] || rw_check_failed "ZENOrA_capture ended with status $status (the intro should run on)"
expected="Error box: Error: Can't Load Music\\n\\n$load
Error box: Error: Can't play music\\n\\nError Code : 5\\nInvalid Handle"
if [ "$(grep '^Error box:' "$RW_TMP/capture.log")" != "$expected" ]; then
  rw_check_failed "the boxes' texts differ; expected
$expected"
fi

rw_start_xvfb
rw_need_box_font
rw_start_intro "$app"

# box_shows N: waits for exactly one box titled "Error", and no intro window
# yet; N is its place in the row. Sets BOX; keeps a screenshot of it.
box_shows() {
  local n=$1 ids
  BOX=$(rw_wait_window Error 10) || rw_fail "box $n did not come within 10 s"
  sleep 0.2
  ids=$(rw_windows_titled Error)
  [ "$(wc -l <<<"$ids")" = 1 ] || rw_check_failed "box $n: $(wc -l <<<"$ids") boxes at once"
  [ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "box $n: the intro window shows already"
  rw_shot "$BOX" "$RW_TMP/box-$n.png"
  rw_log "box $n: $BOX, $(rw_size "$BOX" | tr ' ' x)"
}

box_shows 1
rw_click_ok "$BOX"
# The first box goes and a different one comes: wait until what shows as
# "Error" is no longer the first box's picture.
deadline=$(( $(date +%s%N) + 10000000000 ))
second=""
while [ "$(date +%s%N)" -lt "$deadline" ]; do
  ids=$(rw_windows_titled Error)
  if [ -n "$ids" ]; then
    rw_shot "$(head -n1 <<<"$ids")" "$RW_TMP/box-now.png"
    if [ "$(rw_diff_inside "$RW_TMP/box-1.png" "$RW_TMP/box-now.png" 200 60 0 0 2>/dev/null)" != 0 ]; then
      second=yes
      break
    fi
  fi
  [ -n "$(rw_windows_titled "$RW_TITLE")" ] && break
  rw_alive "$RW_PID" || break
  sleep 0.05
done
[ -n "$second" ] || rw_fail "after OK on the first box, no second box came (the first one $( [ -n "$(rw_windows_titled Error)" ] && echo 'is still there' || echo 'went'))"
box_shows 2
rw_click_ok "$BOX"

# Then the intro runs on, with no third box.
RW_WIN=$(rw_wait_window "$RW_TITLE" 10) || rw_fail "no intro window after the two boxes"
rw_log "intro window $RW_WIN"
sleep 0.5
[ -z "$(rw_windows_titled Error)" ] || rw_check_failed "a third box came up"
rw_shot "$RW_WIN" "$RW_TMP/after-1.png"
sleep 0.2
rw_shot "$RW_WIN" "$RW_TMP/after-2.png"
moved=$(rw_diff_inside "$RW_TMP/after-1.png" "$RW_TMP/after-2.png" 320 189 0 0)
[ "${moved:-0}" -gt 0 ] || rw_check_failed "the intro window does not animate after the boxes"
rw_alive "$RW_PID" || rw_fail "the program ended after the boxes"

rw_log "$kind: two boxes in turn, then the intro runs ($moved pixels changed in 200 ms)"
rw_finish

#!/usr/bin/env bash
# Dragging the window: any button pressed on the picture or the bottom rows
# moves the window with the pointer; presses on the strips and the close
# glyph do not; the intro keeps animating during a drag.
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window

# drag BUTTON CX CY DX DY: press BUTTON at client point (CX, CY), move the
# pointer by (DX, DY) in one motion, release. Sets FROM and TO ("X Y").
drag() {
  local button=$1 cx=$2 cy=$3 dx=$4 dy=$5 fx fy
  FROM=$(rw_position "$RW_WIN")
  read -r fx fy <<<"$FROM"
  rw_pointer_to "$(( fx + cx ))" "$(( fy + cy ))"
  timeout 5 xdotool mousedown "$button"
  sleep 0.05
  timeout 5 xdotool mousemove_relative -- "$dx" "$dy"
  TO=$(rw_wait_moved "$RW_WIN" 600 "$FROM")
  timeout 5 xdotool mouseup "$button"
  sleep 0.05
}

# expect_moved WHAT DX DY: the window went by exactly (DX, DY) and the grabbed
# point is still under the pointer.
expect_moved() {
  local what=$1 dx=$2 dy=$3 fx fy tx ty
  read -r fx fy <<<"$FROM"
  read -r tx ty <<<"$TO"
  if [ "$(( tx - fx )) $(( ty - fy ))" != "$dx $dy" ]; then
    rw_check_failed "$what: window went from $FROM to $TO, not by ($dx, $dy); pointer at $(rw_pointer)"
  else
    rw_log "$what: $FROM -> $TO"
  fi
}

expect_still() {
  local what=$1
  if [ "$TO" != "$FROM" ]; then
    rw_check_failed "$what: the window moved from $FROM to $TO"
  else
    rw_log "$what: stays at $FROM"
  fi
  rw_alive "$RW_PID" || rw_fail "$what: the program ended"
}

[ "$(rw_position "$RW_WIN")" = "$RW_X0 $RW_Y0" ] || rw_fail "the window opened at $(rw_position "$RW_WIN")"

# Grab at (100, 50), move 30 right and 10 down, with each button.
drag 1 100 50 30 10
expect_moved "left button" 30 10
drag 3 100 50 30 10
expect_moved "right button" 30 10
drag 2 100 50 30 10
expect_moved "middle button" 30 10
# The bottom four rows are the form's own surface too.
drag 1 160 186 -20 -15
expect_moved "left button on the bottom rows" -20 -15

# Presses on the star strip, the two banners and the close glyph go to those
# controls, which do not drag.
drag 1 160 150 30 10
expect_still "left button on the star strip"
drag 3 40 145 -25 5
expect_still "right button on the star strip"
drag 1 160 133 30 10
expect_still "left button on the upper banner"
drag 2 200 179 30 -10
expect_still "middle button on the lower banner"
drag 1 308 12 -30 10
expect_still "left button on the close glyph, released elsewhere"

# No limit at the screen's edge: grab at (100, 50) and put the pointer at
# screen x 20, so the window's left edge lands at -80.
read -r fx _ < <(rw_position "$RW_WIN")
drag 1 100 50 "$(( 20 - fx - 100 ))" 0
expect_moved "dragged partly off the screen" "$(( -80 - fx ))" 0

# During a drag the intro keeps going: the star strip changes between two
# screenshots while the button is still held.
read -r fx fy < <(rw_position "$RW_WIN")
rw_pointer_to "$(( fx + 100 ))" "$(( fy + 50 ))"
timeout 5 xdotool mousedown 1
sleep 0.05
timeout 5 xdotool mousemove_relative -- 150 40
FROM="$fx $fy"
TO=$(rw_wait_moved "$RW_WIN" 600 "$FROM")
rw_shot "$RW_WIN" "$RW_TMP/during-1.png"
sleep 0.15
rw_shot "$RW_WIN" "$RW_TMP/during-2.png"
timeout 5 xdotool mouseup 1
[ "$TO" != "$FROM" ] || rw_check_failed "the window did not follow the drag for the animation check"
stars=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 319 33 1 140)
logo=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 80 80 232 33)
[ "${stars:-0}" -gt 0 ] || rw_check_failed "the star strip did not change during the drag"
[ "${logo:-0}" -gt 0 ] || rw_check_failed "the logo did not change during the drag"
rw_log "during the drag: $stars star-strip pixels and $logo logo pixels changed in 150 ms"

rw_finish

#!/usr/bin/env bash
# The close glyph's hover picture: the grey glyph shows while the pointer is
# on it, the first move over the picture brings the white one back, and
# leaving the window straight from the glyph leaves it grey.
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window
read -r X Y < <(rw_position "$RW_WIN")

rw_wait_glyph "$RW_WIN" '#FFFFFF' 1 || rw_fail "the white glyph does not show at start"

rw_pointer_to "$(( X + 308 ))" "$(( Y + 12 ))"
if rw_wait_glyph "$RW_WIN" '#C6C6C6' 2; then
  rw_log "pointer on the glyph: grey"
else
  rw_fail "pointer on the glyph at (308,12), the grey glyph does not show"
fi

# Down onto the picture: white again.
timeout 5 xdotool mousemove_relative -- 0 15
if rw_wait_glyph "$RW_WIN" '#FFFFFF' 2; then
  rw_log "pointer back on the picture: white"
else
  rw_check_failed "pointer moved from the glyph onto the picture at (308,27), the white glyph does not come back"
fi

# leave_from_glyph DX DY: onto the glyph, then out of the window in one move.
leave_from_glyph() {
  local dx=$1 dy=$2 where
  rw_pointer_to "$(( X + 306 ))" "$(( Y + 10 ))"
  rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 >/dev/null || { rw_check_failed "the grey glyph does not show before leaving"; return; }
  timeout 5 xdotool mousemove_relative -- "$dx" "$dy"
  sleep 0.3
  where=$(rw_pointer)
  if rw_wait_glyph "$RW_WIN" '#C6C6C6' 0; then
    rw_log "left the window by ($dx, $dy) to $where: still grey"
  else
    rw_check_failed "left the window straight from the glyph by ($dx, $dy) to $where: the grey glyph went away"
  fi
  # Back over the picture, the white glyph returns.
  rw_pointer_to "$(( X + 200 ))" "$(( Y + 60 ))"
  rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 >/dev/null || rw_check_failed "back over the picture after leaving, the white glyph does not return"
}

leave_from_glyph 25 0    # out through the right edge
leave_from_glyph 0 -20   # out through the top edge

rw_alive "$RW_PID" || rw_fail "the program ended"
rw_finish

#!/usr/bin/env bash
# However the pointer's moves come, a drag ends with the grabbed point under
# the pointer: many small moves as a hand makes them, and jumps of the pointer
# as remote-desktop and automation tools make them (a warp, no device motion).
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window

# judge WHAT FROM DX DY: the window went from FROM by exactly (DX, DY).
judge() {
  local what=$1 from=$2 dx=$3 dy=$4 to fx fy tx ty
  to=$(rw_wait_moved "$RW_WIN" 800 "$from")
  # Late moves get their time before the verdict.
  sleep 0.3
  to=$(rw_position "$RW_WIN")
  read -r fx fy <<<"$from"
  read -r tx ty <<<"$to"
  if [ "$(( tx - fx )) $(( ty - fy ))" != "$dx $dy" ]; then
    rw_check_failed "$what by ($dx, $dy): the window went from $from to $to, by ($(( tx - fx )), $(( ty - fy ))); the pointer is at $(rw_pointer), off the grabbed point"
  else
    rw_log "$what: $from -> $to"
  fi
}

# steps BUTTON DX DY STEP: grab at client (100, 50), move in steps of STEP px.
steps() {
  local button=$1 dx=$2 dy=$3 step=$4 from fx fy
  from=$(rw_position "$RW_WIN")
  read -r fx fy <<<"$from"
  rw_pointer_to "$(( fx + 100 ))" "$(( fy + 50 ))"
  timeout 5 xdotool mousedown "$button"
  sleep 0.05
  rw_pointer_by "$dx" "$dy" "$step"
  judge "button $button, moves of up to $step px" "$from" "$dx" "$dy"
  timeout 5 xdotool mouseup "$button"
  sleep 0.05
}

# warp DX DY: grab at client (100, 50), then the pointer jumps by (DX, DY).
warp() {
  local dx=$1 dy=$2 from fx fy
  from=$(rw_position "$RW_WIN")
  read -r fx fy <<<"$from"
  rw_pointer_to "$(( fx + 100 ))" "$(( fy + 50 ))"
  timeout 5 xdotool mousedown 1
  sleep 0.05
  timeout 5 xdotool mousemove "$(( fx + 100 + dx ))" "$(( fy + 50 + dy ))"
  judge "pointer jump" "$from" "$dx" "$dy"
  timeout 5 xdotool mouseup 1
  sleep 0.05
}

steps 1 30 10 5
steps 1 -60 -20 5
steps 3 40 0 2
steps 2 0 -30 3
warp 30 10
warp -45 25

rw_finish

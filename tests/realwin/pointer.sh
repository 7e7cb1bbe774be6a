#!/usr/bin/env bash
# The pointer as floods, backlogs and lost releases bring it, through XTest (xpointer, built with the tests):
#   pointer.sh flood    a button held on the picture while 10,000 moves a second arrive for
#                       ZENORA_FLOOD_SECONDS (60): the program lives, its memory and stack stay flat, the
#                       picture changes and the window follows the pointer; then the glyph closes it, status 0
#   pointer.sh backlog  the program stopped while a press, 100,000 moves and a release queue up: continued,
#                       it stands where the last move put it, and the release was kept (no drag after it)
#   pointer.sh lost     a drag chain whose release comes as the window moves, five times back to back: no
#                       drag is left running, and a move by others is not undone
XPOINTER=${ZENORA_XPOINTER:-xpointer}
RW_TOOLS=("$XPOINTER")
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window
read -r X0 Y0 < <(rw_position "$RW_WIN")
gx=$(( X0 + 100 )) gy=$(( Y0 + 50 ))   # a grab on the picture
status_of() { grep -E "^($1):" "/proc/$RW_PID/status" | awk '{printf "%s %s ", $1, $2}'; }
kib() { grep "^$1:" "/proc/$RW_PID/status" | awk '{print $2}'; }
# at_rest: no drag runs: a move of the pointer with no button leaves the window where it is.
at_rest() {
  local from
  from=$(rw_position "$RW_WIN")
  rw_pointer_to $(( gx + 200 )) $(( gy + 150 )) && rw_pointer_by 30 20 && sleep 0.3
  [ "$(rw_position "$RW_WIN")" = "$from" ] || rw_check_failed "$1: a drag ran on: $from -> $(rw_position "$RW_WIN")"
}

case ${1:?flood, backlog or lost} in
  flood)
    seconds=${ZENORA_FLOOD_SECONDS:-60}
    "$XPOINTER" at "$gx" "$gy" down 1 sweep $(( seconds * 10000 )) 10000 "$gx" "$gy" $(( gx + 200 )) $(( gy + 100 )) \
      at $(( gx + 40 )) $(( gy + 30 )) >"$RW_TMP/xpointer.log" 2>&1 &
    flood=$! && RW_PIDS+=("$flood")
    rss=() stack=() places=() samples=$(( seconds / 5 > 3 ? seconds / 5 : 3 ))
    for i in $(seq 1 "$samples"); do
      sleep "$(( seconds * 10 / samples - 5 ))e-1"
      rw_alive "$RW_PID" || rw_fail "the program ended after $(( i * seconds / samples )) s of the flood"
      rss+=("$(kib VmRSS)") stack+=("$(kib VmStk)") places+=("$(rw_position "$RW_WIN")")
      rw_animating || rw_check_failed "at $(( i * seconds / samples )) s the picture stood still"
      rw_log "$(( i * seconds / samples )) s: $(status_of 'VmRSS|VmStk')window at ${places[-1]}, $RW_STARS star and $RW_LOGO logo pixels changed"
      read -r x y <<<"${places[-1]}"
      (( x >= X0 && x <= X0 + 200 && y >= Y0 && y <= Y0 + 100 )) || rw_check_failed "the window at $x $y, off the pointer's path"
    done
    rw_wait_exit "$flood" 30 || rw_fail "xpointer still running"
    [ "$(printf '%s\n' "${places[@]}" | sort -u | wc -l)" -ge 3 ] || rw_check_failed "the window stood at ${places[*]}"
    (( rss[-1] - rss[0] < 2048 && stack[-1] < 1024 )) || rw_check_failed "memory grew: RSS ${rss[*]} KiB, stack ${stack[*]} KiB"
    [ "$(rw_wait_moved "$RW_WIN" 5000 "")" = "$(( X0 + 40 )) $(( Y0 + 30 ))" ] ||
      rw_check_failed "after the flood the window is at $(rw_position "$RW_WIN"), not under the pointer"
    "$XPOINTER" up 1
    at_rest "after the flood"
    ;;
  backlog)
    rw_pointer_to "$gx" "$gy"
    kill -STOP "$RW_PID"
    "$XPOINTER" down 1 sweep 100000 0 "$gx" "$gy" $(( gx + 200 )) $(( gy + 100 )) at $(( gx + 50 )) $(( gy + 20 )) up 1 \
      >"$RW_TMP/xpointer.log" 2>&1 || rw_fail "xpointer: $(cat "$RW_TMP/xpointer.log")"
    before=$(status_of 'VmRSS|VmStk') sent=$(rw_now)
    kill -CONT "$RW_PID"
    rw_until 10000 eval '[ "$(rw_position "$RW_WIN")" = "$(( X0 + 50 )) $(( Y0 + 20 ))" ]' ||
      rw_check_failed "10 s after the backlog the window is at $(rw_position "$RW_WIN")"
    rw_log "backlog of 100,000 moves worked off in $(( ($(rw_now) - sent) / 1000000 )) ms; ${before}then $(status_of 'VmRSS|VmStk|VmHWM')"
    (( $(kib VmStk) < 1024 )) || rw_check_failed "the moves nested: a stack of $(kib VmStk) KiB"
    at_rest "after the backlog"
    ;;
  lost)
    for i in 1 2 3 4 5; do
      timeout 10 xdotool windowmove "$RW_WIN" "$X0" "$Y0" mousemove "$gx" "$gy" mousedown 1 mousemove 0 0 \
        mousemove 1023 767 mouseup 1
    done
    sleep 0.3
    timeout 5 xdotool windowmove "$RW_WIN" 100 100
    [ "$(rw_wait_moved "$RW_WIN" 2000 "")" = "100 100" ] || rw_check_failed "windowmove undone: $(rw_position "$RW_WIN")"
    gx=200 gy=150
    at_rest "after five chains"
    ;;
esac

rw_close_by_glyph "after the $1 case"
rw_finish

#!/usr/bin/env bash
# One run of the intro in a real window, checked in turn.
#   intro.sh 1x      title, place and no frame; the capture tool's pixels; every
#                    icon size; the close glyph's hover; drags with each button,
#                    from each area, in small steps, by jumps and as quick flicks
#                    (three with both cores busy); a second press outside the
#                    window; a move by someone else; the music; the closing click
#   intro.sh xft192  Xft.dpi 192: the same window in 2 x 2 blocks: place, pixels,
#                    glyph, a drag and the closing click; gdk3: GDK_SCALE=3
source "$(dirname "$0")/lib.sh"

mode=${1:?1x, xft192 or gdk3}
case $mode in
  1x) rw_start_xvfb ;;
  xft192) RW_SCALE=2 && rw_start_xvfb 2048x1536 && echo 'Xft.dpi: 192' | xrdb -nocpp -merge ;;
  gdk3) RW_SCALE=3 && rw_start_xvfb 2400x1600 && export GDK_SCALE=3 ;;
  *) rw_fail "unknown mode $mode" ;;
esac
N=$RW_SCALE
rw_start_intro
rw_wait_intro_window

# The window: title, place and size, no frame of its own or of the desktop.
[ "$(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME 2>&1)" = 'WM_NAME(STRING) = ":: ZENOrA ::"
_NET_WM_NAME(UTF8_STRING) = ":: ZENOrA ::"' ] || rw_check_failed "window names: $(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME)"
geometry="$(rw_size "$RW_WIN" | tr ' ' x)+$(rw_position "$RW_WIN" | tr ' ' +)"
[ "$geometry" = "$(( 320 * N ))x$(( 189 * N ))+$(( RW_X0 * N ))+$(( RW_Y0 * N ))" ] || rw_check_failed "geometry $geometry"
frame=$(xprop -id "$RW_WIN" _NET_FRAME_EXTENTS _MOTIF_WM_HINTS 2>&1)
grep -q 'Border width: 0' < <(xwininfo -id "$RW_WIN") || rw_check_failed "the window has a border"
grep -Eq '_NET_FRAME_EXTENTS(.*= 0, 0, 0, 0|:  not found)' <<<"$frame" || rw_check_failed "a frame: $frame"
# flags bit 2 = decorations given; decorations 0 = no title bar, no frame
[[ "$frame" =~ =\ 0x([0-9a-f]+),\ 0x[0-9a-f]+,\ 0x0, ]] && (( 0x${BASH_REMATCH[1]} & 2 )) ||
  rw_check_failed "the window does not ask for a borderless frame: $frame"

# Pixels: the capture tool's first frame, each pixel an N x N block, where
# nothing moves (the logo sweeps x 230-315, y 15-115; the stars fly).
rw_shot "$RW_WIN" "$RW_TMP/screen.png"
"$RW_BUILD/ZENOrA_capture" --out "$RW_TMP/capture" --at 0 >"$RW_TMP/capture.log" 2>&1 || rw_fail "ZENOrA_capture failed"
"$RW_CONVERT" "$RW_TMP/capture/frame-0.png" -sample "$(( N * 100 ))%" "$RW_TMP/expected.png"
differ=$(rw_diff_outside "$RW_TMP/screen.png" "$RW_TMP/expected.png" "$(( 230 * N )),$(( 15 * N )) $(( 316 * N - 1 )),$(( 116 * N - 1 ))" \
  "0,$(( 140 * N )) $(( 320 * N - 1 )),$(( 173 * N - 1 ))")
[ "$differ" = 0 ] || rw_check_failed "$differ pixels of the still parts differ from the capture tool's frame 0 in $N x $N blocks"
[ "$(rw_count_colour "$RW_TMP/screen.png" '#000000' $(( 320 * N )) $(( 4 * N )) 0 $(( 185 * N )))" = $(( 1280 * N * N )) ] ||
  rw_check_failed "the bottom rows are not black"
logo=$(rw_count_colour "$RW_TMP/screen.png" '#000000' $(( 66 * N )) $(( 51 * N )) $(( 240 * N )) $(( 25 * N )))
plain=$(rw_count_colour "$RW_TMP/expected.png" '#000000' $(( 66 * N )) $(( 51 * N )) $(( 240 * N )) $(( 25 * N )))
(( logo >= plain + 40 * N * N )) || rw_check_failed "the logo area holds $logo black pixels (the bare picture $plain): no logo"

# Every size of the icon, its corners transparent, its middle opaque.
icons=$(xprop -id "$RW_WIN" -notype 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2 | awk -F, '{
  for (i = 1; i < NF; i += 2 + $i * $(i + 1))
    printf "%dx%d/%d/%d ", $i, $(i + 1), $(i + 2) / 16777216, $(i + 2 + $i * int($(i + 1) / 2) + int($i / 2)) / 16777216 }')
[ "$icons" = "16x16/0/255 32x32/0/255 48x48/0/255 " ] || rw_check_failed "_NET_WM_ICON holds (size/corner alpha/middle alpha) $icons"

# at CX CY: the pointer onto the window's client point, a mouse's way.
at() {
  read -r X Y < <(rw_position "$RW_WIN")
  rw_pointer_to $(( X + $1 * N )) $(( Y + $2 * N ))
}

# drag HOW BUTTON CX CY DX DY: grab at client (CX, CY), move the pointer by
# (DX, DY) form pixels, release; HOW is one (one move), steps:S (moves of at
# most S px), jump (a warp), or quick (press and move in one command, as a
# flick or a late reader gets them). Sets FROM and TO ("X Y").
drag() {
  local how=$1 b=$2 dx=$(( $5 * N )) dy=$(( $6 * N )) fx fy
  FROM=$(rw_position "$RW_WIN")
  read -r fx fy <<<"$FROM"
  local px=$(( fx + $3 * N )) py=$(( fy + $4 * N ))
  if [ "$how" = quick ]; then
    timeout 5 xdotool mousemove "$px" "$py" mousedown "$b" mousemove "$(( px + dx ))" "$(( py + dy ))"
  else
    rw_pointer_to "$px" "$py"
    timeout 5 xdotool mousedown "$b"
    sleep 0.05
    case $how in
      steps:*) rw_pointer_by "$dx" "$dy" "${how#steps:}" ;;
      jump) timeout 5 xdotool mousemove "$(( px + dx ))" "$(( py + dy ))" ;;
      *) timeout 5 xdotool mousemove_relative -- "$dx" "$dy" ;;
    esac
  fi
  rw_wait_moved "$RW_WIN" 800 "$FROM" >/dev/null
  sleep 0.2   # late moves get their time before the verdict
  TO=$(rw_position "$RW_WIN")
  timeout 5 xdotool mouseup "$b"
  sleep 0.05
}

# moved WHAT DX DY: the window went by exactly (DX, DY) form pixels: the
# grabbed point stays under the pointer.
moved() {
  local fx fy tx ty
  read -r fx fy <<<"$FROM"
  read -r tx ty <<<"$TO"
  if [ "$(( tx - fx )) $(( ty - fy ))" = "$(( $2 * N )) $(( $3 * N ))" ]; then
    rw_log "$1: $FROM -> $TO"
  else
    rw_check_failed "$1: the window went from $FROM to $TO, not by ($(( $2 * N )), $(( $3 * N ))); pointer at $(rw_pointer)"
  fi
  rw_alive "$RW_PID" || rw_fail "$1: the program ended"
}

# The close glyph greys under the pointer; the first move over the picture
# brings the white one back.
rw_wait_glyph "$RW_WIN" '#FFFFFF' 1 || rw_check_failed "the white glyph does not show at start"
at 308 12
rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "pointer on the glyph at (308,12): no grey glyph"
timeout 5 xdotool mousemove_relative -- 0 $(( 15 * N ))
rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 || rw_check_failed "pointer from the glyph onto the picture: no white glyph"

drag one 1 100 50 30 10
moved "left button" 30 10

if [ "$mode" = 1x ]; then
  # Leaving the window straight from the glyph leaves it grey.
  for out in "25 0" "0 -20"; do
    at 306 10
    rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 >/dev/null || rw_check_failed "no grey glyph before leaving by ($out)"
    timeout 5 xdotool mousemove_relative -- $out
    sleep 0.3
    rw_wait_glyph "$RW_WIN" '#C6C6C6' 0 || rw_check_failed "left the window from the glyph by ($out): the grey glyph went"
    at 200 60
    rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 >/dev/null || rw_check_failed "back over the picture: no white glyph"
  done

  while read -r how b cx cy dx dy what; do
    drag "$how" "$b" "$cx" "$cy" "$dx" "$dy"
    if [ "${what#still}" = "$what" ]; then moved "$what" "$dx" "$dy"; else moved "$what" 0 0; fi
  done <<'EOF'
one 3 100 50 30 10 right button
one 2 100 50 30 10 middle button
one 1 160 186 -20 -15 left button on the bottom rows
one 1 160 150 30 10 still: left button on the star strip
one 3 40 145 -25 5 still: right button on the star strip
one 1 160 133 30 10 still: left button on the upper banner
one 2 200 179 30 -10 still: middle button on the lower banner
one 1 308 12 -30 10 still: left button on the close glyph
steps:5 1 100 50 30 10 moves of up to 5 px
steps:5 1 100 50 -60 -20 moves of up to 5 px back
steps:2 3 100 50 40 0 right button, moves of up to 2 px
steps:3 2 100 50 0 -30 middle button, moves of up to 3 px
jump 1 100 50 30 10 a jump of the pointer
jump 1 100 50 -45 25 a jump back
EOF

  # Six quick flicks in a row, the last three with both cores busy.
  busy=()
  for i in 1 2 3 4 5 6; do
    if [ "$i" = 4 ]; then
      for core in 1 2; do (while :; do :; done) & busy+=("$!"); RW_PIDS+=("$!"); done
    fi
    drag quick 1 100 50 24 12
    moved "quick drag $i$([ "$i" -ge 4 ] && echo ', cores busy')" 24 12
  done
  for pid in "${busy[@]}"; do rw_stop_pid "$pid"; done

  # No limit at the screen's edge: the window's left edge to -80.
  read -r fx _ < <(rw_position "$RW_WIN")
  drag one 1 100 50 $(( 20 - fx - 100 )) 0
  moved "partly off the screen" $(( -80 - fx )) 0

  # The intro animates during a drag.
  at 100 50
  timeout 5 xdotool mousedown 1 mousemove_relative -- 150 40
  rw_wait_moved "$RW_WIN" 600 "$(rw_position "$RW_WIN")" >/dev/null
  rw_shot "$RW_WIN" "$RW_TMP/during-1.png"
  sleep 0.15
  rw_shot "$RW_WIN" "$RW_TMP/during-2.png"
  timeout 5 xdotool mouseup 1
  stars=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 319 33 1 140)
  logo=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 80 80 232 33)
  (( ${stars:-0} > 0 && ${logo:-0} > 0 )) || rw_check_failed "during a drag $stars star and $logo logo pixels changed"

  # Right press, left press and release on the picture; the left button
  # pressed again above the window (the right one still holds the pointer)
  # does not start a drag to the bottom of the screen.
  FROM=$(rw_position "$RW_WIN")
  at 100 50
  timeout 5 xdotool mousedown 3 mousedown 1 mouseup 1
  sleep 0.05
  read -r X Y <<<"$FROM"
  timeout 5 xdotool mousemove $(( X + 100 )) 0 mousedown 1
  sleep 0.05
  timeout 5 xdotool mousemove $(( X + 100 )) 760
  sleep 0.3
  TO=$(rw_position "$RW_WIN")
  timeout 5 xdotool mouseup 1 mouseup 3
  moved "a second press outside the window" 0 0

  # Moved by someone else: the glyph and the drags follow the new place.
  timeout 5 xdotool windowmove "$RW_WIN" 100 100
  rw_wait_moved "$RW_WIN" 2000 "$TO" >/dev/null
  at 308 12
  rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "moved to $(rw_position "$RW_WIN") by xdotool: no grey glyph"
  drag one 1 100 50 30 10
  moved "a drag after xdotool windowmove" 30 10

  for i in $(seq 50); do rw_audio_nonsilent && break; sleep 0.1; done
  rw_audio_nonsilent || rw_check_failed "no sound ($(rw_audio_size) bytes) before the click"
fi

# A click on the grey glyph ends the program with status 0; the sound stops.
at 308 12
rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "no grey glyph before the click"
timeout 5 xdotool click 1
rw_wait_exit "$RW_PID" 10 || rw_fail "still running 10 s after the click on the grey glyph"
[ "$RW_STATUS" = 0 ] || rw_check_failed "exit status $RW_STATUS after the click, not 0"
size=$(rw_audio_size)
sleep 0.3
[ "$(rw_audio_size)" = "$size" ] || rw_check_failed "the sound output grew after the program ended"
[ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "the window is still there"
rw_finish

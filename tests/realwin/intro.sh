#!/usr/bin/env bash
# One run of the intro checked in turn: title, place, no frame, pixels, icons, glyph hover, a drag,
# music, the closing click; at 1x also drags with each button, from each area, in small steps, by
# jumps, as quick flicks (three with both cores busy), a second press outside, a move by others.
#   intro.sh 1x | xft192 (Xft.dpi 192: 2 x 2 blocks) | gdk3 (GDK_SCALE=3)
source "$(dirname "$0")/lib.sh"

case ${1:?1x, xft192 or gdk3} in
  1x) N=1 && rw_start_xvfb ;;
  xft192) N=2 && rw_start_xvfb 2400x1600 && echo 'Xft.dpi: 192' | xrdb -nocpp -merge ;;
  gdk3) N=3 && rw_start_xvfb 2400x1600 && export GDK_SCALE=3 ;;
esac
RW_SCALE=$N
# From a folder with an unplayable LIGHT.S3M (boxes, no window if read) the program finds its own:
# at 1x started through a symbolic link, at 2x by full path, at 3x in the build folder.
app=$(rw_copy_folder app)
mkdir "$RW_TMP/work" && head -c 4096 /dev/urandom >"$RW_TMP/work/LIGHT.S3M" && ln -s "$app/ZENOrA_intro" "$RW_TMP/work/zenora"
case $N in
  1) RW_CWD=$RW_TMP/work rw_start_program ./zenora ;;
  2) RW_CWD=$RW_TMP/work rw_start_intro "$app" ;;
  3) rw_start_intro ;;
esac
rw_wait_intro_window

[ "$(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME)" = $'WM_NAME(STRING) = ":: ZENOrA ::"\n_NET_WM_NAME(UTF8_STRING) = ":: ZENOrA ::"' ] ||
  rw_check_failed "window names: $(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME)"
geometry="$(rw_size "$RW_WIN" | tr ' ' x)+$(rw_position "$RW_WIN" | tr ' ' +) $(xwininfo -id "$RW_WIN" | grep Border)"
[ "$geometry" = "$(( 320 * N ))x$(( 189 * N ))+$(( RW_X0 * N ))+$(( RW_Y0 * N ))   Border width: 0" ] || rw_check_failed "geometry $geometry"
# No frame from the desktop; Motif hints ask for none (flags bit 2: decorations given, as 0).
frame=$(xprop -id "$RW_WIN" _NET_FRAME_EXTENTS _MOTIF_WM_HINTS 2>&1)
grep -Eq '_NET_FRAME_EXTENTS(.*= 0, 0, 0, 0|:  not found)' <<<"$frame" && [[ "$frame" =~ =\ 0x([0-9a-f]+),\ 0x[0-9a-f]+,\ 0x0, ]] &&
  (( 0x${BASH_REMATCH[1]} & 2 )) || rw_check_failed "a frame, or no borderless hint: $frame"

# The capture tool's first frame in N x N blocks where nothing moves.
rw_shot "$RW_WIN" "$RW_TMP/screen.png"
rw_shows_frame "$RW_TMP/screen.png" "$N" 0 0 $(( 320 * N )) $(( 189 * N )) "the window"

# Every size of the icon: "size/alpha of a corner/alpha of the middle".
icons=$(xprop -id "$RW_WIN" -notype 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2 | awk -F, '{
  for (i = 1; i < NF; i += 2 + $i * $(i + 1))
    printf "%dx%d/%d/%d ", $i, $(i + 1), $(i + 2) / 16777216, $(i + 2 + $i * int($(i + 1) / 2) + int($i / 2)) / 16777216 }')
[ "$icons" = "16x16/0/255 32x32/0/255 48x48/0/255 " ] || rw_check_failed "_NET_WM_ICON holds $icons"

# The glyph greys under the pointer; the first move onto the picture whitens it.
rw_wait_glyph "$RW_WIN" '#FFFFFF' 1 || rw_check_failed "no white glyph at start"
rw_at 308 12
rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "pointer on the glyph at (308,12): no grey glyph"
timeout 5 xdotool mousemove_relative -- 0 $(( 15 * N ))
rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 || rw_check_failed "pointer from the glyph onto the picture: no white glyph"
rw_drag one 1 100 50 30 10 left button

if (( N == 1 )); then
  # Leaving the window straight from the glyph leaves it grey.
  for out in "25 0" "0 -20"; do
    rw_at 306 10
    rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 >/dev/null && timeout 5 xdotool mousemove_relative -- $out sleep 0.3 &&
      rw_wait_glyph "$RW_WIN" '#C6C6C6' 0 || rw_check_failed "left the window from the grey glyph by ($out): it went"
    rw_at 200 60
    rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 >/dev/null || rw_check_failed "back over the picture: no white glyph"
  done

  while read -r line; do rw_drag $line; done <<'EOF'
one 3 100 50 30 10 right button
one 2 100 50 30 10 middle button
one 1 160 186 -20 -15 left button on the bottom rows
one 1 160 150 30 10 still: left button on the star strip
one 1 160 133 30 10 still: left button on the upper banner
one 2 200 179 30 -10 still: middle button on the lower banner
one 1 308 12 -30 10 still: left button on the close glyph
steps:5 1 100 50 30 10 moves of up to 5 px
steps:2 3 100 50 40 0 right button, moves of up to 2 px
steps:3 2 100 50 0 -30 middle button, moves of up to 3 px
jump 1 100 50 30 10 a jump of the pointer
EOF

  busy=()
  for i in 1 2 3 4 5 6; do
    (( i == 4 )) && for core in 1 2; do (while :; do :; done) & busy+=("$!") RW_PIDS+=("$!"); done
    rw_drag quick 1 100 50 24 12 "quick drag $i${busy[*]:+, both cores busy}"
  done
  for pid in "${busy[@]}"; do rw_stop_pid "$pid"; done

  # No limit at the screen's edge: the window's left edge to -80.
  read -r fx _ < <(rw_position "$RW_WIN")
  rw_drag one 1 100 50 $(( 20 - fx - 100 )) 0 to -80, partly off the screen

  # The intro animates during a drag.
  rw_at 100 50
  timeout 5 xdotool mousedown 1 mousemove_relative -- 150 40
  rw_wait_moved "$RW_WIN" 600 "$(rw_position "$RW_WIN")" >/dev/null
  rw_animating || rw_check_failed "during a drag $RW_STARS star and $RW_LOGO logo pixels changed"
  timeout 5 xdotool mouseup 1

  # Right press, left press and release on the picture, left press above the window (the right
  # button holds the pointer), then down the screen: a press outside the window starts no drag.
  FROM=$(rw_position "$RW_WIN")
  rw_at 100 50
  timeout 5 xdotool mousedown 3 mousedown 1 mouseup 1 sleep 0.05 mousemove $(( X + 100 )) 0 mousedown 1 sleep 0.05 \
    mousemove $(( X + 100 )) 760 sleep 0.3
  TO=$(rw_position "$RW_WIN")
  timeout 5 xdotool mouseup 1 mouseup 3
  rw_moved "a second press outside the window" 0 0

  # Moved by someone else: the glyph and the drags follow the new place.
  timeout 5 xdotool windowmove "$RW_WIN" 100 100
  rw_wait_moved "$RW_WIN" 2000 "$TO" >/dev/null
  rw_at 308 12
  rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "moved to $(rw_position "$RW_WIN") by xdotool: no grey glyph"
  rw_drag one 1 100 50 30 10 a drag after xdotool windowmove
fi

# The music plays; a click on the grey glyph ends the program with status 0, and the sound with it.
rw_until 6000 rw_audio_nonsilent
size=$(rw_audio_size) && sleep 0.5
rw_audio_nonsilent "$size" || rw_check_failed "silence or no sound ($size, then $(rw_audio_size) bytes)"
rw_close_by_glyph "the closing click"
size=$(rw_audio_size) && sleep 0.3
[ "$(rw_audio_size)" = "$size" ] && [ -z "$(rw_windows_titled "$RW_TITLE")" ] || rw_check_failed "sound or window after the end"
rw_finish

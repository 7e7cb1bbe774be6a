#!/usr/bin/env bash
# The zip's program under wine, checked in turn: title, place, no frame, the still parts of the frame,
# icons, glyph hover, drags, the music at the null sink against the library's own render, the end.
#   intro.sh 1x        on a 1024 x 768 screen: drags with each button, in steps; the closing click, status 0
#   intro.sh dpi192    LogPixels 192 on a 2400 x 1600 screen: 2 x 2 blocks at 682, 530; closed by WM_CLOSE
#                      (taskkill, as the taskbar's close), status 0
#   intro.sh unicode   the program folder C:\users\Zoë\Ζήνων 日本\: its library and music found there
source "$(dirname "$0")/lib.sh"

mode=${1:?1x, dpi192 or unicode}
if [ "$mode" = dpi192 ]; then RW_SCALE=2 && rw_start_xvfb 2400x1600; else rw_start_xvfb; fi
N=$RW_SCALE
if [ "$mode" = dpi192 ]; then win_prefix 'HKCU\Control Panel\Desktop|LogPixels|192'; else win_prefix; fi
app=$RW_TMP/app
[ "$mode" = unicode ] && app="$WINEPREFIX/drive_c/users/Zoë/Ζήνων 日本"
win_unzip "$app"
win_pulse
"$RW_BUILD/ZENOrA_capture" --out "$RW_TMP/ref" --video 10 --scale 1 >"$RW_TMP/capture.log" 2>&1 ||
  rw_fail "the capture tool could not render the music"
(exec parec -d zenora.monitor --latency-msec=50 --raw --format=s16le --rate=44100 --channels=2 >"$RW_TMP/music.raw") &
recorder=$! RW_PIDS+=("$recorder")
sleep 0.3
win_start "$app"
rw_wait_intro_window 30
started=$(rw_now)
[ -z "$(rw_windows_titled Error)" ] || rw_fail "a box: $(win_box Error 1 && echo "$WIN_BOX")"

[ "$(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME)" = $'WM_NAME(STRING) = ":: ZENOrA ::"\n_NET_WM_NAME(UTF8_STRING) = ":: ZENOrA ::"' ] ||
  rw_check_failed "window names: $(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME)"
geometry="$(rw_size "$RW_WIN" | tr ' ' x)+$(rw_position "$RW_WIN" | tr ' ' +)"
[ "$geometry" = "$(( 320 * N ))x$(( 189 * N ))+$(( RW_X0 * N ))+$(( RW_Y0 * N ))" ] || rw_check_failed "geometry $geometry"
[[ "$(xprop -id "$RW_WIN" _MOTIF_WM_HINTS)" =~ =\ 0x([0-9a-f]+),\ 0x[0-9a-f]+,\ 0x0, ]] && (( 0x${BASH_REMATCH[1]} & 2 )) ||
  rw_check_failed "a frame: $(xprop -id "$RW_WIN" _MOTIF_WM_HINTS)"
rw_shot "$RW_WIN" "$RW_TMP/screen.png"
rw_shows_frame "$RW_TMP/screen.png" "$N" 0 0 $(( 320 * N )) $(( 189 * N )) "the window"
# The title's and the taskbar's sizes of the icon, from the program's resource, with their transparency.
icons=$(xprop -id "$RW_WIN" -notype 32c _NET_WM_ICON | tr -d ' ' | cut -d= -f2 | awk -F, '{
  for (i = 1; i < NF; i += 2 + $i * $(i + 1))
    printf "%dx%d/%d/%d ", $i, $(i + 1), $(i + 2) / 16777216, $(i + 2 + $i * int($(i + 1) / 2) + int($i / 2)) / 16777216 }')
[ "$icons" = "$(( 32 * N ))x$(( 32 * N ))/0/255 $(( 16 * N ))x$(( 16 * N ))/0/255 " ] || rw_check_failed "_NET_WM_ICON holds $icons"

rw_wait_glyph "$RW_WIN" '#FFFFFF' 1 || rw_check_failed "no white glyph at start"
rw_at 308 12
rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 || rw_check_failed "pointer on the glyph: no grey glyph"
timeout 5 xdotool mousemove_relative -- 0 $(( 15 * N ))
rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 || rw_check_failed "pointer from the glyph onto the picture: no white glyph"
rw_drag one 1 100 50 30 10 left button
if [ "$mode" = 1x ]; then
  while read -r line; do rw_drag $line; done <<'EOF'
one 3 100 50 30 10 right button
one 2 100 50 -20 -15 middle button
one 1 160 150 30 10 still: left button on the star strip
one 1 308 12 -30 10 still: left button on the close glyph
steps:5 1 100 50 30 10 moves of up to 5 px
steps:2 3 100 50 40 0 right button, moves of up to 2 px
steps:3 2 100 50 0 -30 middle button, moves of up to 3 px
EOF
fi

# The music as the sink played it against the render; the sink's monitor gives nothing while the sink is
# idle, so the recording may begin a little after the music.
sleep "$(awk -v ms="$(( ($(rw_now) - started) / 1000000 ))" 'BEGIN { print ms < 12000 ? (12000 - ms) / 1000 : 0 }')"
rw_stop_pid "$recorder"
rw_heard music -1 3
if [ "$mode" = dpi192 ]; then
  timeout 30 wine taskkill /im ZENOrA_intro.exe >>"$RW_TMP/wine.log" 2>&1
  rw_wait_exit "$RW_PID" 10 && [ "$RW_STATUS" = 0 ] || rw_check_failed "after WM_CLOSE: status ${RW_STATUS:-still running}"
else
  rw_close_by_glyph "the closing click"
fi
rw_finish

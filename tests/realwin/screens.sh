#!/usr/bin/env bash
# Screens of every size and depth, and windows given another size:
#   screens.sh gdk3 | gdk99999 | 640x480 | 320x200 | 200x100
#                  the window opens wholly on the screen (GDK_SCALE=3 and 99999 on 1920 x 1080: at 2x in its
#                  place; the small screens: moved, or its top-right corner on the screen): the glyph is on
#                  the screen, greys under the pointer, and a click on it ends the program with status 0
#   screens.sh resized   given 1280 x 720 (xdotool; under fluxbox, maximised): the window shows the capture
#                  tool's frame in N x N blocks, centred, black around; the glyph greys and closes where it
#                  is drawn, a drag moves the window by whole blocks; the size back, the picture is back
#   screens.sh depth30 | depth8   a 30-bit screen shows the frame exactly; an 8-bit one is refused in one
#                  line that says its depth, status 1
#   screens.sh cage | cage-wayland  under the cage kiosk compositor (XWayland, or native Wayland without
#                  DISPLAY), which gives the window its output's size: the frame at 3x, centred, black around
[[ $* = cage* ]] && RW_TOOLS=(cage grim setpriv)
[[ $* = resized && ${RW_WM:-} = fluxbox ]] && RW_TOOLS=(wmctrl)
source "$(dirname "$0")/lib.sh"
mode=${1:?a screen, resized, depth30, depth8, cage or cage-wayland}

# The layout of the frame in a window of W x H: "N OX OY".
layout() {
  local n=$(( $1 / 320 < $2 / 189 ? $1 / 320 : $2 / 189 ))
  (( n < 1 )) && n=1
  echo "$n $(( ($1 - 320 * n) / 2 )) $(( ($2 - 189 * n) / 2 ))"
}

case $mode in
  gdk3 | gdk99999 | 640x480 | 320x200 | 200x100)
    # Screen, GDK_SCALE, where the window opens and at what scale.
    case $mode in
      gdk3) set -- 1920x1080 3 "682 530" 2 ;;
      gdk99999) set -- 1920x1080 99999 "682 530" 2 ;;
      640x480) set -- 640x480 "" "320 265" 1 ;;
      320x200) set -- 320x200 "" "0 11" 1 ;;
      200x100) set -- 200x100 "" "-120 0" 1 ;;
    esac
    rw_start_xvfb "$1"
    [ -n "$2" ] && export GDK_SCALE=$2
    rw_start_intro
    rw_wait_intro_window
    RW_SCALE=$4
    [ "$(rw_position "$RW_WIN")" = "$3" ] && [ "$(rw_size "$RW_WIN")" = "$(( 320 * $4 )) $(( 189 * $4 ))" ] ||
      rw_check_failed "on $1 at ${GDK_SCALE:-1}: $(rw_size "$RW_WIN") at $(rw_position "$RW_WIN"), not $(( 320 * $4 ))x$(( 189 * $4 )) at $3"
    # Partly off the screen a window cannot be read back: the glyph is looked at on the screen.
    read -r x y <<<"$3"
    RW_WIN=root RW_OX=$x RW_OY=$y
    rw_log "on $1 at ${GDK_SCALE:-1}: ${4}x at $3"
    rw_close_by_glyph "$1"
    ;;
  resized)
    if [ "$RW_WM" = fluxbox ]; then rw_start_xvfb; else rw_start_xvfb 1920x1080; fi
    rw_start_intro
    rw_wait_intro_window
    if [ "$RW_WM" = fluxbox ]; then
      timeout 5 wmctrl -i -r "$RW_WIN" -b add,maximized_vert,maximized_horz || rw_fail "wmctrl could not maximise"
    else
      timeout 5 xdotool windowsize "$RW_WIN" 1280 720
    fi
    rw_until 5000 eval '[ "$(rw_size "$RW_WIN")" != "320 189" ]' || rw_fail "the window kept 320 x 189"
    sleep 0.5
    read -r w h < <(rw_size "$RW_WIN")
    read -r RW_SCALE RW_OX RW_OY < <(layout "$w" "$h")
    rw_shot "$RW_WIN" "$RW_TMP/resized.png"
    rw_shows_frame "$RW_TMP/resized.png" "$RW_SCALE" "$RW_OX" "$RW_OY" "$w" "$h" "given $w x $h"
    # A drag by 30, 15 display pixels: by 30 / N, 15 / N blocks, where the desktop lets it move.
    from=$(rw_position "$RW_WIN")
    read -r x y <<<"$from"
    rw_pointer_to $(( x + RW_OX + 100 * RW_SCALE )) $(( y + RW_OY + 50 * RW_SCALE ))
    timeout 5 xdotool mousedown 1 sleep 0.05 mousemove_relative -- 30 15 sleep 0.3 mouseup 1 sleep 0.3
    to=$(rw_position "$RW_WIN")
    read -r tx ty <<<"$to"
    rw_log "a drag by 30, 15 px: $from -> $to"
    if [ "$RW_WM" = bare ] && [ "$(( tx - x )) $(( ty - y ))" != "$(( 30 / RW_SCALE * RW_SCALE )) $(( 15 / RW_SCALE * RW_SCALE ))" ]; then
      rw_check_failed "a drag by 30, 15 px moved the window from $from to $to"
    fi
    glyph_at() { rw_pointer_to "$@" && rw_wait_glyph "$RW_WIN" '#C6C6C6' 2; }
    glyph_at $(( tx + RW_OX + 308 * RW_SCALE )) $(( ty + RW_OY + 12 * RW_SCALE )) || rw_check_failed "no grey glyph where it is drawn"
    rw_pointer_to $(( tx + RW_OX + 200 * RW_SCALE )) $(( ty + RW_OY + 60 * RW_SCALE ))
    rw_wait_glyph "$RW_WIN" '#FFFFFF' 2 || rw_check_failed "no white glyph with the pointer on the picture"
    # The size back, the picture back.
    if [ "$RW_WM" = fluxbox ]; then
      timeout 5 wmctrl -i -r "$RW_WIN" -b remove,maximized_vert,maximized_horz
    else
      timeout 5 xdotool windowsize "$RW_WIN" 320 189
    fi
    rw_until 5000 eval '[ "$(rw_size "$RW_WIN")" = "320 189" ]' || rw_fail "the window stayed $(rw_size "$RW_WIN")"
    sleep 0.5
    RW_SCALE=1 RW_OX=0 RW_OY=0
    rw_shot "$RW_WIN" "$RW_TMP/back.png"
    rw_shows_frame "$RW_TMP/back.png" 1 0 0 320 189 "the size back"
    rw_close_by_glyph "the size back"
    ;;
  depth30)
    rw_start_xvfb 1024x768x30
    rw_start_intro
    rw_wait_intro_window
    rw_shot "$RW_WIN" "$RW_TMP/deep.png"
    rw_shows_frame "$RW_TMP/deep.png" 1 0 0 320 189 "a 30-bit screen"
    rw_close_by_glyph "a 30-bit screen"
    ;;
  depth8)
    rw_start_xvfb 1024x768x8
    rw_start_intro
    rw_wait_exit "$RW_PID" 10 || rw_fail "still running on an 8-bit screen"
    said=$(grep '^ZENOrA_intro: ' "$RW_TMP/intro.log")
    [ "$RW_STATUS" = 1 ] && [ "$(wc -l <<<"$said")" = 1 ] && [[ $said = *' 8 bits'* && $said != *'no display'* ]] ||
      rw_check_failed "an 8-bit screen: status $RW_STATUS, said: $(cat "$RW_TMP/intro.log")"
    rw_log "an 8-bit screen: $said"
    ;;
  cage | cage-wayland)
    # cage runs as an unprivileged user, as wlroots insists; the program too, in its own folder.
    rw_unprivileged
    program=("$RW_APP/ZENOrA_intro") && [ "$mode" = cage-wayland ] && program=(env -u DISPLAY "$RW_APP/ZENOrA_intro")
    (rw_as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman SDL_AUDIODRIVER=dummy \
      cage -- "${program[@]}" >"$RW_TMP/cage.log" 2>&1) &
    cage=$! && RW_PIDS+=("$cage")
    rw_until 10000 eval 'RW_PID=$(pgrep -P "$cage" -x ZENOrA_intro) && socket=$(cd "$RW_TMP/xdg" && ls wayland-?)' ||
      rw_fail "cage did not start the program"
    # Headless wlroots outputs are 1280 x 720: 3x at 160, 76, once cage has given the window its size
    # and a frame is shown (a while on a busy machine).
    display=$(tr '\0' '\n' <"/proc/$RW_PID/environ" | sed -n 's/^DISPLAY=//p')
    shot() {
      if [ "$mode" = cage ]; then
        # Under XWayland the window is read back from the X server.
        (rw_as_user DISPLAY="$display" sh -c 'w=$(xdotool search --name ":: ZENOrA ::" | head -n1) && [ -n "$w" ] &&
          timeout 5 import -window "$w" png:-') >"$RW_TMP/cage.png" 2>>"$RW_TMP/import.log"
      else
        (rw_as_user WAYLAND_DISPLAY="$socket" timeout 5 grim -) >"$RW_TMP/cage.png" 2>>"$RW_TMP/import.log"
      fi
    }
    rw_until 15000 eval 'shot && [ "$(rw_frame_differs "$RW_TMP/cage.png" 3 160 76 1280 720)" = 0 ]'
    if [ "$mode" = cage ]; then
      read -r w h < <("$RW_CONVERT" "$RW_TMP/cage.png" -format '%w %h' info: 2>/dev/null)
      [ "$w $h" = "1280 720" ] || rw_check_failed "the XWayland window is ${w:-?} x ${h:-?}, not 1280 x 720"
    fi
    rw_shows_frame "$RW_TMP/cage.png" 3 160 76 1280 720 "$mode"
    if [ "$mode" = cage ]; then
      # XTest moves XWayland's own pointer: the glyph greys where it is drawn, and a click ends the program.
      x11() { (rw_as_user DISPLAY="$display" "$@"); }
      x11 xdotool mousemove $(( 160 + 307 * 3 )) $(( 76 + 12 * 3 )) sleep 0.1 mousemove_relative 1 0 sleep 0.3
      x11 sh -c 'import -window "$(xdotool search --name ":: ZENOrA ::" | head -n1)" png:-' >"$RW_TMP/glyph.png" 2>>"$RW_TMP/import.log"
      grey=$(rw_count_colour "$RW_TMP/glyph.png" '#C6C6C6' 27 27 $(( 160 + 304 * 3 )) $(( 76 + 8 * 3 )))
      # (The click ends the program, cage with it and then XWayland: xdotool may lose its display on the way out.)
      [ "$grey" = $(( 36 * 9 )) ] || rw_check_failed "under cage: $grey grey pixels of the glyph"
      x11 xdotool click 1 2>/dev/null
      rw_until 5000 rw_gone "$RW_PID" || rw_check_failed "under cage, still running after the click"  # cage's child: no status here
    fi
    rw_alive "$RW_PID" && kill -TERM "$RW_PID"
    rw_wait_exit "$cage" 5 || rw_check_failed "cage still running 5 s after the program ended"
    ;;
esac
rw_finish

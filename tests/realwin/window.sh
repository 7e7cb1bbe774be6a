#!/usr/bin/env bash
# The window as a desktop sees it: title, size and place, no frame, and the
# same pixels as the headless renderer where the picture does not move.
source "$(dirname "$0")/lib.sh"

rw_start_xvfb
rw_start_intro
rw_wait_intro_window

# Title, as the desktop lists it.
name=$(xprop -id "$RW_WIN" WM_NAME _NET_WM_NAME 2>&1)
grep -qx 'WM_NAME(STRING) = ":: ZENOrA ::"' <<<"$name" && grep -qx '_NET_WM_NAME(UTF8_STRING) = ":: ZENOrA ::"' <<<"$name" ||
  rw_check_failed "window names are not ':: ZENOrA ::': $name"

# Size and place, and nothing around the client area: a top-level window of
# its own with no border, asking the desktop for no decorations.
info=$(xwininfo -id "$RW_WIN")
geometry=$(awk '/-geometry/{print $2}' <<<"$info")
[ "$geometry" = "320x189+341+265" ] || rw_check_failed "geometry is $geometry, not 320x189+341+265"
grep -q 'Border width: 0' <<<"$info" || rw_check_failed "the window has a border: $(grep 'Border width' <<<"$info")"
parent=$(xwininfo -id "$RW_WIN" -tree | awk '/Parent window id/{print $4}')
root=$(xwininfo -root | awk '/Window id/{print $4}')
[ "$parent" = "$root" ] || rw_check_failed "the window is not a direct child of the root window (parent $parent)"
hints=$(xprop -id "$RW_WIN" _MOTIF_WM_HINTS 2>&1)
# flags bit 2 = decorations given; decorations 0 = no title bar, no frame
if [[ ! "$hints" =~ =\ 0x([0-9a-f]+),\ 0x[0-9a-f]+,\ 0x0, ]] || (( (0x${BASH_REMATCH[1]} & 2) == 0 )); then
  rw_check_failed "the window does not ask for a borderless frame: $hints"
fi

# Pixels: the static parts equal the capture tool's first frame. Left out:
# the star strip's inside and the box the turning logo sweeps (x 235-310,
# y 35-109 over minutes of spin), which move.
rw_shot "$RW_WIN" "$RW_TMP/screen.png"
"$RW_BUILD/ZENOrA_capture" --out "$RW_TMP/capture" --at 0 >"$RW_TMP/capture.log" 2>&1 ||
  rw_fail "ZENOrA_capture failed"
size=$("$RW_CONVERT" "$RW_TMP/screen.png" -format '%wx%h' info:)
[ "$size" = "320x189" ] || rw_fail "screenshot is $size, not 320x189"
differ=$(rw_diff_outside "$RW_TMP/screen.png" "$RW_TMP/capture/frame-0.png" '230,15 315,115' '0,140 319,172')
if [ "$differ" != 0 ]; then
  "$RW_CONVERT" "$RW_TMP/diff.png" "$RW_TMP/diff-static.png" 2>/dev/null
  rw_check_failed "$differ pixels of the static parts differ from the capture tool's frame 0"
  rw_diff_where
  for p in "5 5" "160 60" "308 12" "160 133" "160 179" "160 186" "0 139" "319 188"; do
    read -r px py <<<"$p"
    echo "  ($px,$py): screen $(rw_pixel "$RW_TMP/screen.png" "$px" "$py") capture $(rw_pixel "$RW_TMP/capture/frame-0.png" "$px" "$py")"
  done
fi

# The parts the comparison leaves to themselves, checked on their own.
white=$(rw_count_colour "$RW_TMP/screen.png" '#FFFFFF' 9 9 304 8)
[ "$white" = 36 ] || rw_check_failed "the close glyph shows $white white pixels, not 36"
bottom=$(rw_count_colour "$RW_TMP/screen.png" '#000000' 320 4 0 185)
[ "$bottom" = 1280 ] || rw_check_failed "the bottom rows 185-188 hold $bottom black pixels, not 1280"

# The logo is drawn in black over the light picture, which has none there.
logo=$(rw_count_colour "$RW_TMP/screen.png" '#000000' 66 51 240 25)
plain=$(rw_count_colour "$RW_TMP/capture/frame-0.png" '#000000' 66 51 240 25)
(( logo >= plain + 40 )) || rw_check_failed "the logo area holds $logo black pixels (the bare picture $plain): no logo drawn"

rw_log "geometry $geometry, static parts equal, logo $logo black pixels"
rw_finish

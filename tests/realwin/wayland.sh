#!/usr/bin/env bash
# Under a Wayland compositor (a headless sway at output scale $1, run as an unprivileged user as it
# insists): the 320 x 189 window floats; a virtual pointer's drags with the left, the right and the
# middle button on the picture move it by the pointer's travel, one from the star strip does not;
# a click on the glyph ends the intro with status 0.
RW_TOOLS=(sway swaymsg setpriv jq)
source "$(dirname "$0")/lib.sh"
scale=${1:?the output scale}

rw_unprivileged && cp "${RW_VPOINTER:?RW_VPOINTER must name the test pointer}" "$RW_APP/"
printf 'output * bg #000000 solid_color\noutput * scale %s\n' "$scale" >"$RW_TMP/sway.conf" && chmod 644 "$RW_TMP/sway.conf"
(rw_as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$RW_TMP/sway.conf" >"$RW_TMP/sway.log" 2>&1) &
RW_PIDS+=("$!")
rw_until 5000 eval 'socket=$(cd "$RW_TMP/xdg" && ls wayland-?) && ipc=$(ls "$RW_TMP"/xdg/sway-ipc.*)' 2>/dev/null ||
  rw_fail "sway did not start"
# rect outputs | rect tree TITLE: "X Y W H" of the first output, or of the window titled so, in logical pixels.
rect() {
  (rw_as_user SWAYSOCK="$ipc" swaymsg -r -t "get_$1") | jq -r --arg title "${2-}" 2>/dev/null \
    'first(.. | objects | select(has("rect") and ($title == "" or .name == $title))) | .rect | "\(.x) \(.y) \(.width) \(.height)"'
}
read -r _ _ layout_w layout_h < <(rect outputs)

# The pointer takes one step a line and answers each.
mkfifo "$RW_TMP/steps" "$RW_TMP/answers"
(rw_as_user WAYLAND_DISPLAY="$socket" "$RW_APP/rw_vpointer" "$layout_w" "$layout_h" <"$RW_TMP/steps" >"$RW_TMP/answers" 2>"$RW_TMP/vpointer.log") &
RW_PIDS+=("$!")
exec 7>"$RW_TMP/steps" 8<"$RW_TMP/answers"
read -r -t 10 -u 8 answer && [ "$answer" = ok ] || rw_fail "no virtual pointer"
pointer() { echo "$*" >&7 && read -r -t 10 -u 8 answer && [ "$answer" = ok ] || rw_fail "the virtual pointer did not '$*'"; }

(rw_as_user WAYLAND_DISPLAY="$socket" SDL_AUDIODRIVER=dummy "$RW_APP/ZENOrA_intro" >"$RW_TMP/intro.log" 2>&1) &
RW_PID=$! && RW_PIDS+=("$!")
rw_until 5000 eval 'read -r x y w h < <(rect tree "$RW_TITLE") && [ -n "$h" ]'
[ "${w:-},${h:-}" = 320,189 ] || rw_fail "no 320 x 189 window titled '$RW_TITLE' in sway's tree (${w:-none}x${h:-none})"
rw_log "output ${layout_w}x$layout_h at scale $scale, the window at $x,$y"

# BUTTON, grabbed at client (X, Y), moved by (DX, DY); whether the window follows.
while read -r button cx cy dx dy follows; do
  read -r x y _ _ < <(rect tree "$RW_TITLE")
  pointer move $((x + cx)) $((y + cy)) && pointer down "$button"
  sleep 0.5   # the intro hands the press on to sway
  pointer glide $((x + cx + dx)) $((y + cy + dy)) 10 && pointer up "$button"
  read -r to_x to_y _ _ < <(rect tree "$RW_TITLE")
  [ "$follows" = yes ] && want="$dx,$dy" || want=0,0
  rw_log "$button from $cx,$cy by $dx,$dy: the window moved by $((to_x - x)),$((to_y - y))"
  [ "$((to_x - x)),$((to_y - y))" = "$want" ] ||
    rw_check_failed "a $button drag from $cx,$cy by $dx,$dy moved the window by $((to_x - x)),$((to_y - y)), not $want"
done <<'EOF_DRAGS'
left 100 50 40 30 yes
right 100 50 -60 20 yes
middle 100 50 30 -40 yes
right 100 150 20 20 no
EOF_DRAGS

read -r x y _ _ < <(rect tree "$RW_TITLE")
pointer glide $((x + 308)) $((y + 12)) 3 && sleep 0.3 && pointer down left && pointer up left
rw_wait_exit "$RW_PID" 5 && [ "$RW_STATUS" = 0 ] || rw_check_failed "after a click on the glyph: ${RW_STATUS:-still running}"
rw_finish

#!/usr/bin/env bash
# Without X: with no display at all the program says so in one line and ends
# with status 1; under a Wayland compositor (a headless sway, run as an
# unprivileged user as it insists) it shows its 320 x 189 window, runs, and
# ends cleanly on SIGTERM.
RW_TOOLS=(sway swaymsg setpriv)
source "$(dirname "$0")/lib.sh"

chmod 711 "$RW_TMP" && install -d -o nobody -m 700 "$RW_TMP/xdg"
app=$(rw_copy_folder app) && chmod -R a+rX "$app"
(cd "$RW_TMP" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR="$RW_TMP/xdg" \
  SDL_AUDIODRIVER=dummy "$app/ZENOrA_intro" >"$RW_TMP/stdout.log" 2>"$RW_TMP/stderr.log") &
RW_PID=$! && RW_PIDS+=("$!")
rw_wait_exit "$RW_PID" 5 || rw_fail "still running 5 s after start without a display"
[ "$RW_STATUS" = 1 ] && [ "$(wc -l <"$RW_TMP/stderr.log")" = 1 ] && [ ! -s "$RW_TMP/stdout.log" ] ||
  rw_check_failed "no display: status $RW_STATUS, stdout '$(cat "$RW_TMP/stdout.log")', stderr '$(cat "$RW_TMP/stderr.log")'"

# as_user COMMAND...: in a subshell only (it execs, keeping the pid).
as_user() { exec setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$RW_TMP" XDG_RUNTIME_DIR="$RW_TMP/xdg" "$@"; }
echo 'output * bg #000000 solid_color' >"$RW_TMP/sway.conf" && chmod 644 "$RW_TMP/sway.conf"
(as_user WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway -c "$RW_TMP/sway.conf" >"$RW_TMP/sway.log" 2>&1) &
RW_PIDS+=("$!")
rw_until 5000 eval 'socket=$(cd "$RW_TMP/xdg" && ls wayland-?) && ipc=$(ls "$RW_TMP"/xdg/sway-ipc.*)' 2>/dev/null ||
  rw_fail "sway did not start"
(as_user WAYLAND_DISPLAY="$socket" SDL_AUDIODRIVER=dummy "$app/ZENOrA_intro" >"$RW_TMP/intro.log" 2>&1) &
RW_PID=$! && RW_PIDS+=("$!")
# Its node in the compositor's tree: the last sizes before its title are its own.
rw_until 5000 eval 'size=$(as_user SWAYSOCK="$ipc" swaymsg -r -t get_tree |
  awk "/\"width\"/{w=\$2} /\"height\"/{h=\$2} /\"name\": \":: ZENOrA ::\"/{print w h}") && [ -n "$size" ]'
[ "$size" = 320,189 ] || rw_check_failed "no 320 x 189 window titled ':: ZENOrA ::' in sway's tree (${size:-none})"
sleep 1 && rw_alive "$RW_PID" && kill -TERM "$RW_PID" || rw_fail "the program ended"
rw_wait_exit "$RW_PID" 5 && [ "$RW_STATUS" = 0 ] || rw_check_failed "after SIGTERM: ${RW_STATUS:-still running}"
rw_finish

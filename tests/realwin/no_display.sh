#!/usr/bin/env bash
# With no display to open the window on, the program says so in one line and
# ends with status 1 instead of running unseen.
source "$(dirname "$0")/lib.sh"

# No X server, no Wayland compositor to reach: an empty runtime folder.
mkdir -m 700 "$RW_TMP/xdg"
(cd "$RW_TMP" && exec env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER XDG_RUNTIME_DIR="$RW_TMP/xdg" \
  SDL_AUDIODRIVER=dummy "$RW_BUILD/ZENOrA_intro" >"$RW_TMP/stdout.log" 2>"$RW_TMP/stderr.log") &
RW_PID=$!
RW_PIDS+=("$RW_PID")

if ! rw_wait_exit "$RW_PID" 5; then
  rw_fail "still running 5 s after start without a display (it must print one line and exit 1); stderr so far: '$(head -c 500 "$RW_TMP/stderr.log")'"
fi
[ "$RW_STATUS" = 1 ] || rw_check_failed "exit status $RW_STATUS, not 1"
lines=$(wc -l <"$RW_TMP/stderr.log")
[ "$lines" = 1 ] || rw_check_failed "$lines lines on stderr, not 1"
[ -s "$RW_TMP/stdout.log" ] && rw_check_failed "it wrote to stdout"
rw_log "status $RW_STATUS, stderr: $(cat "$RW_TMP/stderr.log")"
rw_finish

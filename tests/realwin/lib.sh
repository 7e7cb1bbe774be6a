# Shared helpers of the real-window tests: a private Xvfb per test (under the
# window manager named by RW_WM: bare or openbox), the program started in it,
# window look-ups, screenshots, pointer moves and clean-up. ZENORA_BUILD names
# the folder that holds ZENOrA_intro, libbassmod.so and LIGHT.S3M side by side.
# Every wait has a deadline, every process started here is ended by its id on
# exit, and a failure prints what the test saw.

set -uo pipefail

RW_WM=${RW_WM:-bare}
RW_NAME=$(basename "$0" .sh)$( (($#)) && printf -- '-%s' "$@")-$RW_WM
RW_BUILD=${ZENORA_BUILD:?ZENORA_BUILD must name the build folder}
RW_CONVERT=/usr/bin/convert   # the real ImageMagick, not a stand-in earlier on PATH
RW_COMPARE=/usr/bin/compare
RW_IMPORT=/usr/bin/import
RW_TITLE=':: ZENOrA ::'
RW_X0=341                     # where the window opens
RW_Y0=265
RW_SCALE=1                    # display pixels per form pixel

for tool in Xvfb xdotool xwininfo xprop xlsfonts "$RW_CONVERT" "$RW_COMPARE" "$RW_IMPORT" ${RW_TOOLS[@]+"${RW_TOOLS[@]}"} \
  $([ "$RW_WM" = bare ] || echo "$RW_WM"); do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed (tools/setup-deps.sh installs it)"; exit 77; }
done

RW_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zenora-$RW_NAME.XXXXXX")
RW_PIDS=()       # programs started by the test, ended first
RW_XVFB_PID=""
RW_WM_WINDOW=none  # the window manager's own window
RW_FAILED=0
RW_START_NS=$(date +%s%N)

rw_log() { echo "[$RW_NAME +$(( ($(date +%s%N) - RW_START_NS) / 1000000 )) ms] $*"; }
rw_now() { date +%s%N; }

# Is this pid still a running process (not gone, not a zombie)?
rw_alive() {
  local stat
  read -r stat <"/proc/$1/stat" 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

rw_stop_pid() {
  local pid=$1 i
  if rw_alive "$pid"; then
    kill -TERM "$pid" 2>/dev/null
    for i in $(seq 50); do rw_alive "$pid" && sleep 0.02; done
    rw_alive "$pid" && kill -KILL "$pid" 2>/dev/null
  fi
  wait "$pid" 2>/dev/null
  return 0
}

rw_cleanup() {
  local pid
  for pid in "${RW_PIDS[@]}"; do rw_stop_pid "$pid"; done
  # The X server goes last: any message box a program forked dies with it.
  [ -n "$RW_XVFB_PID" ] && rw_stop_pid "$RW_XVFB_PID"
  if [ "$RW_FAILED" = 1 ] && [ -n "${ZENORA_REALWIN_ARTIFACTS:-}" ]; then
    mkdir -p "$ZENORA_REALWIN_ARTIFACTS/$RW_NAME"
    cp "$RW_TMP"/*.png "$RW_TMP"/*.log "$ZENORA_REALWIN_ARTIFACTS/$RW_NAME/" 2>/dev/null
    echo "screenshots and logs kept in $ZENORA_REALWIN_ARTIFACTS/$RW_NAME"
  fi
  rm -rf "$RW_TMP"
}
trap rw_cleanup EXIT
trap 'exit 130' INT TERM

# Reports a failed check, with what the test saw, and goes on; rw_finish decides.
rw_check_failed() {
  RW_FAILED=1
  echo "FAIL: $*"
}

rw_fail() {
  rw_check_failed "$@"
  rw_finish
}

rw_finish() {
  local f
  if [ "$RW_FAILED" = 0 ]; then
    rw_log "passed"
    exit 0
  fi
  [ -n "$RW_XVFB_PID" ] && { echo "--- windows on $DISPLAY"; rw_windows; }
  for f in "$RW_TMP"/*.log; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; head -c 4000 "$f"; echo; }
  done
  exit 1
}

# rw_start_xvfb [WxH]: a private X server on a free display, with RW_WM's
# window manager running once it answers.
rw_start_xvfb() {
  local fifo=$RW_TMP/displayfd display="" i
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${1:-1024x768}x24" -nolisten tcp -noreset 3>"$fifo" >"$RW_TMP/xvfb.log" 2>&1 &
  RW_XVFB_PID=$!
  # The display number arrives on the fifo once the server accepts clients.
  read -r -t 15 display <"$fifo" && [ -n "$display" ] || rw_fail "Xvfb did not report a display within 15 s"
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY SDL_VIDEODRIVER
  # SDL marks a borderless window through the Motif hints only where the atom
  # exists already, as it does under every desktop; make it exist here too.
  xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0 >/dev/null 2>&1
  xprop -root -remove _MOTIF_WM_HINTS >/dev/null 2>&1
  if [ "$RW_WM" = openbox ]; then
    openbox --sm-disable >"$RW_TMP/openbox.log" 2>&1 &
    RW_PIDS+=("$!")
    for i in $(seq 200); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.05
    done
    RW_WM_WINDOW=$(xprop -root _NET_SUPPORTING_WM_CHECK | grep -o '0x[0-9a-f]*') || rw_fail "openbox did not take over $DISPLAY"
  fi
  rw_log "Xvfb on $DISPLAY, window manager: $RW_WM"
}

# A copy of the program folder in the test's temp dir, to change what lies
# beside the program. Prints its path.
rw_copy_folder() {
  local dir=$RW_TMP/${1:-app}
  mkdir -p "$dir"
  cp "$RW_BUILD/ZENOrA_intro" "$RW_BUILD/libbassmod.so" "$RW_BUILD/LIGHT.S3M" "$dir/" || rw_fail "cannot copy the program folder"
  [ -x "$RW_BUILD/ZENOrA_capture" ] && cp "$RW_BUILD/ZENOrA_capture" "$dir/"
  echo "$dir"
}

# SDL's own message box on X11 draws with a core font of 12 points; without
# one (Debian: xfonts-base) no box can show at all.
rw_need_box_font() {
  [ -n "$(timeout 5 xlsfonts -fn '-*-*-medium-r-normal--*-120-*-*-*-*-*-*' 2>/dev/null | head -n1)" ] ||
    rw_fail "the X server has no 12-point core font for SDL's message box: install xfonts-base"
}

# Starts a program (path and arguments) with the disk audio driver writing to
# $RW_TMP/audio.raw, from the folder named by RW_CWD (default: the temp dir).
# Sets RW_PID; its output goes to $RW_TMP/intro.log.
rw_start_program() {
  rm -f "$RW_TMP/audio.raw"
  (cd "${RW_CWD:-$RW_TMP}" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$RW_TMP/audio.raw" \
    "$@" >>"$RW_TMP/intro.log" 2>&1) &
  RW_PID=$!
  RW_PIDS+=("$RW_PID")
  rw_log "started $* as $RW_PID"
}

rw_start_intro() { rw_start_program "${1:-$RW_BUILD}/ZENOrA_intro"; }

# Named windows at any depth (a window manager puts clients in frames) as
# lines "ID<TAB>NAME<TAB>X<TAB>Y<TAB>W<TAB>H", X and Y on the screen.
rw_windows() {
  timeout 5 xwininfo -root -tree 2>/dev/null | sed -n \
    's/^ *\(0x[0-9a-f]*\) "\(.*\)": (.*)  *\([0-9]*\)x\([0-9]*\)+-\{0,1\}[0-9]*+-\{0,1\}[0-9]*  *+\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\).*/\1\t\2\t\5\t\6\t\3\t\4/p'
}

# The mapped named windows (not the window manager's) as lines "ID<TAB>NAME";
# the ids of those titled $1.
rw_shown() {
  local id name rest
  rw_windows | while IFS=$'\t' read -r id name rest; do
    [ "$id" != "$RW_WM_WINDOW" ] && timeout 2 xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && printf '%s\t%s\n' "$id" "$name"
  done
}
rw_windows_titled() { rw_shown | awk -F'\t' -v t="$1" '$2 == t {print $1}'; }

# Waits up to $2 seconds (default 10) for one mapped window titled $1; prints its id.
rw_wait_window() {
  local deadline=$(( $(rw_now) + ${2:-10} * 1000000000 )) ids
  while [ "$(rw_now)" -lt "$deadline" ]; do
    ids=$(rw_windows_titled "$1")
    [ -n "$ids" ] && { head -n1 <<<"$ids"; return 0; }
    sleep 0.05
  done
  return 1
}

rw_wait_intro_window() {
  RW_WIN=$(rw_wait_window "$RW_TITLE" "${1:-10}") || rw_fail "no window titled '$RW_TITLE' within ${1:-10} s"
  sleep 0.3   # the first frames reach the screen
}

# "X Y" of a window's top-left corner on the screen; "W H" of its size.
rw_position() { timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'; }
rw_size() { timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/^ *Width:/{w=$2} /^ *Height:/{h=$2} END{print w, h}'; }

# Waits up to $2 s for a child process to end and sets RW_STATUS to its exit
# status; returns 1 if it is still running then. (Not in $(...): only this
# shell can collect its children.)
rw_wait_exit() {
  local pid=$1 deadline=$(( $(rw_now) + ${2:-10} * 1000000000 ))
  while rw_alive "$pid"; do
    [ "$(rw_now)" -lt "$deadline" ] || return 1
    sleep 0.005
  done
  wait "$pid" 2>/dev/null
  RW_STATUS=$?
}

rw_shot() { timeout 10 "$RW_IMPORT" -silent -window "$1" "$2" 2>>"$RW_TMP/import.log" || rw_fail "cannot take a screenshot of $1"; }

# Number of pixels that differ between two images of equal size, after both
# have the rectangles given as further "x0,y0 x1,y1" arguments painted black.
rw_diff_outside() {
  local a=$1 b=$2 draw=() r
  shift 2
  for r in "$@"; do draw+=(-draw "rectangle $r"); done
  "$RW_CONVERT" "$a" -fill black "${draw[@]}" "$RW_TMP/diff-a.png"
  "$RW_CONVERT" "$b" -fill black "${draw[@]}" "$RW_TMP/diff-b.png"
  "$RW_COMPARE" -metric AE "$RW_TMP/diff-a.png" "$RW_TMP/diff-b.png" "$RW_TMP/diff.png" 2>&1 >/dev/null | sed 's/ .*//'
}

# Number of pixels that differ inside one rectangle "W H X Y".
rw_diff_inside() {
  "$RW_CONVERT" "$1" -crop "$3x$4+$5+$6" +repage "$RW_TMP/crop-a.png"
  "$RW_CONVERT" "$2" -crop "$3x$4+$5+$6" +repage "$RW_TMP/crop-b.png"
  "$RW_COMPARE" -metric AE "$RW_TMP/crop-a.png" "$RW_TMP/crop-b.png" null: 2>&1 | sed 's/ .*//'
}

# Number of pixels of exactly one colour (#RRGGBB) inside a rectangle "W H X Y".
rw_count_colour() {
  local differ
  differ=$("$RW_CONVERT" "$1" -crop "$3x$4+$5+$6" +repage \( +clone -fill "$2" -colorize 100 \) \
    -metric AE -compare -format '%[distortion]' info: 2>/dev/null)
  echo $(( $3 * $4 - ${differ%%.*} ))
}

# Pointer moves. xdotool's absolute move warps the pointer, as remote-desktop
# tools do; a relative move goes through the X test device like a mouse. The
# tests arrive at a point the way a mouse does: a warp near it, then a step.
rw_pointer_to() {
  timeout 5 xdotool mousemove "$(( $1 - 1 ))" "$2"
  sleep 0.03
  timeout 5 xdotool mousemove_relative -- 1 0
  sleep 0.03
}

# rw_pointer_by DX DY [STEP]: relative moves of at most STEP px (default 5),
# 20 ms apart, as a hand moves a mouse.
rw_pointer_by() {
  local dx=$1 dy=$2 step=${3:-5} n i
  n=$(( (${dx#-} > ${dy#-} ? ${dx#-} : ${dy#-}) ))
  n=$(( n < step ? 1 : (n + step - 1) / step ))
  for i in $(seq "$n"); do
    timeout 5 xdotool mousemove_relative -- "$(( dx * i / n - dx * (i - 1) / n ))" "$(( dy * i / n - dy * (i - 1) / n ))"
    sleep 0.02
  done
}

rw_pointer() { timeout 5 xdotool getmouselocation --shell | awk -F= '/^[XY]=/{printf "%s ", $2}'; }

# Bytes in the disk audio file; does it hold anything but zeros past its first $1 bytes?
rw_audio_size() { stat -c %s "$RW_TMP/audio.raw" 2>/dev/null || echo 0; }
rw_audio_nonsilent() {
  local skip=${1:-0} size
  size=$(rw_audio_size)
  [ "$size" -gt "$skip" ] && ! tail -c "+$(( skip + 1 ))" "$RW_TMP/audio.raw" | cmp -s -n "$(( size - skip ))" - /dev/zero
}

# Clicks the OK button of an SDL message box. Its one button sits centred at
# the bottom: the lowest run of rows in the middle column that differ from the
# box's background.
rw_click_ok() {
  local id=$1 x y w h mid
  read -r x y < <(rw_position "$id")
  read -r w h < <(rw_size "$id")
  [ -n "$w" ] && [ -n "$x" ] || { rw_check_failed "box $id vanished before its OK button was clicked"; return 1; }
  rw_shot "$id" "$RW_TMP/box-click.png"
  mid=$("$RW_CONVERT" "$RW_TMP/box-click.png" -crop "1x$h+$(( w / 2 ))+0" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[,: ]+' -v h="$h" '
      /^[0-9]/ { col[$2] = $0; sub(/.*#/, "", col[$2]); sub(/ .*/, "", col[$2]) }
      END {
        bg = col[h - 1]; y = h - 1
        while (y > 0 && col[y] == bg) y--
        bottom = y
        while (y > 0 && col[y] != bg) y--
        if (bottom <= 0 || bottom - y < 5) print int(h - 26); else print int((y + 1 + bottom) / 2)
      }')
  timeout 5 xdotool mousemove "$(( x + w / 2 ))" "$(( y + mid ))"
  sleep 0.05
  timeout 5 xdotool click 1
}

# Polls screenshots of window $1 for up to $3 s until the 9 x 9 close glyph
# (scaled by RW_SCALE) shows all 36 pixels of its face in colour $2 (white or
# grey); prints the glyph's colours when it does not.
rw_wait_glyph() {
  local s=$RW_SCALE deadline=$(( $(rw_now) + ${3:-2} * 1000000000 ))
  while :; do
    rw_shot "$1" "$RW_TMP/glyph.png"
    [ "$(rw_count_colour "$RW_TMP/glyph.png" "$2" $(( 9 * s )) $(( 9 * s )) $(( 304 * s )) $(( 8 * s )))" = $(( 36 * s * s )) ] && return 0
    [ "$(rw_now)" -lt "$deadline" ] || break
    sleep 0.05
  done
  echo "glyph shows: $("$RW_CONVERT" "$RW_TMP/glyph.png" -crop $(( 9 * s ))x$(( 9 * s ))+$(( 304 * s ))+$(( 8 * s )) +repage -format %c histogram:info: | tr -s ' \n' ' ')"
  return 1
}

# Waits up to $2 ms until window $1 stands still at a place other than "$3"
# (the old "X Y"); prints the new place, or the old one if it never moved.
rw_wait_moved() {
  local deadline=$(( $(rw_now) + $2 * 1000000 )) now last=""
  while [ "$(rw_now)" -lt "$deadline" ]; do
    now=$(rw_position "$1")
    [ "$now" != "$3" ] && [ "$now" = "$last" ] && { echo "$now"; return 0; }
    last=$now
    sleep 0.05
  done
  rw_position "$1"
}

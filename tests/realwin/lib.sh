# Shared helpers of the real-window tests: a private Xvfb per test, the intro
# started in it, window look-ups, screenshots, pointer moves and clean-up.
# Sourced by each case; ZENORA_BUILD names the folder that holds ZENOrA_intro,
# libbassmod.so and LIGHT.S3M side by side.
#
# Every wait has a deadline, every process started here is ended by its id on
# exit, and a failure prints what the test saw.

set -uo pipefail

RW_NAME=$(basename "$0" .sh)${1:+-$1}
RW_BUILD=${ZENORA_BUILD:?ZENORA_BUILD must name the build folder}
RW_CONVERT=/usr/bin/convert   # the real ImageMagick, not a stand-in earlier on PATH
RW_COMPARE=/usr/bin/compare
RW_IMPORT=/usr/bin/import
RW_TITLE=':: ZENOrA ::'
RW_X0=341                     # where the window opens
RW_Y0=265

for tool in Xvfb xdotool xwininfo xprop xlsfonts "$RW_CONVERT" "$RW_COMPARE" "$RW_IMPORT"; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIP: $tool is not installed (tools/setup-deps.sh installs it)"
    exit 77
  fi
done

RW_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zenora-$RW_NAME.XXXXXX")
RW_PIDS=()       # programs started by the test, ended first
RW_XVFB_PID=""
RW_FAILED=0
RW_START_NS=$(date +%s%N)

rw_log() { echo "[$RW_NAME +$(( ($(date +%s%N) - RW_START_NS) / 1000000 )) ms] $*"; }

# Is this pid still a running process (not gone, not a zombie)?
rw_alive() {
  local stat
  [ -r "/proc/$1/stat" ] || return 1
  read -r stat <"/proc/$1/stat" 2>/dev/null || return 1
  stat=${stat##*) }
  [ "${stat%% *}" != Z ]
}

rw_stop_pid() {
  local pid=$1 i
  rw_alive "$pid" || { wait "$pid" 2>/dev/null; return 0; }
  kill -TERM "$pid" 2>/dev/null
  for i in $(seq 50); do
    rw_alive "$pid" || break
    sleep 0.02
  done
  rw_alive "$pid" && kill -KILL "$pid" 2>/dev/null
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
  rw_dump
  exit 1
}

rw_finish() {
  if [ "$RW_FAILED" = 1 ]; then
    rw_dump
    exit 1
  fi
  rw_log "passed"
  exit 0
}

# What a failing test saw: the top-level windows and the programs' output.
rw_dump() {
  local f
  if [ -n "${DISPLAY:-}" ] && [ -n "$RW_XVFB_PID" ]; then
    echo "--- top-level windows on $DISPLAY"
    timeout 5 xwininfo -root -children 2>&1 | grep '^ *0x' || echo "(none)"
  fi
  for f in "$RW_TMP"/*.log; do
    [ -s "$f" ] || continue
    echo "--- $(basename "$f")"
    head -c 4000 "$f"
    echo
  done
}

# Starts a private X server on a free display and waits until it answers.
rw_start_xvfb() {
  local fifo=$RW_TMP/displayfd display="" i
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >"$RW_TMP/xvfb.out" 2>&1 &
  RW_XVFB_PID=$!
  # The display number arrives on the fifo once the server accepts clients.
  if ! read -r -t 15 display <"$fifo" || [ -z "$display" ]; then
    cat "$RW_TMP/xvfb.out"
    rw_fail "Xvfb did not report a display within 15 s"
  fi
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY SDL_VIDEODRIVER
  for i in $(seq 100); do
    timeout 2 xwininfo -root >/dev/null 2>&1 && break
    sleep 0.05
  done
  timeout 2 xwininfo -root >/dev/null 2>&1 || rw_fail "Xvfb on $DISPLAY does not answer"
  # SDL marks a borderless window through the Motif hints only where the atom
  # exists already, as it does under every desktop; make it exist here too.
  xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0 >/dev/null 2>&1
  xprop -root -remove _MOTIF_WM_HINTS >/dev/null 2>&1
  rw_log "Xvfb on $DISPLAY"
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
  : >"$RW_TMP/intro.log"
  (cd "${RW_CWD:-$RW_TMP}" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$RW_TMP/audio.raw" \
    "$@" >>"$RW_TMP/intro.log" 2>&1) &
  RW_PID=$!
  RW_PIDS+=("$RW_PID")
  rw_log "started $* as $RW_PID"
}

rw_start_intro() { rw_start_program "${1:-$RW_BUILD}/ZENOrA_intro"; }

# Top-level windows as lines "ID<TAB>NAME<TAB>X<TAB>Y<TAB>W<TAB>H" (mapped or not).
rw_windows() {
  timeout 5 xwininfo -root -children 2>/dev/null |
    sed -n 's/^ *\(0x[0-9a-f]*\) "\(.*\)": (.*)  *\([0-9]*\)x\([0-9]*\)+\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\) .*/\1\t\2\t\5\t\6\t\3\t\4/p'
}

# Ids of the mapped top-level windows with exactly this title.
rw_windows_titled() {
  local id name rest
  rw_windows | while IFS=$'\t' read -r id name rest; do
    [ "$name" = "$1" ] || continue
    timeout 2 xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable' && echo "$id"
  done
}

# Waits up to $2 seconds (default 10) for one mapped window titled $1; prints its id.
rw_wait_window() {
  local title=$1 limit=${2:-10} deadline ids
  deadline=$(( $(date +%s%N) + limit * 1000000000 ))
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    ids=$(rw_windows_titled "$title")
    if [ -n "$ids" ]; then
      echo "$ids" | head -n1
      return 0
    fi
    sleep 0.05
  done
  return 1
}

rw_wait_intro_window() {
  RW_WIN=$(rw_wait_window "$RW_TITLE" "${1:-10}") || rw_fail "no window titled '$RW_TITLE' within ${1:-10} s"
  # Let the first frames reach the screen.
  sleep 0.3
}

# "X Y" of a window's top-left corner on the screen.
rw_position() {
  timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'
}

# Waits up to $2 s for a child process to end and sets RW_STATUS to its exit
# status; returns 1 if it is still running then. (Not in $(...): only this
# shell can collect its children.)
rw_wait_exit() {
  local pid=$1 limit=${2:-10} deadline
  deadline=$(( $(date +%s%N) + limit * 1000000000 ))
  while rw_alive "$pid"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.005
  done
  wait "$pid" 2>/dev/null
  RW_STATUS=$?
}

# Screenshot of a window's client area as PNG.
rw_shot() {
  timeout 10 "$RW_IMPORT" -silent -window "$1" "$2" 2>>"$RW_TMP/import.log" || rw_fail "cannot take a screenshot of $1"
}

# Colour of one pixel as RRGGBB.
rw_pixel() {
  "$RW_CONVERT" "$1" -format "%[hex:u.p{$2,$3}]" info: 2>/dev/null
}

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

# The first ten pixels where the two images of the last rw_diff_outside differ.
rw_diff_where() {
  "$RW_CONVERT" "$RW_TMP/diff-a.png" "$RW_TMP/diff-b.png" -compose difference -composite -depth 8 txt:- 2>/dev/null |
    awk '/^[0-9]/ && !/#000000/ {print "  differs at " $1; if (++n == 10) exit}'
}

# Number of pixels that differ inside one rectangle "W H X Y".
rw_diff_inside() {
  local a=$1 b=$2 geo="$3x$4+$5+$6"
  "$RW_CONVERT" "$a" -crop "$geo" +repage "$RW_TMP/crop-a.png"
  "$RW_CONVERT" "$b" -crop "$geo" +repage "$RW_TMP/crop-b.png"
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
# tools do; a relative move goes through the X test device like a mouse. SDL
# refreshes its global pointer position only on device motion, so the tests
# arrive at a point the way a mouse does: a warp near it, then a relative step.
rw_pointer_to() {
  local x=$1 y=$2
  timeout 5 xdotool mousemove "$(( x - 1 ))" "$y"
  sleep 0.03
  timeout 5 xdotool mousemove_relative -- 1 0
  sleep 0.03
}

# rw_pointer_by DX DY [STEP]: relative moves of at most STEP px (default 5),
# 20 ms apart, as a hand moves a mouse.
rw_pointer_by() {
  local dx=$1 dy=$2 step=${3:-5} adx ady n i
  adx=$(( dx < 0 ? -dx : dx ))
  ady=$(( dy < 0 ? -dy : dy ))
  n=$(( ((adx > ady ? adx : ady) + step - 1) / step ))
  (( n < 1 )) && n=1
  for i in $(seq "$n"); do
    timeout 5 xdotool mousemove_relative -- "$(( dx * i / n - dx * (i - 1) / n ))" "$(( dy * i / n - dy * (i - 1) / n ))"
    sleep 0.02
  done
}

rw_pointer() { timeout 5 xdotool getmouselocation --shell | awk -F= '/^[XY]=/{printf "%s ", $2}'; }

# Bytes in the disk audio file.
rw_audio_size() { stat -c %s "$RW_TMP/audio.raw" 2>/dev/null || echo 0; }

# Does the audio file hold anything but zeros past its first $1 bytes?
rw_audio_nonsilent() {
  local skip=${1:-0} size
  size=$(rw_audio_size)
  [ "$size" -gt "$skip" ] || return 1
  ! tail -c "+$(( skip + 1 ))" "$RW_TMP/audio.raw" | cmp -s -n "$(( size - skip ))" - /dev/zero
}

# Size "W H" of a window.
rw_size() {
  timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/^ *Width:/{w=$2} /^ *Height:/{h=$2} END{print w, h}'
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
# shows 36 pixels of colour $2 (the white or the grey face). Prints the
# glyph's colours seen last when it does not.
rw_wait_glyph() {
  local id=$1 colour=$2 limit=${3:-2} deadline n
  deadline=$(( $(date +%s%N) + limit * 1000000000 ))
  while :; do
    rw_shot "$id" "$RW_TMP/glyph.png"
    n=$(rw_count_colour "$RW_TMP/glyph.png" "$colour" 9 9 304 8)
    [ "$n" = 36 ] && return 0
    [ "$(date +%s%N)" -lt "$deadline" ] || break
    sleep 0.05
  done
  echo "glyph at (304,8) shows: $("$RW_CONVERT" "$RW_TMP/glyph.png" -crop 9x9+304+8 +repage -format %c histogram:info: | tr -s ' \n' ' ')"
  return 1
}

# Waits up to $2 ms until window $1 stands still at a place other than "$3"
# (the old "X Y"); prints the new place, or the old one if it never moved.
rw_wait_moved() {
  local id=$1 limit=$2 old=$3 deadline now last=""
  deadline=$(( $(date +%s%N) + limit * 1000000 ))
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    now=$(rw_position "$id")
    if [ "$now" != "$old" ] && [ "$now" = "$last" ]; then
      echo "$now"
      return 0
    fi
    last=$now
    sleep 0.05
  done
  rw_position "$id"
}

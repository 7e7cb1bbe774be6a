# Helpers of the real-window tests: a private Xvfb per test (bare, or RW_WM=openbox or fluxbox), programs
# in it (ZENORA_BUILD holds the program folder), window look-ups, screenshots, pointer moves.
# Every wait has a deadline, every process started is ended by its id, a failure shows what was seen.
set -uo pipefail
RW_WM=${RW_WM:-bare}
RW_NAME=$(basename "$0" .sh)$( (($#)) && printf -- '-%s' "$@")-$RW_WM
RW_BUILD=${ZENORA_BUILD:?ZENORA_BUILD must name the build folder}
RW_CONVERT=/usr/bin/convert   # the real ImageMagick, not a stand-in earlier on PATH
RW_TITLE=':: ZENOrA ::'
RW_X0=341 RW_Y0=265           # where the window opens
RW_SCALE=1                    # display pixels per form pixel
RW_OX=0 RW_OY=0               # where the frame lies in the window
for tool in Xvfb xdotool xwininfo xprop xlsfonts "$RW_CONVERT" ${RW_TOOLS[@]+"${RW_TOOLS[@]}"} \
  $([[ $RW_WM = openbox || $RW_WM = fluxbox ]] && echo "$RW_WM"); do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (tools/setup-deps.sh installs it)"; exit 77; }
done
RW_TMP=$(mktemp -d "${TMPDIR:-/tmp}/zenora-${RW_NAME//\//_}.XXXXXX") || { echo "FAIL: no temporary folder"; exit 1; }
RW_PIDS=() RW_XVFB_PID="" RW_WM_WINDOW=none RW_FAILED=0 RW_START_NS=$(date +%s%N)

rw_now() { date +%s%N; }
# rw_until MS COMMAND...: runs COMMAND every 50 ms until it succeeds, for up to MS ms (then 1).
rw_until() {
  local deadline=$(( $(rw_now) + $1 * 1000000 ))
  shift
  until "$@"; do [ "$(rw_now)" -lt "$deadline" ] || return 1; sleep 0.05; done
}
rw_log() { echo "[$RW_NAME +$(( ($(rw_now) - RW_START_NS) / 1000000 )) ms] $*"; }
rw_check_failed() { RW_FAILED=1; echo "FAIL: $*"; }   # goes on; rw_finish decides
rw_fail() { rw_check_failed "$@"; rw_finish; }
rw_finish() {
  (( RW_FAILED )) || { rw_log passed; exit 0; }
  [ -n "$RW_XVFB_PID" ] && echo "--- windows on $DISPLAY:" && rw_windows
  for f in "$RW_TMP"/*.log; do [ -s "$f" ] && echo "--- $(basename "$f"):" && head -c 4000 "$f" && echo; done
  exit 1
}

rw_alive() { grep -qs '^State:\s*[^Z]' "/proc/$1/status"; }   # running, not a zombie
rw_gone() { ! rw_alive "$1"; }
rw_stop_pid() {
  rw_alive "$1" && kill -TERM "$1" 2>/dev/null && rw_until 1000 rw_gone "$1" || kill -KILL "$1" 2>/dev/null
  wait "$1" 2>/dev/null || true
}
rw_cleanup() {
  for pid in "${RW_PIDS[@]}" $RW_XVFB_PID; do rw_stop_pid "$pid"; done   # the X server last
  (( RW_FAILED )) && [ -n "${ZENORA_REALWIN_ARTIFACTS:-}" ] && mkdir -p "$ZENORA_REALWIN_ARTIFACTS/$RW_NAME" &&
    cp "$RW_TMP"/*.png "$RW_TMP"/*.log "$ZENORA_REALWIN_ARTIFACTS/$RW_NAME/" 2>/dev/null
  rm -rf "$RW_TMP"
}
trap rw_cleanup EXIT
trap 'exit 130' INT TERM

# rw_start_xvfb [WxH[xDEPTH]]: a private X server on a free display, RW_WM's window manager in it.
rw_start_xvfb() {
  local display=""
  mkfifo "$RW_TMP/displayfd"
  local screen=${1:-1024x768}
  [[ $screen = *x*x* ]] || screen=${screen}x24
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$RW_TMP/displayfd" >"$RW_TMP/xvfb.log" 2>&1 &
  RW_XVFB_PID=$!
  read -r -t 15 display <"$RW_TMP/displayfd" && [ -n "$display" ] || rw_fail "Xvfb reported no display within 15 s"
  export DISPLAY=":$display"
  unset WAYLAND_DISPLAY SDL_VIDEODRIVER
  # SDL marks a borderless window by Motif hints only where the atom exists, as on every desktop.
  xprop -root -f _MOTIF_WM_HINTS 32c -set _MOTIF_WM_HINTS 0 && xprop -root -remove _MOTIF_WM_HINTS
  if [[ $RW_WM = openbox || $RW_WM = fluxbox ]]; then
    # fluxbox in a home of its own, without a wallpaper (which it would complain of in a window).
    mkdir -p "$RW_TMP/.fluxbox" && echo 'background: none' >"$RW_TMP/.fluxbox/overlay"
    if [ "$RW_WM" = openbox ]; then openbox --sm-disable; else HOME=$RW_TMP fluxbox -no-slit; fi >"$RW_TMP/$RW_WM.log" 2>&1 &
    RW_PIDS+=("$!")
    rw_until 10000 eval 'RW_WM_WINDOW=$(xprop -root _NET_SUPPORTING_WM_CHECK | grep -o "0x[0-9a-f]*")' ||
      rw_fail "$RW_WM did not take over $DISPLAY"
    # fluxbox names itself before it manages windows: its work area comes after.
    rw_until 10000 eval 'xprop -root _NET_WORKAREA | grep -q =' || rw_fail "$RW_WM published no work area"
  fi
  rw_log "Xvfb on $DISPLAY, window manager: $RW_WM"
}

# Prints the path of a copy of the program folder (named $1, default app) in the temp dir.
rw_copy_folder() {
  local dir=$RW_TMP/${1:-app}
  mkdir -p "$dir" && cp "$RW_BUILD"/{ZENOrA_intro,ZENOrA_capture,libbassmod.so,LIGHT.S3M} "$dir/" || rw_fail "cannot copy the program"
  echo "$dir"
}

# As nobody, as wlroots and the sound servers insist: rw_unprivileged [FOLDER...] opens the temp folder to it,
# makes it a runtime folder $RW_TMP/xdg (and FOLDERs) and a copy of the program folder it can read (RW_APP);
# rw_as_user [VARIABLE=VALUE...] COMMAND... runs so, in a subshell only (it execs, keeping the pid).
rw_unprivileged() {
  chmod 711 "$RW_TMP" && install -d -o nobody -m 700 "$RW_TMP/xdg" "$@" && RW_APP=$(rw_copy_folder app) && chmod -R a+rX "$RW_APP"
}
rw_as_user() { exec setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$RW_TMP" XDG_RUNTIME_DIR="$RW_TMP/xdg" "$@"; }

# SDL's message box on X11 needs a 12-point core font (Debian: xfonts-base).
rw_need_box_font() {
  [ -n "$(timeout 5 xlsfonts -fn '-*-*-medium-r-normal--*-120-*-*-*-*-*-*' 2>/dev/null)" ] ||
    rw_fail "the X server has no 12-point core font for SDL's message box: install xfonts-base"
}

# Starts a program (path, arguments) in RW_CWD (default the temp dir), sound into
# $RW_TMP/audio.raw, output into intro.log; sets RW_PID.
rw_start_program() {
  rm -f "$RW_TMP/audio.raw"
  (cd "${RW_CWD:-$RW_TMP}" && exec env SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$RW_TMP/audio.raw" "$@" >>"$RW_TMP/intro.log" 2>&1) &
  RW_PID=$!
  RW_PIDS+=("$RW_PID")
  rw_log "started $* as $RW_PID"
}
rw_start_intro() { rw_start_program "${1:-$RW_BUILD}/ZENOrA_intro"; }

# Named windows at any depth (in a window manager's frames too): "ID<TAB>NAME<TAB>X<TAB>Y<TAB>W<TAB>H".
rw_windows() {
  timeout 5 xwininfo -root -tree 2>/dev/null | sed -n \
    's/^ *\(0x[0-9a-f]*\) "\(.*\)": (.*)  *\([0-9]*\)x\([0-9]*\)+-\{0,1\}[0-9]*+-\{0,1\}[0-9]*  *+\(-\{0,1\}[0-9]*\)+\(-\{0,1\}[0-9]*\).*/\1\t\2\t\5\t\6\t\3\t\4/p'
}
# The mapped ones (not the window manager's own) as "ID<TAB>NAME"; the ids of those titled $1.
rw_shown() {
  rw_windows | while IFS=$'\t' read -r id name rest; do
    if [ "$id" != "$RW_WM_WINDOW" ] && [[ $(timeout 2 xwininfo -id "$id" 2>&1) = *IsViewable* ]]; then printf '%s\t%s\n' "$id" "$name"; fi
  done
}
rw_windows_titled() { rw_shown | awk -F'\t' -v t="$1" '$2 == t {print $1}'; }
# Waits up to $2 s (default 10) for a mapped window titled $1; prints its id.
rw_wait_window() {
  local title=$1 ids=""
  rw_until $(( ${2:-10} * 1000 )) eval 'ids=$(rw_windows_titled "$title") && [ -n "$ids" ]' && head -n1 <<<"$ids"
}
rw_wait_intro_window() {
  RW_WIN=$(rw_wait_window "$RW_TITLE" "${1:-10}") || rw_fail "no window titled '$RW_TITLE' within ${1:-10} s"
  sleep 0.3   # the first frames reach the screen
}
# "X Y" of a window's top-left corner on the screen; "W H" of its size.
rw_position() { timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} END{print x, y}'; }
rw_size() { timeout 5 xwininfo -id "$1" 2>/dev/null | awk '/^ *Width:/{w=$2} /^ *Height:/{h=$2} END{print w, h}'; }

# Waits up to $2 s for a child to end, its status in RW_STATUS; 1 if it runs on. Not in $(...).
rw_wait_exit() {
  rw_until $(( ${2:-10} * 1000 )) rw_gone "$1" || return 1
  wait "$1" 2>/dev/null
  RW_STATUS=$?
}

rw_shot() { timeout 10 /usr/bin/import -silent -window "$1" "$2" 2>>"$RW_TMP/import.log" || rw_fail "cannot take a screenshot of $1"; }
# Pixels that differ between two images inside a rectangle W H X Y, rectangles "x0,y0 x1,y1" after it blacked out.
rw_diff_inside() {
  local a=$1 b=$2 crop=(-crop "$3x$4+$5+$6" +repage) draw=(-fill black) r
  shift 6
  for r in "$@"; do draw+=(-draw "rectangle $r"); done
  "$RW_CONVERT" "$a" "${draw[@]}" "${crop[@]}" "$RW_TMP/a.png" && "$RW_CONVERT" "$b" "${draw[@]}" "${crop[@]}" "$RW_TMP/b.png"
  /usr/bin/compare -metric AE "$RW_TMP/a.png" "$RW_TMP/b.png" null: 2>&1 | sed 's/ .*//'
}
# rw_frame_differs SHOT N OX OY W H: how many pixels of the shot (W x H) differ from the capture tool's
# first frame at scale N, placed at OX, OY on black, where nothing moves (logo x 230-315, y 15-115; the
# stars' rows 140-172).
rw_frame_differs() {
  local n=$2 ox=$3 oy=$4
  [ -f "$RW_TMP/capture/frame-0.png" ] || "$RW_BUILD/ZENOrA_capture" --out "$RW_TMP/capture" --at 0 >"$RW_TMP/capture.log" 2>&1 ||
    rw_fail "ZENOrA_capture failed"
  "$RW_CONVERT" -size "$5x$6" xc:black \( "$RW_TMP/capture/frame-0.png" -sample "$(( n * 100 ))%" \) \
    -geometry "+$ox+$oy" -composite "$RW_TMP/expected.png"
  rw_diff_inside "$1" "$RW_TMP/expected.png" "$5" "$6" 0 0 \
    "$(( ox + 230 * n )),$(( oy + 15 * n )) $(( ox + 316 * n - 1 )),$(( oy + 116 * n - 1 ))" \
    "$ox,$(( oy + 140 * n )) $(( ox + 320 * n - 1 )),$(( oy + 173 * n - 1 ))"
}
# rw_shows_frame SHOT N OX OY W H WHAT: the shot is that frame.
rw_shows_frame() {
  local differ
  differ=$(rw_frame_differs "$@")
  [ "$differ" = 0 ] && rw_log "$7: the frame at ${2}x at $3,$4 in $5 x $6, black around" ||
    rw_check_failed "$7: $differ pixels differ from the capture tool's frame at ${2}x at $3,$4 in $5 x $6"
}
# Pixels of exactly one colour (#RRGGBB) inside a rectangle W H X Y.
rw_count_colour() {
  local differ
  differ=$("$RW_CONVERT" "$1" -crop "$3x$4+$5+$6" +repage \( +clone -fill "$2" -colorize 100 \) \
    -metric AE -compare -format '%[distortion]' info: 2>/dev/null)
  echo $(( $3 * $4 - ${differ%%.*} ))
}

# xdotool's absolute move warps the pointer (as remote desktops do), a relative one moves it like a
# mouse: the tests arrive at a point a mouse's way, a warp near it and then a step.
rw_pointer_to() {
  timeout 5 xdotool mousemove "$(( $1 - 1 ))" "$2" sleep 0.03 mousemove_relative -- 1 0 sleep 0.03
}
# rw_pointer_by DX DY [STEP]: moves of at most STEP px (default 5), 20 ms apart, as a hand makes them.
rw_pointer_by() {
  local dx=$1 dy=$2 n=$(( (${1#-} > ${2#-} ? ${1#-} : ${2#-}) + ${3:-5} - 1 ))
  n=$(( n / ${3:-5} > 0 ? n / ${3:-5} : 1 ))
  for i in $(seq "$n"); do
    timeout 5 xdotool mousemove_relative -- $(( dx * i / n - dx * (i - 1) / n )) $(( dy * i / n - dy * (i - 1) / n )) sleep 0.02
  done
}

# Bytes in the disk audio file; does it hold anything but zeros past its first $1 bytes?
rw_audio_size() { stat -c %s "$RW_TMP/audio.raw" 2>/dev/null || echo 0; }
rw_audio_nonsilent() {
  local size
  size=$(rw_audio_size)
  [ "$size" -gt "${1:-0}" ] && ! tail -c "+$(( ${1:-0} + 1 ))" "$RW_TMP/audio.raw" | cmp -s -n "$(( size - ${1:-0} ))" - /dev/zero
}

# Clicks the OK button of an SDL message box: the lowest run of rows of the middle column unlike the background.
rw_click_ok() {
  local x y w h mid
  read -r x y < <(rw_position "$1")
  read -r w h < <(rw_size "$1")
  [ -n "$w" ] && [ -n "$x" ] || { rw_check_failed "box $1 vanished before its OK button was clicked"; return 1; }
  rw_shot "$1" "$RW_TMP/box-click.png"
  mid=$("$RW_CONVERT" "$RW_TMP/box-click.png" -crop "1x$h+$(( w / 2 ))+0" +repage -depth 8 txt:- 2>/dev/null |
    awk -F'[,: ]+' -v h="$h" '/^[0-9]/ { c[$2] = $0; sub(/.*#/, "", c[$2]); sub(/ .*/, "", c[$2]) }
      END { y = h - 1; while (y > 0 && c[y] == c[h - 1]) y--; b = y; while (y > 0 && c[y] != c[h - 1]) y--
            print (b <= 0 || b - y < 5) ? int(h - 26) : int((y + 1 + b) / 2) }')
  timeout 5 xdotool mousemove $(( x + w / 2 )) $(( y + mid )) sleep 0.05 click 1
}

# Polls screenshots of window $1 for up to $3 s until the close glyph (9 x 9 times
# RW_SCALE, the frame at RW_OX, RW_OY) shows all 36 pixels of its face in colour $2; else prints its colours.
rw_glyph_is() {
  local s=$RW_SCALE
  rw_shot "$1" "$RW_TMP/glyph.png" &&
    "$RW_CONVERT" "$RW_TMP/glyph.png" -crop $(( 9 * s ))x$(( 9 * s ))+$(( RW_OX + 304 * s ))+$(( RW_OY + 8 * s )) \
    +repage "$RW_TMP/glyph.png" && [ "$(rw_count_colour "$RW_TMP/glyph.png" "$2" $(( 9 * s )) $(( 9 * s )) 0 0)" = $(( 36 * s * s )) ]
}
rw_wait_glyph() {
  rw_until $(( ${3:-2} * 1000 )) rw_glyph_is "$1" "$2" ||
    { echo "glyph shows $("$RW_CONVERT" "$RW_TMP/glyph.png" -format %c histogram:info: | tr -s ' \n' ' ')"; return 1; }
}

# rw_close_by_glyph WHAT: the pointer onto the glyph where RW_WIN shows it, grey, a click: status 0.
rw_close_by_glyph() {
  local x y
  read -r x y < <(rw_position "$RW_WIN")
  rw_pointer_to $(( x + RW_OX + 308 * RW_SCALE )) $(( y + RW_OY + 12 * RW_SCALE ))
  rw_wait_glyph "$RW_WIN" '#C6C6C6' 2 && timeout 5 xdotool click 1 || rw_check_failed "$1: no grey glyph to click"
  rw_wait_exit "$RW_PID" 10 && [ "$RW_STATUS" = 0 ] || rw_check_failed "$1: after the click: status ${RW_STATUS:-none}"
}

# rw_animating: two shots of RW_WIN (at 1x) 0.15 s apart differ in the logo and in the stars, which
# changed by RW_LOGO and RW_STARS pixels.
rw_animating() {
  rw_shot "$RW_WIN" "$RW_TMP/during-1.png" && sleep 0.15 && rw_shot "$RW_WIN" "$RW_TMP/during-2.png"
  RW_STARS=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 319 33 1 140)
  RW_LOGO=$(rw_diff_inside "$RW_TMP/during-1.png" "$RW_TMP/during-2.png" 80 80 232 33)
  (( ${RW_STARS:-0} > 0 && ${RW_LOGO:-0} > 0 ))
}

# Waits up to $2 ms until window $1 stands still away from "$3" (the old "X
# Y"); prints where it is.
rw_wait_moved() {
  local id=$1 old=$3 now="" last=""
  rw_until "$2" eval 'last=$now now=$(rw_position "$id") && [ "$now" != "$old" ] && [ "$now" = "$last" ]'
  echo "$now"
}

# rw_at CX CY: the pointer onto the window's client point, a mouse's way.
rw_at() { read -r X Y < <(rw_position "$RW_WIN") && rw_pointer_to $(( X + $1 * RW_SCALE )) $(( Y + $2 * RW_SCALE )); }

# rw_drag HOW BUTTON CX CY DX DY WHAT: grab at client (CX, CY), move by (DX, DY) form pixels, release:
# the window moves as far (WHAT "still: ..." not at all). HOW: one (move), steps:S (moves of up to S
# px), jump (a warp), quick (press and move in one command, as a flick or a late reader gets them).
rw_drag() {
  local b=$2 dx=$(( $5 * RW_SCALE )) dy=$(( $6 * RW_SCALE )) px py what=${*:7}
  FROM=$(rw_position "$RW_WIN")
  read -r px py <<<"$FROM"
  px=$(( px + $3 * RW_SCALE )) py=$(( py + $4 * RW_SCALE ))
  [ "$1" = quick ] || { rw_pointer_to "$px" "$py" && timeout 5 xdotool mousedown "$b" sleep 0.05; }
  case $1 in
    quick) timeout 5 xdotool mousemove "$px" "$py" mousedown "$b" mousemove $(( px + dx )) $(( py + dy )) ;;
    steps:*) rw_pointer_by "$dx" "$dy" "${1#steps:}" ;;
    jump) timeout 5 xdotool mousemove $(( px + dx )) $(( py + dy )) ;;
    *) timeout 5 xdotool mousemove_relative -- "$dx" "$dy" ;;
  esac
  rw_wait_moved "$RW_WIN" 800 "$FROM" >/dev/null
  sleep 0.2   # late moves get their time before the verdict
  TO=$(rw_position "$RW_WIN")
  timeout 5 xdotool mouseup "$b" sleep 0.05
  if [ "${what#still}" = "$what" ]; then rw_moved "$what" "$5" "$6"; else rw_moved "$what" 0 0; fi
}
# rw_moved WHAT DX DY: the window went from FROM to TO by exactly (DX, DY) form pixels.
rw_moved() {
  local fx fy tx ty
  read -r fx fy <<<"$FROM" && read -r tx ty <<<"$TO"
  [ "$(( tx - fx )) $(( ty - fy ))" = "$(( $2 * RW_SCALE )) $(( $3 * RW_SCALE ))" ] && rw_log "$1: $FROM -> $TO" ||
    rw_check_failed "$1: the window went from $FROM to $TO, not by ($(( $2 * RW_SCALE )), $(( $3 * RW_SCALE )))"
  rw_alive "$RW_PID" || rw_fail "$1: the program ended"
}

# Linear loudness of FILE (ffmpeg input options before it) in 10 ms steps, one a line.
rw_envelope() {
  ffmpeg -v error "${@:2}" -i "$1" -af "pan=mono|c0=0.5*c0+0.5*c1,asetnsamples=n=441:p=0,astats=metadata=1:reset=1,\
ametadata=mode=print:key=lavfi.astats.Overall.RMS_level:file=-" -f null - |
    sed -n 's/.*RMS_level=//p' | awk '{ print $1 ~ /inf/ ? 0 : exp($1 / 20 * log(10)) }'
}
# rw_heard NAME [LEAST MOST]: the raw recording $RW_TMP/NAME.raw against the render: the lag (LEAST to MOST s,
# default 0 to 2; below 0 the recording began after the music) at which the render's envelope follows it best;
# there, each whole second's correlation (within 50 ms of where the one before matched best), their median and
# the worst; and the level. Silence or noise never follow it. Steps of digital silence are left out of both: a
# server plays them where a starved client left a gap (wine's sound thread has no priority of its own), and
# each would shift all that follows; such gaps may add up to a tenth of the span.
rw_heard() {
  read -r lag median worst level span gaps < <(awk -v least=$(( ${2:-0} * 100 )) -v most=$(( ${3:-2} * 100 )) '
    function corr(i, j, k,   sa, sb, saa, sbb, sab, x, y, t) {
      for (t = 0; t < k; t++) { x = a[i + t]; y = b[j + t]; sa += x; sb += y; saa += x * x; sbb += y * y; sab += x * y }
      return (sab - sa * sb / k) / sqrt((saa - sa * sa / k) * (sbb - sb * sb / k) + 1e-30)
    }
    # At a lag, the recording from ra(lag) against the render from rb(lag).
    function ra(lag) { return lag > 0 ? lag : 0 }
    function rb(lag) { return lag < 0 ? -lag : 0 }
    FNR == NR { if ($1 > 0) { gaps += held; held = 0; a[n++] = $1 } else if (n) held++; next }
    $1 > 0 { b[m++] = $1 }
    END { k = n - ra(most) < m - rb(least) ? n - ra(most) : m - rb(least); best = -2
      if (k < 300) { print "none 0 0 0 " k * 10 " 0"; exit }
      for (lag = least; lag <= most; lag++) if ((r = corr(ra(lag), rb(lag), k)) > best) { best = r; at = lag }
      for (w = 0; (w + 1) * 100 <= k; w++) { rs[w] = -2
        for (d = c - 5; d <= c + 5; d++) if ((i = ra(at) + d + w * 100) >= 0 && i + 100 <= n && (r = corr(i, rb(at) + w * 100, 100)) > rs[w]) { rs[w] = r; bd = d }
        c = bd
        for (i = w; i > 0 && rs[i - 1] > rs[i]; i--) { t = rs[i]; rs[i] = rs[i - 1]; rs[i - 1] = t } }
      for (i = 0; i < k; i++) { sa += a[ra(at) + i]; sb += b[rb(at) + i] }
      printf "%d %.3f %.3f %.2f %d %d\n", at * 10, w % 2 ? rs[(w - 1) / 2] : (rs[w / 2 - 1] + rs[w / 2]) / 2, rs[0],
        sa / (sb + 1e-30), k * 10, gaps * 10 }' <(rw_envelope "$RW_TMP/$1.raw" -f s16le -ar 44100 -ac 2) <(rw_envelope "$RW_TMP/ref/intro.mp4"))
  rw_log "$1: the render matches from $lag ms into the recording, over $span ms: r $median a second (the worst $worst), level x$level, $gaps ms of gaps"
  awk -v r="$median" -v l="$level" -v g="$gaps" -v s="$span" 'BEGIN { exit !(r > 0.9 && l > 0.5 && l < 2 && g * 10 <= s) }' ||
    rw_check_failed "$1: the music recorded is not the music rendered"
}

# Helpers of the Windows tests: the zip of the Windows build (ZENORA_WINDOWS_BUILD, make windows) unpacked
# and run under wine on the real-window tests' private Xvfb (realwin/lib.sh), in a fresh prefix with HOME in
# the test's temporary folder, its wineserver kept for the run (-p) and ended after (-k); its sound into a
# private PulseAudio's null sink; its boxes read by ZENORA_BOX (box.c, run under the same wine).
RW_TOOLS=(wine wineserver wineboot python3 pulseaudio pactl parec ffmpeg)
source "$(dirname "${BASH_SOURCE[0]}")/../realwin/lib.sh" || exit 1
WIN_BUILD=${ZENORA_WINDOWS_BUILD:?ZENORA_WINDOWS_BUILD must name the Windows build folder}
WIN_ZIP=$(ls "$WIN_BUILD"/ZENOrA_intro-*-win64.zip 2>/dev/null | head -n 1)
[ -n "$WIN_ZIP" ] || rw_fail "no zip in $WIN_BUILD (make windows makes it)"
export HOME=$RW_TMP/home WINEPREFIX=$RW_TMP/prefix XDG_RUNTIME_DIR=$RW_TMP/xdg WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"   # no .NET or Gecko to install, no menus
trap 'timeout 10 wineserver -k 2>/dev/null; rw_cleanup' EXIT

# win_prefix ["KEY|NAME|DWORD"]...: a fresh prefix with these values in its registry, booted without a display
# (no windows of wine's own); once that server has ended, the run's own is started, kept until the end.
win_prefix() {
  local value key name dword
  mkdir -p "$HOME" && install -d -m 700 "$XDG_RUNTIME_DIR" || rw_fail "cannot make the home"
  env -u DISPLAY timeout 120 wineboot -i >"$RW_TMP/wineboot.log" 2>&1 || rw_fail "wineboot failed"
  for value in "$@"; do
    IFS='|' read -r key name dword <<<"$value"
    env -u DISPLAY timeout 60 wine reg add "$key" /v "$name" /t REG_DWORD /d "$dword" /f >>"$RW_TMP/wine.log" 2>&1 ||
      rw_fail "cannot set $key $name"
  done
  timeout 60 wineserver -w || rw_fail "the booting wineserver did not end"
  (exec wineserver -p >"$RW_TMP/wineserver.log" 2>&1) &
  rw_log "a fresh wine prefix${*:+: $*}"
}

# win_pulse: PulseAudio with a null sink "zenora", the default output of every program here.
win_pulse() {
  (exec pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no \
    -L "module-native-protocol-unix auth-anonymous=1" -L "module-null-sink sink_name=zenora" >"$RW_TMP/pulseaudio.log" 2>&1) &
  RW_PIDS+=("$!") WIN_PULSE=$!
  rw_until 10000 eval 'pactl info >/dev/null 2>&1' || rw_fail "PulseAudio did not start"
}

# win_unzip FOLDER: the zip's files in FOLDER (made), which must be exactly the program, its library and its music.
win_unzip() {
  mkdir -p "$1" && python3 -m zipfile -e "$WIN_ZIP" "$1" || rw_fail "cannot unpack $WIN_ZIP"
  [ "$(cd "$1" && LC_ALL=C ls | tr '\n' ' ')" = "LIGHT.S3M ZENOrA_intro.exe bassmod.dll " ] || rw_fail "the zip holds $(ls "$1")"
}

# win_start FOLDER: its ZENOrA_intro.exe under wine, output into intro.log; sets RW_PID.
win_start() {
  (cd "$RW_TMP" && exec wine "$1/ZENOrA_intro.exe" >>"$RW_TMP/intro.log" 2>&1) &
  RW_PID=$! RW_PIDS+=("$!")
  rw_log "started $1/ZENOrA_intro.exe under wine as $RW_PID"
}

# win_box TITLE [S]: waits up to S s (default 15) for a box titled TITLE; its text in WIN_BOX (lines joined by
# "\n"), the middle of its OK button in WIN_OK_X, WIN_OK_Y.
win_box() {
  local out
  out=$(timeout $(( ${2:-15} + 10 )) wine "$ZENORA_BOX" "$1" $(( ${2:-15} * 1000 )) 2>>"$RW_TMP/wine.log" | tr -d '\r') ||
    return 1
  read -r _ WIN_OK_X WIN_OK_Y <<<"$(tail -n 1 <<<"$out")"
  WIN_BOX=$(head -n -1 <<<"$out" | awk '{ printf "%s%s", n++ ? "\\n" : "", $0 }')
}
# win_click_ok: the OK button of the box win_box read, clicked a mouse's way.
win_click_ok() { rw_pointer_to "$WIN_OK_X" "$WIN_OK_Y" && timeout 5 xdotool sleep 0.1 click 1; }

#!/usr/bin/env bash
# make windows-bench: start to first frame under one wine on Xvfb, the zip's ZENOrA_intro.exe (music into a
# PulseAudio null sink) beside a minimal SDL2 window program built the same way, in interleaved rounds after
# one warming run of each; the medians and their ratio (goal: at most 1.3 x).
#   windows_bench.sh NATIVE-BUILD WINDOWS-BUILD [ROUNDS]
export ZENORA_BUILD=$1 ZENORA_WINDOWS_BUILD=$2
rounds=${3:-15}
set --
source "$(dirname "$0")/../../tests/windows/lib.sh"
first_frame=$ZENORA_BUILD/bench/first_frame
[ -x "$first_frame" ] && [ -f "$ZENORA_WINDOWS_BUILD/minimal_window.exe" ] || rw_fail "build first_frame and minimal_window first"
rw_start_xvfb
win_prefix
win_unzip "$RW_TMP/app"
cp "$ZENORA_WINDOWS_BUILD/minimal_window.exe" "$RW_TMP/app/"
win_pulse
# The intro's first frame shows the window's picture at (60, 40); the minimal program's its flat colour.
intro=(":: ZENOrA ::" 60 40 dbe2f1 -- wine "$RW_TMP/app/ZENOrA_intro.exe")
minimal=(":: minimal ::" 60 40 336699 -- wine "$RW_TMP/app/minimal_window.exe")
"$first_frame" "${intro[@]}" >/dev/null && "$first_frame" "${minimal[@]}" >/dev/null || rw_fail "no first frame"
# Each after the last has settled: wine ends a killed program's process in the background.
for _ in $(seq "$rounds"); do
  sleep 0.5 && "$first_frame" "${intro[@]}" >>"$RW_TMP/intro.ms" &&
    sleep 0.5 && "$first_frame" "${minimal[@]}" >>"$RW_TMP/minimal.ms" || rw_fail "no first frame"
done
median() { sort -n "$1" | awk '{ v[n++] = $1 } END { print n % 2 ? v[(n - 1) / 2] : (v[n / 2 - 1] + v[n / 2]) / 2 }'; }
read -r a b < <(echo "$(median "$RW_TMP/intro.ms") $(median "$RW_TMP/minimal.ms")")
echo "start to first frame under wine, medians of $rounds interleaved runs:"
echo "  ZENOrA_intro.exe    $a ms   ($(sort -n "$RW_TMP/intro.ms" | tr '\n' ' '))"
echo "  minimal SDL2 window $b ms   ($(sort -n "$RW_TMP/minimal.ms" | tr '\n' ' '))"
awk -v a="$a" -v b="$b" 'BEGIN { printf "  ratio               %.2f x (goal: at most 1.3 x)\n", a / b }'
rw_finish

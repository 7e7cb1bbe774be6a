#!/usr/bin/env bash
# The capture tool's interface: usage and status 2 on bad arguments; frames and
# states at the times asked for, error boxes on stderr.
set -u
capture=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

for args in "" "--out" "--out $work" "--at 5" "--out $work --at" "--out $work --at 1,x" \
            "--out $work --at -5" "--out $work --at 1,,2" "--out $work --at 5 --bogus 1"; do
  # shellcheck disable=SC2086
  "$capture" $args >"$work/out" 2>"$work/err"
  status=$?
  [ $status -eq 2 ] || fail "'$args' gave status $status"
  grep -q '^usage: ZENOrA_capture --out DIR' "$work/err" || fail "'$args' printed no usage line"
done

"$capture" --out "$work/frames" --at 40,0,20 2>"$work/err" || fail "capture failed: $(cat "$work/err")"
for ms in 0 20 40; do
  [ -s "$work/frames/frame-$ms.png" ] || fail "no frame at $ms"
  [ -s "$work/frames/state-$ms.json" ] || fail "no state at $ms"
  grep -q "\"time_ms\": $ms," "$work/frames/state-$ms.json" || fail "state at $ms has the wrong time"
done
grep -q '"AngleA": 4,' "$work/frames/state-40.json" || fail "two ticks by 40 ms: $(head -3 "$work/frames/state-40.json")"
grep -q '"TimerStars": {"Enabled": true, "Interval": 20}' "$work/frames/state-0.json" || fail "timer state missing"
[ "$(grep -o ',' <<<"$(grep star_Left "$work/frames/state-0.json")" | wc -l)" -eq 43 ] || fail "star_Left is not 43 numbers"

# A relative --out is taken from where the tool was started.
(cd "$work" && "$capture" --out rel/frames --at 20 2>"$work/err") || fail "relative --out failed: $(cat "$work/err")"
[ -s "$work/rel/frames/frame-20.png" ] || fail "relative --out did not land beside the caller"

# A folder without the music: the two boxes, one line each, and the run goes on.
mkdir "$work/folder"
cp "$capture" "$(dirname "$capture")/libbassmod.so" "$work/folder/"
"$work/folder/$(basename "$capture")" --out "$work/nomusic" --at 1000 2>"$work/err" || fail "capture without music failed"
[ "$(grep -c '^Error box: ' "$work/err")" -eq 2 ] || fail "expected two boxes: $(cat "$work/err")"
grep -qx "Error box: Error: Can't Load Music\\\\n\\\\nError Code : 2\\\\nCan't Open the File" "$work/err" || fail "load box: $(cat "$work/err")"
grep -qx "Error box: Error: Can't play music\\\\n\\\\nError Code : 5\\\\nInvalid Handle" "$work/err" || fail "play box: $(cat "$work/err")"
[ -s "$work/nomusic/frame-1000.png" ] || fail "no frame without music"
echo "capture tool: all checks passed"

#!/usr/bin/env bash
# ZENOrA_capture end to end: a two-second GIF holds 100 frames of 320 x 189
# shown 2 centiseconds each, and its frames are the PNG frames captured at the
# same instants (to within the odd colour the GIF palette cannot hold).
# Usage: capture_gif.sh PATH/TO/ZENOrA_capture
set -euo pipefail
capture=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$capture" --out "$work" --at 0,1000,1980 --gif 2 || fail "capture exited with $?"
[ -s "$work/intro.gif" ] || fail "no intro.gif"

pages=$(identify -format '%W %H %T\n' "$work/intro.gif")
count=$(wc -l <<<"$pages")
[ "$count" -eq 100 ] || fail "$count frames, want 100"
[ "$(sort -u <<<"$pages")" = "320 189 2" ] || fail "frame sizes or delays: $(sort -u <<<"$pages" | head -3)"

convert "$work/intro.gif" -coalesce "$work/gif-%d.png"
for pair in 0:0 50:1000 99:1980; do
  index=${pair%%:*} ms=${pair##*:}
  differing=$(compare -metric AE -fuzz 3% "$work/gif-$index.png" "$work/frame-$ms.png" null: 2>&1) || true
  [ "$differing" = 0 ] || fail "GIF frame $index differs from the capture at $ms ms in $differing pixels"
done

# A bad length is refused with the usage line and status 2.
status=0
"$capture" --out "$work" --gif 0 2>"$work/stderr" || status=$?
[ "$status" -eq 2 ] || fail "--gif 0 gave status $status"
grep -q '^usage: ZENOrA_capture' "$work/stderr" || fail "no usage line for --gif 0"
echo "capture GIF: 100 frames, 320x189, 2 cs each, frames match the captures"

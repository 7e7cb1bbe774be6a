#!/usr/bin/env bash
# The capture tool built natively and for WebAssembly (run by Node) must
# capture the same intro: the same pixels in every frame (the PNG files differ:
# libpng natively, miniz in WebAssembly), the same state but for the folder in
# MusicFile, the same GIF byte for byte.
#   usage: capture_exact.sh NATIVE_CAPTURE NODE WASM_CAPTURE.js
set -u
native=$1 node=$2 wasm=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$wasm" ] || fail "no $wasm (make web builds it)"
# Start, the first ticks, the ticker's first texts and fades, a minute, the
# music's restart at 270 s and either side of it, an hour, a virtual day.
at=0,20,40,1000,5330,7000,10000,60000,85000,100000,269980,270000,270020,300000,1000000,3600000,86400000

"$native" --out "$work/native" --at $at --gif 30 2>"$work/err" || fail "native capture: $(tail -3 "$work/err")"
start=$SECONDS
# shellcheck disable=SC2086 # NODE is the command and its flags
$node "$wasm" --out "$work/wasm" --at $at --gif 30 2>"$work/err" || fail "WebAssembly capture: $(tail -3 "$work/err")"
echo "the WebAssembly capture took $((SECONDS - start)) s under Node (a virtual day and a 30 s GIF)"

for ms in ${at//,/ }; do
  differing=$(compare -metric AE "$work/native/frame-$ms.png" "$work/wasm/frame-$ms.png" null: 2>&1)
  [ "$differing" = 0 ] || fail "the frame at $ms ms differs in $differing pixels"
  diff <(sed 's#"MusicFile": ".*/#"MusicFile": "#' "$work/native/state-$ms.json") \
       <(sed 's#"MusicFile": ".*/#"MusicFile": "#' "$work/wasm/state-$ms.json") >"$work/diff" ||
    fail "the state at $ms ms differs (< native, > wasm): $(head -6 "$work/diff")"
done
cmp -s "$work/native/intro.gif" "$work/wasm/intro.gif" || fail "the GIFs differ"
echo "the same frames and states at ${at//,/, } ms, the same 30 s GIF"

#!/usr/bin/env bash
# The logo's maths built for WebAssembly (run by Node) against the native
# build's. Its sines and cosines of 2^20 whole degrees (more than a virtual
# hour's angles) must be the correctly rounded ones, libquadmath's natively:
# Emscripten's own maths library differs from them in the last bit for about
# 3 % of degrees, which the captured frames would show only by rare chance.
# And over a virtual hour (180,000 ticks) each logo pass must hand the line
# operation the coordinates the native program hands it.
#   usage: logo_exact.sh NATIVE_LOGO_SCAN NODE WASM_LOGO_SCAN.js
set -u
native=$1 node=$2 wasm=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$wasm" ] || fail "no $wasm (make web builds it)"

# same SOURCE SCAN...: the native scan with SOURCE's sines and cosines prints
# the lines of the WebAssembly scan with the program's own.
same() {
  local source=$1
  shift
  # shellcheck disable=SC2086 # NODE is the command and its flags
  "$native" "$@" --with "$source" >"$work/native" && $node "$wasm" "$@" >"$work/wasm" || fail "logo_scan $* failed"
  diff "$work/native" "$work/wasm" >"$work/diff" ||
    fail "logo_scan $*: WebAssembly differs from the native scan with $source (< native, > wasm): $(head -4 "$work/diff")"
  echo "logo_scan $*: the same $(wc -l <"$work/native") digests as the native scan with $source"
}
same exact degrees 0 1048576
same logo frames 180000

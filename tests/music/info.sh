#!/usr/bin/env bash
# usage: info.sh OPENMPT123 MODULE
# The module loads cleanly: no warnings, a ScreamTracker 3 file with 4 to 8
# channels, played once through in 240 to 270 s (the program restarts it every 270 s).
set -euo pipefail
player=$1 module=$2
fail() { echo "FAIL: $*" >&2; exit 1; }

[[ -x $player ]] || fail "openmpt123 not found ($player); tools/setup-deps.sh installs it"
[[ -f $module ]] || fail "no module at $module"

out=$("$player" --info "$module" 2>&1) || fail "openmpt123 --info exited with $?: $out"
echo "$out"
field() { sed -n "s/^$1\.*: *//p" <<<"$out"; }

if grep -v '^Filename' <<<"$out" | grep -qiE 'warn|error'; then
  fail "openmpt123 reported a problem"
fi
type=$(field Type)
[[ $type == s3m\ * ]] || fail "type is '$type', expected s3m"
channels=$(field Channels)
[[ $channels =~ ^[0-9]+$ ]] && (( channels >= 4 && channels <= 8 )) \
  || fail "channels '$channels', expected 4 to 8"
duration=$(field Duration)
seconds=$(awk -F: '{ t = 0; for (i = 1; i <= NF; i++) t = t * 60 + $i; print t }' <<<"$duration")
awk -v s="$seconds" 'BEGIN { exit !(s >= 240 && s <= 270) }' \
  || fail "duration $duration ($seconds s), expected 240 to 270 s"
echo "ok: $type, $channels channels, $seconds s"

#!/usr/bin/env bash
# usage: music_check.sh OPENMPT123 PYTHON3 MODULE WORKDIR
# The intro's music in the reference player: an S3M of 4 to 8 channels that loads
# without complaint and lasts 240 to 270 s (the program restarts it every 270 s),
# peaks below -1 dBFS and is clearly audible, and is what tools/make_music.py writes.
set -euo pipefail
player=$1 python=$2 module=$3 work=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
[[ -x $player ]] || fail "openmpt123 not found ($player); tools/setup-deps.sh installs it"
mkdir -p "$work"

info=$("$player" --info "$module" 2>&1) || fail "openmpt123 --info exited with $?: $info"
echo "$info"
field() { sed -n "s/^$1\.*: *//p" <<<"$info"; }
! grep -v '^Filename' <<<"$info" | grep -qiE 'warn|error' || fail "openmpt123 reported a problem"
[[ $(field Type) == s3m\ * ]] || fail "type is '$(field Type)', expected s3m"
(( $(field Channels) >= 4 && $(field Channels) <= 8 )) || fail "$(field Channels) channels, expected 4 to 8"
seconds=$(awk -F: '{ print $1 * 60 + $2 }' <<<"$(field Duration)")
awk -v s="$seconds" 'BEGIN { exit !(s >= 240 && s <= 270) }' || fail "lasts $seconds s, expected 240 to 270 s"

"$player" --batch --stdout --float --samplerate 22050 --channels 2 "$module" 2>/dev/null | od -An -v -f -w4 |
  awk '{ x = $1 < 0 ? -$1 : $1; if (x > m) m = x; s += $1 * $1; n++ }
    END { printf "rendered %d s, peak %.3f, rms %.4f\n", n / 44100, m, sqrt(s / n)
          if (m >= 0.891) { print "FAIL: peak at or above -1 dBFS"; exit 1 }
          if (m < 0.1 || s / n < 0.0001) { print "FAIL: nearly silent"; exit 1 } }' >&2

"$python" "$(dirname "$module")/../tools/make_music.py" "$work/LIGHT.s3m"
cmp "$module" "$work/LIGHT.s3m" || fail "$module differs from a fresh run of tools/make_music.py; rerun it and commit the result"
echo "ok: $(field Type), $(field Channels) channels, $seconds s, identical to a fresh run of the generator"

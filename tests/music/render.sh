#!/usr/bin/env bash
# usage: render.sh OPENMPT123 MODULE RAW_OUT
# Renders the whole module to raw 32-bit float stereo and checks the level:
# the peak stays below -1 dBFS (no clipping, with room for other resamplers)
# and the tune is clearly audible and as long as it should be.
set -euo pipefail
player=$1 module=$2 raw=$3
rate=22050
fail() { echo "FAIL: $*" >&2; exit 1; }

[[ -x $player ]] || fail "openmpt123 not found ($player); tools/setup-deps.sh installs it"
"$player" --batch --stdout --float --samplerate "$rate" --channels 2 "$module" >"$raw" 2>"$raw.log" \
  || fail "openmpt123 could not render $module: $(tail -n 3 "$raw.log")"

read -r frames peak rms < <(od -An -v -f -w4 "$raw" | awk '
  { x = $1 < 0 ? -$1 : $1; if (x > m) m = x; s += $1 * $1; n++ }
  END { printf "%d %.6f %.6f\n", n / 2, m, (n ? sqrt(s / n) : 0) }')
seconds=$(( frames / rate ))
echo "rendered $seconds s, peak $peak, rms $rms"
awk -v p="$peak" -v r="$rms" -v s="$seconds" 'BEGIN {
  if (p >= 0.891) { print "FAIL: peak " p " is at or above -1 dBFS"; exit 1 }
  if (p < 0.1 || r < 0.01) { print "FAIL: nearly silent (peak " p ", rms " r ")"; exit 1 }
  if (s < 240) { print "FAIL: only " s " s rendered"; exit 1 }
  printf "ok: peak %.2f dBFS, rms %.1f dBFS\n", 20 * log(p) / log(10), 20 * log(r) / log(10) }' >&2
rm -f "$raw"

#!/usr/bin/env bash
# Figures of the capture tool, printed and never judged: CPU seconds per second
# of intro for a GIF and for a video, and each GIF's size beside what
# gifsicle -O3 makes of the same file (goal: within 1.25 x).
# usage: capture_bench [--day]   (--day also times --at 86400000, a virtual day)
set -euo pipefail
tool=@ZENORA_CAPTURE@
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
TIMEFORMAT='%R %U %S'

# measure NAME SECONDS_OF_INTRO ARGS...: runs the tool and prints its times.
measure() {
  local name=$1 seconds=$2
  shift 2
  { time "$tool" --out "$work/$name" "$@" 2>/dev/null; } 2>"$work/time"
  read -r wall user sys <"$work/time"
  awk -v n="$name" -v a="$*" -v w="$wall" -v c="$user" -v k="$sys" -v s="$seconds" \
    'BEGIN { c += k; printf "%-8s %-22s %7.2f s wall %7.2f s CPU  %.3f s CPU per s of intro\n", n, a, w, c, c / s }'
}

for seconds in 10 60; do
  measure gif$seconds $seconds --gif $seconds
  gif=$work/gif$seconds/intro.gif
  gifsicle -O3 "$gif" -o "$work/o3.gif" 2>/dev/null
  awk -v a="$(stat -c %s "$gif")" -v b="$(stat -c %s "$work/o3.gif")" \
    'BEGIN { printf "         GIF %d bytes, gifsicle -O3 of it %d bytes: %.3f x (goal 1.25 x or less)\n", a, b, a / b }'
done
for seconds in 10 60; do
  measure video$seconds $seconds --video $seconds
  echo "         MP4 $(stat -c %s "$work/video$seconds/intro.mp4") bytes"
done
measure video1x 60 --video 60 --scale 1
if [ "${1:-}" = --day ]; then measure day 86400 --at 86400000; fi

#!/usr/bin/env bash
# ZENOrA_capture end to end. usage: capture_test.sh TOOL frames|files|disk|video
# frames: bad arguments, frames and states, the GIF against them, signals.
# files: links and FIFOs in the folder, closed stdout and stderr, two captures
#   side by side, video modules it must refuse.
# disk: a full disk (a small tmpfs; skipped with 77 where mounting is not allowed).
# video: the MP4's streams and picture, its music against openmpt123's, the restart.
set -u
capture=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
run() { "$capture" "$@" 2>"$work/err" || fail "capture $* gave $?: $(tail -3 "$work/err")"; }
# Every file of the folder under a final name is whole: each PNG, GIF and
# video decodes without a complaint, each JSON parses; no temporary file is
# left unless a capture is still running there (whole DIR running).
whole() {
  local f
  for f in "$1"/*.png; do [ -e "$f" ] || continue; convert -regard-warnings "$f" null: 2>/dev/null || fail "$f broken"; done
  for f in "$1"/*.gif "$1"/*.mp4; do
    [ -e "$f" ] || continue
    [ -z "$(ffmpeg -v error -i "$f" -f null - 2>&1)" ] || fail "$f: $(ffmpeg -v error -i "$f" -f null - 2>&1 | head -3)"
  done
  python3 -c 'import json, sys; [json.load(open(f)) for f in sys.argv[1:]]' "$1"/*.json 2>/dev/null ||
    [ -z "$(find "$1" -name '*.json')" ] || fail "a state in $1 does not parse"
  [ "${2:-}" = running ] || [ -z "$(find "$1" -name '*.part')" ] || fail "left in $1: $(find "$1" -name '*.part')"
}

if [ "$2" = frames ]; then
  for args in "" "--out" "--out $work" "--at 5" "--out $work --at" "--out $work --at 1,x" "--out $work --at -5" \
              "--out $work --at 1,,2" "--out $work --at 5 --bogus 1" "--out $work --at 86400001" \
              "--out $work --at 9000000000000" "--out $work --gif 0" "--out $work --gif 601" "--out $work --gif 2.5" \
              "--out $work --gif 2 --gif 3" "--out $work --video 1 --scale 9" "--out $work --at 5 --scale 2"; do
    # shellcheck disable=SC2086
    "$capture" $args >/dev/null 2>"$work/err"; status=$?
    [ $status -eq 2 ] || fail "'$args' gave status $status"
    grep -q '^usage: ZENOrA_capture --out DIR' "$work/err" || fail "'$args' printed no usage line"
  done

  run --out "$work/f" --at 1000,0,20,40,1980 --gif 2
  for ms in 0 20 40; do
    grep -q "\"time_ms\": $ms," "$work/f/state-$ms.json" || fail "no state, or the wrong time, at $ms"
  done
  grep -q '"AngleA": 4,' "$work/f/state-40.json" || fail "two ticks by 40 ms: $(head -3 "$work/f/state-40.json")"
  # The GIF: 100 frames of 2 cs; each decodes to the frame captured at its
  # instant, but for the odd colour that the 256 of the palette cannot hold.
  [ "$(identify -format '%W %H %T\n' "$work/f/intro.gif" | sort | uniq -c | xargs)" = "100 320 189 2" ] ||
    fail "GIF frames: $(identify -format '%W %H %T\n' "$work/f/intro.gif" | sort | uniq -c)"
  convert "$work/f/intro.gif" -coalesce "$work/gif-%d.png"
  for pair in 0:0 1:20 2:40 50:1000 99:1980; do
    index=${pair%%:*} ms=${pair##*:}
    differing=$(compare -metric AE -fuzz 3% "$work/gif-$index.png" "$work/f/frame-$ms.png" null: 2>&1)
    [ "$differing" = 0 ] || fail "GIF frame $index differs from the capture at $ms ms in $differing pixels"
  done

  # A relative --out is taken from where the tool was started.
  (cd "$work" && run --out rel --at 20) && [ -s "$work/rel/frame-20.png" ] || fail "relative --out went elsewhere"

  # A signal ends a long capture at once with 128 + its number, keeping the
  # finished frames and no unfinished GIF. SIGHUP comes from a closed
  # terminal, whose output is gone: its stderr is a pipe nobody reads.
  for pair in INT:130 TERM:143 HUP:129; do
    out=$work/${pair%%:*}
    if [ "${pair%%:*}" = HUP ]; then
      "$capture" --out "$out" --at 0,20,86400000 --gif 600 2> >(:) & pid=$!
    else
      "$capture" --out "$out" --at 0,20,86400000 --gif 600 2>/dev/null & pid=$!
    fi
    for _ in $(seq 200); do [ -s "$out/state-20.json" ] && break; sleep 0.1; done
    sleep 0.2
    kill -s "${pair%%:*}" $pid
    for _ in $(seq 10); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
    kill -0 $pid 2>/dev/null && { kill -9 $pid; fail "still running a second after SIG${pair%%:*}"; }
    wait $pid; status=$?
    [ $status -eq "${pair##*:}" ] || fail "SIG${pair%%:*} gave status $status"
    identify "$out/frame-20.png" >/dev/null && grep -q '}}$' "$out/state-20.json" || fail "frame at 20 ms damaged"
    [ "$(ls "$out")" = "$(printf 'frame-0.png\nframe-20.png\nstate-0.json\nstate-20.json')" ] || fail "left: $(ls "$out")"
  done

  echo "capture tool: arguments, frames, GIF and signals as expected"
  exit 0
fi

if [ "$2" = files ]; then
  # Links and FIFOs under the names the capture writes, the temporary ones
  # included: what the links point to stays as it was, the results are
  # regular files in the folder, and nothing waits on a FIFO.
  out=$work/links
  mkdir -p "$out" "$work/elsewhere"
  for name in intro.gif.part intro.mp4.part frame-0.png state-0.json intro.gif intro.mp4; do
    echo kept >"$work/elsewhere/$name"
    ln -s "$work/elsewhere/$name" "$out/$name"
  done
  mkfifo "$out/frame-20.png" "$out/state-20.json"
  timeout 120 "$capture" --out "$out" --at 0,20 --gif 1 --video 1 2>"$work/err" ||
    fail "with links and FIFOs: status $?: $(tail -3 "$work/err")"
  [ "$(cat "$work"/elsewhere/* | sort -u)" = kept ] || fail "a link was written through"
  for name in frame-0.png state-0.json frame-20.png state-20.json intro.gif intro.mp4; do
    [ -f "$out/$name" ] && [ ! -L "$out/$name" ] || fail "$name is not a regular file of its own"
  done
  rm "$out"/*.part
  whole "$out"

  # Closed stdout and stderr: the progress lines (the capture takes more than
  # two seconds) go nowhere, and never into the GIF or the video.
  sh -c 'exec "$0" --out "$1" --at 0,7000 --gif 20 --video 20 >&- 2>&-' "$capture" "$work/closed" ||
    fail "with stdout and stderr closed: status $?"
  [ "$(identify -format '%W %H\n' "$work/closed/intro.gif" | sort | uniq -c | xargs)" = "1000 320 189" ] ||
    fail "GIF frames with stdout and stderr closed"
  whole "$work/closed"

  # Two captures into one folder: each result is whole when it takes its
  # name, the later one wins it.
  out=$work/side
  "$capture" --out "$out" --at 0,20 --gif 60 2>/dev/null & pid=$!
  for _ in $(seq 100); do compgen -G "$out/intro.gif.*.part" >/dev/null && break; sleep 0.1; done
  run --out "$out" --at 0,40 --gif 5
  [ "$(identify "$out/intro.gif" | wc -l)" = 250 ] || fail "the short capture's GIF is not its own"
  whole "$out" running
  wait $pid || fail "the long capture beside another gave $?"
  [ "$(identify "$out/intro.gif" | wc -l)" = 3000 ] || fail "the long capture's GIF is not its own"
  whole "$out"

  # A video module cut short or built for another machine is refused with a
  # line that says so, never a signal, and leaves nothing behind.
  tool=$work/tool
  mkdir "$tool"
  cp "$capture" "$(dirname "$capture")"/{libbassmod.so,LIGHT.S3M} "$tool/"
  module=$(dirname "$capture")/libzenora_video.so
  for bad in "cut short" "built for another machine"; do
    if [ "$bad" = "cut short" ]; then
      head -c 20000 "$module" >"$tool/libzenora_video.so"
    else
      cp "$module" "$tool/" && printf '\267' | dd of="$tool/libzenora_video.so" bs=1 seek=18 conv=notrunc 2>/dev/null
    fi
    "$tool/ZENOrA_capture" --out "$work/m" --gif 1 --video 1 2>"$work/err"; status=$?
    [ $status = 1 ] && grep -q "^ZENOrA_capture: cannot load the video encoder $tool/libzenora_video.so: $bad$" \
      "$work/err" || fail "a module $bad: status $status, $(cat "$work/err")"
    [ -z "$(ls "$work/m")" ] || fail "a module $bad left $(ls "$work/m")"
  done

  echo "capture files: links, closed streams, captures side by side and bad video modules as expected"
  exit 0
fi

if [ "$2" = disk ]; then
  full=$work/full
  mkdir "$full"
  mount -t tmpfs -o size=512k tmpfs "$full" 2>/dev/null ||
    { echo "SKIP: cannot mount a small tmpfs here (mounting needs root)"; exit 77; }
  trap 'umount "$full"; rm -rf "$work"' EXIT
  # Frames and states until the disk is full: status 1, one line naming the
  # file and the reason, and the files written before stay whole.
  "$capture" --out "$full" --at "$(seq -s, 0 20 2000)" 2>"$work/err"; status=$?
  [ $status = 1 ] && [ "$(wc -l <"$work/err")" = 1 ] &&
    grep -Eq "^ZENOrA_capture: cannot write $full/(frame|state)-[0-9]+\.(png|json): No space left on device$" \
      "$work/err" || fail "disk full at --at: status $status, $(cat "$work/err")"
  [ -s "$full/state-0.json" ] || fail "no frame kept before the disk was full"
  whole "$full"
  # A GIF and a video that do not fit: nothing under their names.
  for movie in "--gif 20" "--video 10"; do
    rm -f "$full"/*
    # shellcheck disable=SC2086
    "$capture" --out "$full" $movie 2>"$work/err"; status=$?
    [ $status = 1 ] && grep -q "cannot write $full/intro\.[gifmp4]*: No space left on device" "$work/err" ||
      fail "disk full at $movie: status $status, $(cat "$work/err")"
    [ -z "$(ls "$full")" ] || fail "disk full at $movie left $(ls "$full")"
  done
  echo "capture on a full disk: status 1, the file named, nothing broken kept"
  exit 0
fi

# Loudness of FILE from FROM for SECONDS s in 10 ms steps (dB, one a line).
envelope() {
  ffmpeg -v error -ss "$2" -t "$3" -i "$1" -af "pan=mono|c0=0.5*c0+0.5*c1,asetnsamples=n=441:p=0,astats=metadata=1:\
reset=1,ametadata=mode=print:key=lavfi.astats.Overall.RMS_level:file=-" -f null - | sed -n 's/.*RMS_level=//p'
}
# The lag in ms (within 100) at which two envelopes agree best, and how well.
best_lag() {
  awk 'function lin(db) { return db ~ /inf/ ? 0 : exp(db / 20 * log(10)) }
    FNR == NR { a[n++] = lin($1); next } { b[m++] = lin($1) }
    END { best = -2; for (lag = -10; lag <= 10; lag++) { sa = sb = saa = sbb = sab = k = 0
            for (i = 10; i < n - 10 && i + lag < m; i++) {
              x = a[i]; y = b[i + lag]; sa += x; sb += y; saa += x * x; sbb += y * y; sab += x * y; k++ }
            r = (sab - sa * sb / k) / sqrt((saa - sa * sa / k) * (sbb - sb * sb / k) + 1e-30)
            if (r > best) { best = r; at = lag } }
          printf "%d %.3f\n", at * 10, best }' <(envelope "$1" "$2" "$4") <(envelope "$3" 0 "$4")
}
# FILE from FROM s follows the rendering over SECONDS s: best at lag 0 (20 ms either way), and closely.
in_step() {
  read -r lag r < <(best_lag "$1" "$2" "$work/LIGHT.S3M.wav" "$3")
  [ "${lag#-}" -le 20 ] && awk -v r="$r" 'BEGIN { exit !(r > 0.9) }' || fail "$4: best at $lag ms (r $r)"
}

cp "$(dirname "$capture")/LIGHT.S3M" "$work/" &&
  openmpt123 --render --quiet --samplerate 44100 --stereo 200 --end-time 11 "$work/LIGHT.S3M" >/dev/null ||
  fail "openmpt123 could not render the music"
run --out "$work/v" --video 10 --at 7000
streams=$(ffprobe -v error -show_entries stream=codec_name,r_frame_rate,nb_frames,sample_rate,channels -of csv=p=0 \
  "$work/v/intro.mp4")
[ "$(head -1 <<<"$streams")" = "h264,50/1,500" ] && [[ $(tail -n +2 <<<"$streams") == aac,44100,2,* ]] ||
  fail "streams: $streams"
ffmpeg -v error -i "$work/v/intro.mp4" -vf "select=eq(n\,350),scale=320:189:flags=neighbor" -frames:v 1 "$work/350.png"
error=$(compare -metric MAE "$work/350.png" "$work/v/frame-7000.png" null: 2>&1 | sed 's/.*(\(.*\))/\1/')
awk -v e="$error" 'BEGIN { exit !(e < 8 / 255) }' || fail "frame 350 is off the capture at 7000 ms by $error"
in_step "$work/v/intro.mp4" 0 10 "the music"

# The music ends at 254.5 s; at 270 s the form restarts it, on the sample.
run --out "$work/r" --video 271 --scale 1
[ "$(envelope "$work/r/intro.mp4" 262 7.9 | sort -u)" = -inf ] || fail "not silent before the restart"
in_step "$work/r/intro.mp4" 270 1 "the restart at 270 s"
echo "capture video: streams, picture and music as expected"

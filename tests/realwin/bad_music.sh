#!/usr/bin/env bash
# Bad music files never crash or hang the program: each gives the two boxes
# ("Can't Load Music", then "Can't play music") and the intro runs on. Run
# through ZENOrA_capture, which draws the intro headless and writes each box
# to stderr; music_boxes.sh takes some of them through the real window.
source "$(dirname "$0")/lib.sh"

app=$(rw_copy_folder app)
[ -x "$app/ZENOrA_capture" ] || rw_fail "no ZENOrA_capture in $RW_BUILD"
real=$RW_BUILD/LIGHT.S3M

not_found="Error Code : 2\\nCan't Open the File"
bad_format="Error Code : 6\\nUnsupported Format"

# try NAME EXPECTED-LOAD-TEXT|any: LIGHT.S3M in $app as prepared by the caller.
try() {
  local name=$1 load=$2 out=$RW_TMP/out-$1 status start took boxes
  start=$(date +%s%N)
  timeout 30 env SDL_AUDIODRIVER=dummy "$app/ZENOrA_capture" --out "$out" --at 0,2000 >"$RW_TMP/$name.log" 2>&1
  status=$?
  took=$(( ($(date +%s%N) - start) / 1000000 ))
  if [ "$status" = 124 ]; then
    rw_check_failed "$name: still running after 30 s"
    return
  fi
  if [ "$status" != 0 ]; then
    rw_check_failed "$name: ended with status $status (a crash is 128 and more): $(head -c 600 "$RW_TMP/$name.log")"
    return
  fi
  boxes=$(grep '^Error box:' "$RW_TMP/$name.log")
  if [ "$load" = any ]; then
    # A file cut in its patterns may still load: then no box at all.
    [ -z "$boxes" ] || [ "$(grep -c "Can't Load Music\|Can't play music" <<<"$boxes")" = 2 ] ||
      rw_check_failed "$name: boxes neither none nor the pair: $boxes"
  elif [ "$boxes" != "Error box: Error: Can't Load Music\\n\\n$load
Error box: Error: Can't play music\\n\\nError Code : 5\\nInvalid Handle" ]; then
    rw_check_failed "$name: boxes were
$boxes
expected 'Can't Load Music' with '$load', then 'Can't play music' with code 5"
  fi
  # The intro ran on: two seconds of stars and logo went by.
  if ! [ -s "$out/frame-2000.png" ] || ! [ -s "$out/state-2000.json" ]; then
    rw_check_failed "$name: no frame at 2000 ms"
  elif [ "$(rw_diff_inside "$out/frame-0.png" "$out/frame-2000.png" 320 189 0 0)" = 0 ]; then
    rw_check_failed "$name: nothing moved in two seconds"
  elif ! grep -q '"TimerStars": {"Enabled": true, "Interval": 20}' "$out/state-2000.json"; then
    rw_check_failed "$name: the animation timer stopped: $(grep TimerStars "$out/state-2000.json")"
  else
    rw_log "$name: $(grep -c '^Error box:' <<<"$boxes") boxes, ran on, $took ms"
  fi
  rm -rf "$out"
}

music=$app/LIGHT.S3M
rm -f "$music"
try missing "$not_found"

: >"$music"
try empty "$bad_format"

head -c 64 "$real" >"$music"
try cut-in-header "$bad_format"

head -c "$(( $(stat -c %s "$real") / 2 ))" "$real" >"$music"
try cut-in-half any

head -c 65536 /dev/urandom >"$music"
try random-bytes "$bad_format"

# Junk behind a valid-looking start.
{ head -c 48 "$real"; head -c 65536 /dev/urandom; } >"$music"
try header-then-junk any

cp "$real" "$music" && truncate -s 40G "$music"  # larger than any module, however valid it starts
try huge-40GB "Error Code : 1\\nMemory Error"
rm -f "$music"

mkdir "$music"
try folder "$not_found"
rmdir "$music"

mkfifo "$music"   # nobody writes to it: opening it for reading would wait forever
try fifo "$not_found"
rm -f "$music"

ln -s "$RW_TMP/nowhere/LIGHT.S3M" "$music"
try dangling-link "$not_found"
rm -f "$music"

rw_finish

#!/usr/bin/env bash
# Bad music files never crash or hang the program: each gives the two boxes
# ("Can't Load Music", then "Can't play music") and the intro runs on. Run
# through ZENOrA_capture, which draws the intro headless and writes each box
# to stderr; boxes.sh takes some of them through the real window.
source "$(dirname "$0")/lib.sh"

app=$(rw_copy_folder app)
real=$RW_BUILD/LIGHT.S3M
music=$app/LIGHT.S3M
not_found="Error Code : 2\\nCan't Open the File"
bad_format="Error Code : 6\\nUnsupported Format"

# try NAME LOAD-TEXT|any: with LIGHT.S3M as the caller left it, the capture
# tool ends well after two seconds of intro (stars and logo moved, the
# animation timer on) with the two boxes, or none where a cut file may load.
try() {
  local out=$RW_TMP/out-$1 boxes pair="Error box: Error: Can't Load Music\\n\\n$2
Error box: Error: Can't play music\\n\\nError Code : 5\\nInvalid Handle"
  timeout 30 env SDL_AUDIODRIVER=dummy "$app/ZENOrA_capture" --out "$out" --at 0,2000 >"$RW_TMP/$1.log" 2>&1 ||
    { rw_check_failed "$1: status $? (124: still running after 30 s; a crash is 128 and more)"; return; }
  boxes=$(grep '^Error box:' "$RW_TMP/$1.log")
  [ "$boxes" = "$pair" ] || { [ "$2" = any ] && { [ -z "$boxes" ] || [ "$(grep -c "Can't Load Music\|Can't play music" <<<"$boxes")" = 2 ]; }; } ||
    rw_check_failed "$1: the boxes were: $boxes"
  [ "$(rw_diff_inside "$out/frame-0.png" "$out/frame-2000.png" 320 189 0 0)" -gt 0 ] 2>/dev/null &&
    grep -q '"TimerStars": {"Enabled": true, "Interval": 20}' "$out/state-2000.json" || rw_check_failed "$1: the intro did not run on"
  rw_log "$1: $(grep -c '^Error box:' <<<"$boxes") boxes, ran on"
  rm -rf "$out" "$music"
}

rm -f "$music" && try missing "$not_found"
: >"$music" && try empty "$bad_format"
head -c 64 "$real" >"$music" && try cut-in-header "$bad_format"
head -c "$(( $(stat -c %s "$real") / 2 ))" "$real" >"$music" && try cut-in-half any
head -c 65536 /dev/urandom >"$music" && try random-bytes "$bad_format"
{ head -c 48 "$real"; head -c 65536 /dev/urandom; } >"$music" && try header-then-junk any
cp "$real" "$music" && truncate -s 40G "$music" && try huge-40GB "Error Code : 1\\nMemory Error"  # valid start, larger than any module
mkdir "$music" && try folder "$not_found"
mkfifo "$music" && try fifo "$not_found"   # nobody writes to it: opening it to read would wait forever
ln -s "$RW_TMP/nowhere/LIGHT.S3M" "$music" && try dangling-link "$not_found"
rw_finish

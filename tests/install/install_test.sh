#!/usr/bin/env bash
# Installs into a temporary prefix and checks what a user gets: the program
# folder, the launcher, the desktop entry and the icons; then starts the
# installed program through a symbolic link to its launcher, from an unrelated
# folder, on an X server of its own with SDL's disk audio, and checks that the
# window appears, the music is heard and no error box opens.
# Usage: install_test.sh BUILD_DIR
set -uo pipefail
build=$1
title=':: ZENOrA ::'
for tool in Xvfb xdotool identify; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/zenora-install.XXXXXX")
pids=()
xvfb_pid=""
cleanup() {
  local pid
  for pid in "${pids[@]}" $xvfb_pid; do
    kill -TERM "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; [ -s "$work/intro.log" ] && sed 's/^/  | /' "$work/intro.log"; exit 1; }

# --- the files -------------------------------------------------------------
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for f in lib/zenora-intro/ZENOrA_intro lib/zenora-intro/libbassmod.so lib/zenora-intro/LIGHT.S3M \
         bin/zenora-intro share/applications/org.example.zenora_intro.desktop; do
  [ -s "$prefix/$f" ] || fail "$f was not installed"
done
[ -x "$prefix/bin/zenora-intro" ] || fail "the launcher is not executable"
[ -x "$prefix/lib/zenora-intro/ZENOrA_intro" ] || fail "the program is not executable"
cmp -s "$prefix/lib/zenora-intro/LIGHT.S3M" "$build/LIGHT.S3M" || fail "the installed music differs from the built one"
for size in 16 32 48; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/zenora-intro.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || fail "icon $icon is not ${size}x${size}"
done
entry="$prefix/share/applications/org.example.zenora_intro.desktop"
grep -qx 'Exec=zenora-intro' "$entry" || fail "the desktop entry does not start the launcher"
grep -qx 'Icon=zenora-intro' "$entry" || fail "the desktop entry does not name the installed icon"
if command -v desktop-file-validate >/dev/null 2>&1; then
  desktop-file-validate "$entry" || fail "the desktop entry is not valid"
fi

# --- the installed program, through a link, from elsewhere ------------------
mkdir -p "$work/links" "$work/elsewhere"
ln -s "$prefix/bin/zenora-intro" "$work/links/zi"

Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$work/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(head -1 "$work/display")"

audio="$work/audio.raw"
(cd "$work/elsewhere" && SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$audio" exec "$work/links/zi") >"$work/intro.log" 2>&1 &
pids+=($!)
intro=$!

window=""
for _ in $(seq 100); do
  window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -1)
  [ -n "$window" ] && break
  kill -0 "$intro" 2>/dev/null || fail "the program ended before its window appeared"
  sleep 0.1
done
[ -n "$window" ] || fail "no window titled '$title' within 10 s"
geometry=$(xdotool getwindowgeometry "$window" | awk '/Geometry/ {print $2}')
[ "$geometry" = "320x189" ] || fail "window is $geometry, want 320x189"

sleep 2
kill -0 "$intro" 2>/dev/null || fail "the program ended while running"
boxes=$(xdotool search --name '^(Error|ZENOrA_intro)$' 2>/dev/null)
[ -z "$boxes" ] || fail "an error box is open: $(for w in $boxes; do xdotool getwindowname "$w"; done)"
[ -s "$audio" ] || fail "no audio was written"
loud=$(tr -d '\000' <"$audio" | wc -c)
[ "$loud" -gt 10000 ] || fail "the audio is silent ($loud non-zero bytes of $(stat -c %s "$audio"))"

echo "install: files in place; installed program runs through a link from elsewhere: window $geometry, audio $loud non-zero bytes, no error box"

#!/usr/bin/env bash
# What a user gets, checked the same way for both kinds of install:
#   install_test.sh prefix        `cmake --install` into a temporary prefix; the program is
#                                 started through a symbolic link to its launcher
#   install_test.sh deb VERSION   the Debian package, checked with lintian, installed with
#                                 apt-get on this machine (root only), started as `zenora-intro`
#                                 from PATH, then purged: nothing of it may be left
# Files: program folder, launcher, desktop entry named by the AppStream id (appstreamcli
# validates the metainfo), icons, manual page, copyright. Then the program runs from an
# unrelated folder on its own Xvfb with SDL's disk audio: window, music, no error box.
source "$(dirname "$0")/../realwin/lib.sh"
mode=$1
root=$RW_TMP/prefix
installed=""
# apt is shared with whoever else installs on this machine: through its lock.
apt_get() {
  flock /tmp/apt.lock env DEBIAN_FRONTEND=noninteractive apt-get -y -o DPkg::Lock::Timeout=300 "$@" >>"$RW_TMP/apt.log" 2>&1
}
remove_package() { [ -z "$installed" ] || apt_get purge zenora-intro; }
trap 'remove_package; rw_cleanup' EXIT
for tool in appstreamcli desktop-file-validate identify; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed (tools/setup-deps.sh installs it)"; exit 77; }
done

if [ "$mode" = deb ]; then
  [ "$(id -u)" = 0 ] || { echo "SKIP: installing the package on this machine needs root"; exit 77; }
  deb=$RW_BUILD/zenora-intro_${2}_$(dpkg --print-architecture).deb
  [ -s "$deb" ] || rw_fail "$deb was not built"
  lintian --fail-on error,warning "$deb" >"$RW_TMP/lintian.log" 2>&1 || rw_fail "lintian finds faults in the package"
  depends=$(dpkg-deb --field "$deb" Depends)
  [[ $depends == *libsdl2-2.0-0* && $depends == *libopenmpt0* ]] || rw_fail "Depends lacks SDL2 or libopenmpt: $depends"
  ! grep -Eiq 'gif|libav|libsw|gtest|gmock|benchmark' <<<"$depends" || rw_fail "Depends names a library the intro does not use: $depends"
  # One package session at a time on this machine, and never over a user's own install.
  exec 9>/tmp/zenora-intro-package-test.lock
  flock -w 600 9 || rw_fail "another package test holds the machine"
  ! dpkg-query -W zenora-intro >/dev/null 2>&1 || { echo "SKIP: zenora-intro is installed already: not touching it"; exit 77; }
  installed=yes
  apt_get install "$deb" || rw_fail "apt-get cannot install the package"
  root=/usr
else
  cmake --install "$RW_BUILD" --prefix "$root" >"$RW_TMP/install.log" 2>&1 || rw_fail "cmake --install failed"
fi

# --- the files ---------------------------------------------------------------
if [ "$mode" = deb ]; then dpkg-query -L zenora-intro; else find "$root"; fi >"$RW_TMP/files"
id=$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' $(grep '/share/metainfo/..*' "$RW_TMP/files") </dev/null)
for f in lib/zenora-intro/ZENOrA_intro lib/zenora-intro/libbassmod.so lib/zenora-intro/LIGHT.S3M bin/zenora-intro \
         share/applications/"$id".desktop share/metainfo/"$id".metainfo.xml share/man/man6/zenora-intro.6.gz \
         share/doc/zenora-intro/copyright; do
  [ -s "$root/$f" ] || rw_fail "$f was not installed (metainfo id '$id')"
done
[ -x "$root/bin/zenora-intro" ] && [ -x "$root/lib/zenora-intro/ZENOrA_intro" ] || rw_fail "launcher or program not executable"
cmp -s "$root/lib/zenora-intro/LIGHT.S3M" "$RW_BUILD/LIGHT.S3M" || rw_fail "the installed music differs from the built one"
for size in 16 32 48; do
  icon="$root/share/icons/hicolor/${size}x${size}/apps/zenora-intro.png"
  [ "$(identify -format '%wx%h' "$icon" 2>/dev/null)" = "${size}x${size}" ] || rw_fail "icon $icon is not ${size}x${size}"
done
entry="$root/share/applications/$id.desktop"
grep -qx 'Exec=zenora-intro' "$entry" && grep -qx 'Icon=zenora-intro' "$entry" || rw_fail "the entry's Exec or Icon is wrong"
desktop-file-validate "$entry" || rw_fail "the desktop entry is not valid"
appstreamcli validate --no-net "$root/share/metainfo/$id.metainfo.xml" >"$RW_TMP/appstream.log" 2>&1 ||
  rw_fail "appstreamcli refuses the metainfo"

# --- the installed program, from elsewhere ------------------------------------
mkdir -p "$RW_TMP/elsewhere"
start=zenora-intro
[ "$mode" = deb ] || { ln -s "$root/bin/zenora-intro" "$RW_TMP/zi" && start=$RW_TMP/zi; }
rw_start_xvfb
RW_CWD=$RW_TMP/elsewhere rw_start_program "$start"
RW_WIN=$(rw_wait_window "$RW_TITLE") || rw_fail "no window titled '$RW_TITLE' within 10 s"
geometry=$(xdotool getwindowgeometry "$RW_WIN" | awk '/Geometry/ {print $2}')
[ "$geometry" = 320x189 ] || rw_fail "window is $geometry, want 320x189"
sleep 2
kill -0 "$RW_PID" 2>/dev/null || rw_fail "the program ended while running"
[ -z "$(rw_windows_titled Error)$(rw_windows_titled ZENOrA_intro)" ] || rw_fail "an error box is open"
loud=$(tr -d '\000' <"$RW_TMP/audio.raw" | wc -c)
[ "$loud" -gt 10000 ] || rw_fail "the audio is silent ($loud non-zero bytes)"

if [ "$mode" = deb ]; then
  kill -KILL "$RW_PID" && wait "$RW_PID" 2>/dev/null
  apt_get purge zenora-intro || rw_fail "apt-get cannot remove the package"
  installed=""
  left=$(grep zenora "$RW_TMP/files" | while read -r f; do [ -e "$f" ] && echo "$f"; done)
  [ -z "$left" ] && ! dpkg-query -W zenora-intro >/dev/null 2>&1 || rw_fail "left after purge: $left"
fi
echo "install ($mode): files in place, metainfo valid; window $geometry, audio $loud non-zero bytes, no error box"

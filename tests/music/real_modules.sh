#!/usr/bin/env bash
# usage: real_modules.sh CAPTURE WORKDIR
# Real music: every .s3m module of three Debian game packages (fetched with
# apt-get download and unpacked with dpkg -x, never installed; kept in WORKDIR)
# put in the place of LIGHT.S3M loads without a box and is heard in the
# capture tool's video, decoded by the program's own library as it plays it.
set -uo pipefail
capture=$1 cache=$2/debs packages=(vectoroids monsterz-data bb)
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$cache" && cd "$cache" || fail "no folder $cache"
fetch() { apt-get download -q ${EUID/#0/-o APT::Sandbox::User=root} "${packages[@]}" >/dev/null; }
if ! compgen -G "bb_*.deb" >/dev/null; then
  fetch || { [ "$EUID" = 0 ] && apt-get update -qq && fetch; } ||
    fail "apt-get download ${packages[*]} did not work: this test needs the Debian archive"
fi
rm -rf root && for deb in *.deb; do dpkg -x "$deb" root; done
mapfile -t modules < <(find root -type f -iname '*.s3m' | sort)
(( ${#modules[@]} >= 3 )) || fail "only ${#modules[@]} modules in ${packages[*]}"
app=$PWD/app && rm -rf "$app" && mkdir -p "$app" && cp "$(dirname "$capture")"/{ZENOrA_capture,libbassmod.so,libzenora_video.so} "$app/"
for module in "${modules[@]}"; do
  cp "$module" "$app/LIGHT.S3M" && rm -rf out
  "$app/ZENOrA_capture" --out out --video 4 --scale 1 >log 2>&1 || fail "$module: status $?: $(head -c 300 log)"
  ! grep -q '^Error box' log || fail "$module: $(grep '^Error box' log)"
  peak=$(ffmpeg -nostdin -i out/intro.mp4 -af volumedetect -f null - 2>&1 | sed -n 's/.*max_volume: \(-*[0-9]*\).*/\1/p')
  [ -n "$peak" ] && (( peak > -50 )) || fail "$module: silent (peak ${peak:-?} dB)"
  echo "$module: peak $peak dB"
done

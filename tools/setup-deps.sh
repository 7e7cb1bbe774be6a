#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing.
# Runs apt-get update once, and only when something has to be installed.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl2-dev libsdl2-image-dev libx11-dev libwayland-dev libopenmpt-dev openmpt123 libgif-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev ffmpeg gifsicle
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xdotool x11-apps x11-utils x11-xserver-utils imagemagick xfonts-base desktop-file-utils openbox sway
  dpkg-dev file lintian appstream
  clang libclang-rt-14-dev valgrind clang-format clang-tidy
  pulseaudio pulseaudio-utils pipewire pipewire-bin pipewire-pulse wireplumber dbus-daemon
  emscripten chromium npm
  weston libwayland-bin python3 jq
  libxi-dev libxtst-dev fluxbox wmctrl cage grim
)

missing=()
for p in "${packages[@]}"; do
  # A Node.js from elsewhere (NodeSource's) brings its own npm and refuses Debian's.
  [ "$p" = npm ] && command -v npm >/dev/null && continue
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup-deps: missing packages (${missing[*]}); run as root or install sudo" >&2
  exit 1
fi

echo "setup-deps: installing ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"

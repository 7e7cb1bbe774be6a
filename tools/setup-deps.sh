#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only those missing,
# on Debian 12 (bookworm), without recommended packages: what a package merely
# recommends never comes, so every package whose programs are started is listed.
# Runs apt-get update once, and only when something has to be installed.
#
#   setup-deps.sh              installs what is missing
#   setup-deps.sh --packages   prints the packages, one a line
#   setup-deps.sh --programs   prints the programs started, one a line
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
  emscripten chromium npm firefox-esr
  weston libwayland-bin python3 jq
  libxi-dev libxtst-dev fluxbox wmctrl cage grim xwayland
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64
)

# Every program the build, the tests, the benchmarks and make deb, web and
# windows start, and the programs those start in turn (cage and sway start
# Xwayland, Xvfb starts xkbcomp, emcc starts clang-14 and wasm-opt). A test
# (tests/tools) checks that each comes from a package above, from what those
# depend on, or from Debian's essential set: a new tool goes here.
programs=(
  cmake ctest cpack make cc c++ pkg-config python3 pgrep setpriv flock mount timeout
  clang clang++ clang-format clang-tidy valgrind
  Xvfb xkbcomp Xwayland xdotool xwininfo xprop xlsfonts xrdb openbox fluxbox wmctrl
  sway swaymsg cage weston grim wayland-scanner jq
  convert compare import identify file
  pulseaudio pactl parec pipewire pipewire-pulse wireplumber pw-record dbus-daemon
  openmpt123 ffmpeg ffprobe gifsicle
  dpkg-deb dpkg-shlibdeps dpkg-source dpkg-parsechangelog lintian appstreamcli desktop-file-validate
  emcc em++ emar emcmake emconfigure emmake clang-14 wasm-ld-14 llvm-ar-14 wasm-opt node npm chromium firefox-esr
  x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres
  x86_64-w64-mingw32-objdump x86_64-w64-mingw32-strip wine wineserver wineboot
)

case "${1:-}" in
  --packages) printf '%s\n' "${packages[@]}"; exit 0 ;;
  --programs) printf '%s\n' "${programs[@]}"; exit 0 ;;
  "") ;;
  *) echo "usage: $0 [--packages | --programs]" >&2; exit 2 ;;
esac

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

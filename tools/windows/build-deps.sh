#!/usr/bin/env bash
# Builds the libraries the Windows build links, as static libraries for
# 64-bit Windows, from Debian's own source packages and with Debian's
# mingw-w64 (the posix threading model, which has std::thread and std::mutex):
#   SDL2 (libsdl2: the window, events and audio through WASAPI), SDL2_image
#   (libsdl2-image: BMP, GIF and ICO through its bundled stb), libopenmpt
#   (libopenmpt: the module formats only).
#
# Usage: build-deps.sh PREFIX        (make windows-deps: build-windows-deps)
# Leaves PREFIX/include, PREFIX/lib (static libraries and pkg-config files)
# and PREFIX/toolchain.cmake, the CMake toolchain for anything built against
# them. The sources, apt's own lists and the build trees go to PREFIX-work/;
# fetching and building each once is tools/deps/common.sh's.
#
# Measured on 2 idle cores: SDL2 about 3 min, SDL2_image half a minute,
# libopenmpt about 6 min.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
work="$prefix-work"
jobs=${JOBS:-2}
log_name=windows-deps
host=x86_64-w64-mingw32

for tool in $host-gcc-posix $host-g++-posix $host-windres cmake make apt-get dpkg-source; do
  command -v "$tool" >/dev/null || {
    echo "windows-deps: $tool not found (make deps installs what the Windows build needs)" >&2
    exit 1
  }
done

cflags="-O2"
compiler="$($host-g++-posix --version | head -n 1)"
# shellcheck source=../deps/common.sh
source "$(dirname "$0")/../deps/common.sh"

# The toolchain every CMake build against these libraries uses: ours below, and
# the program's Windows build.
cat >"$prefix/toolchain.cmake.new" <<EOF
# Written by tools/windows/build-deps.sh: 64-bit Windows through Debian's
# mingw-w64 (posix threads), with the libraries of $prefix.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $host-gcc-posix)
set(CMAKE_CXX_COMPILER $host-g++-posix)
set(CMAKE_RC_COMPILER $host-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$host "$prefix")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
list(PREPEND CMAKE_PREFIX_PATH "$prefix")
set(ENV{PKG_CONFIG_LIBDIR} "$prefix/lib/pkgconfig")
EOF
mv "$prefix/toolchain.cmake.new" "$prefix/toolchain.cmake"

# The program draws its window in memory and presents it through GDI, and
# plays through WASAPI: of SDL it needs the video (Windows), events, audio,
# threads and timers, and nothing of the renderers, GPU APIs, input devices
# or the rest.
sdl2_options=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON -DSDL_STATIC_PIC=ON
  -DSDL_RENDER=OFF -DSDL_OPENGL=OFF -DSDL_OPENGLES=OFF -DSDL_VULKAN=OFF -DSDL_DIRECTX=OFF -DSDL_RENDER_D3D=OFF
  -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_SENSOR=OFF -DSDL_POWER=OFF -DSDL_LOCALE=OFF
  -DSDL_MISC=OFF)
build_sdl2() {
  fetch_source libsdl2
  cmake_build sdl2 "$tree" "${sdl2_options[@]}"
}

# Only the formats the program reads (BMP with ICO, GIF), through stb_image
# inside the source.
sdl2_image_options=(-DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF -DSDL2IMAGE_DEPS_SHARED=OFF
  -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_BACKEND_WIC=OFF
  -DSDL2IMAGE_BMP=ON -DSDL2IMAGE_GIF=ON -DSDL2IMAGE_PNG=OFF -DSDL2IMAGE_PNG_SAVE=OFF
  -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_LBM=OFF -DSDL2IMAGE_PCX=OFF
  -DSDL2IMAGE_PNM=OFF -DSDL2IMAGE_QOI=OFF -DSDL2IMAGE_SVG=OFF -DSDL2IMAGE_TGA=OFF -DSDL2IMAGE_TIF=OFF
  -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_XCF=OFF -DSDL2IMAGE_XPM=OFF -DSDL2IMAGE_XV=OFF)
build_sdl2_image() {
  fetch_source libsdl2-image
  cmake_build sdl2_image "$tree" "${sdl2_image_options[@]}"
  write_sdl2_image_pc
}

# The module formats only, as for the web: no codecs for samples in other
# files, no player, no examples, tests or documentation.
openmpt_options=(--host=$host --disable-shared --enable-static
  --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-portaudio
  --without-portaudiocpp --without-sndfile --without-flac --without-pulseaudio --without-zlib
  --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc)
build_openmpt() {
  local build="$work/build/libopenmpt"
  fetch_source libopenmpt
  rm -rf "$build" && mkdir -p "$build"
  (cd "$build" && CC=$host-gcc-posix CXX=$host-g++-posix CFLAGS="$cflags" CXXFLAGS="$cflags" \
    "$tree/configure" --prefix="$prefix" "${openmpt_options[@]}" >"$build.log" 2>&1 &&
    make -j "$jobs" >>"$build.log" 2>&1 && make install >>"$build.log" 2>&1) || {
    echo "windows-deps: libopenmpt failed; see $build.log" >&2
    exit 1
  }
}

start=$SECONDS
build_once sdl2 build_sdl2 "${sdl2_options[@]}"
build_once sdl2_image build_sdl2_image "${sdl2_image_options[@]}" "$(cat "$work/stamps/sdl2")"
build_once libopenmpt build_openmpt "${openmpt_options[@]}"
echo "windows-deps: $prefix ready ($((SECONDS - start)) s)"

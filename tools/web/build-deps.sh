#!/usr/bin/env bash
# Builds the libraries the browser build links, as static WebAssembly libraries,
# from Debian's own source packages and with Debian's emscripten:
#   SDL2 (libsdl2), SDL2_image (libsdl2-image: BMP, GIF, ICO and PNG in, PNG out
#   through its bundled miniz, so no zlib or libpng), libopenmpt (libopenmpt),
#   giflib (giflib: the capture tool's GIF writer).
#
# Usage: build-deps.sh PREFIX        (make web-deps: build-web-deps)
# Leaves PREFIX/include, PREFIX/lib (static libraries, pkg-config and CMake
# files) and PREFIX/toolchain.cmake, the CMake toolchain for anything built
# against them. The sources, apt's own lists and the build trees go to
# PREFIX-work/; fetching and building each once is tools/deps/common.sh's.
#
# Measured on 2 cores shared with other builds (load about 4): fetch 2 s,
# SDL2 333 s, SDL2_image 5 s, libopenmpt 272 s, giflib 3 s; 7 min of CPU in
# all, about 4 min on 2 idle cores. More in docs/web-build.md.
#
# Everything this machine's Emscripten needs that plain emcc does not do by
# itself is here and in the toolchain this script writes, each with its reason:
#  - NODE_PATH: emcc's JS optimiser (any link at -O1 and above) requires acorn,
#    which Debian installs under /usr/share/nodejs, where a Node that is not
#    Debian's own does not look.
#  - node --no-experimental-fetch: Emscripten 3.1.6's output prefers fetch()
#    when it exists, and Node 18+ has one that cannot read file paths, so the
#    .wasm beside the .js fails to load under Node without the flag.
#  - -fexceptions at every compile and link: Emscripten catches C++ exceptions
#    only when asked, and libopenmpt reports a damaged module by throwing inside.
#  - Ports (-sUSE_SDL=2 and the like) are never used: they download at build
#    time. That is why these libraries are built here.
#  - Emscripten's own page output (-o page.html) fails in its HTML minifier:
#    link to .js and ship a page of our own.
set -euo pipefail

if [ $# -ne 1 ]; then
  echo "usage: $0 PREFIX" >&2
  exit 2
fi
mkdir -p "$1"
prefix=$(cd "$1" && pwd)
work="$prefix-work"
jobs=${JOBS:-2}
log_name=build-deps

for tool in emcc em++ emcmake emconfigure emmake cmake make apt-get dpkg-source node; do
  command -v "$tool" >/dev/null || {
    echo "build-deps: $tool not found (make deps installs what the web build needs)" >&2
    exit 1
  }
done

export NODE_PATH=/usr/share/nodejs
node_run=("$(command -v node)" --no-experimental-fetch)
cflags="-O2 -fexceptions"
compiler="emscripten $(emcc -dumpversion)"
# shellcheck source=../deps/common.sh
source "$(dirname "$0")/../deps/common.sh"

# The toolchain every CMake build against these libraries uses: ours below, and
# the program's web build.
cat >"$prefix/toolchain.cmake.new" <<EOF
# Written by tools/web/build-deps.sh: Emscripten as Debian ships it, with the
# libraries of $prefix.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)
list(PREPEND CMAKE_FIND_ROOT_PATH "$prefix")
list(PREPEND CMAKE_PREFIX_PATH "$prefix")
set(ENV{PKG_CONFIG_LIBDIR} "$prefix/lib/pkgconfig")
set(CMAKE_C_FLAGS_INIT "-fexceptions")
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions")
# emcc's JS optimiser finds Debian's acorn only through NODE_PATH.
set(CMAKE_C_LINKER_LAUNCHER env NODE_PATH=$NODE_PATH)
set(CMAKE_CXX_LINKER_LAUNCHER env NODE_PATH=$NODE_PATH)
# Tests run the linked .js under this Node, which must not use its fetch().
set(CMAKE_CROSSCOMPILING_EMULATOR ${node_run[*]} CACHE STRING "" FORCE)
EOF
mv "$prefix/toolchain.cmake.new" "$prefix/toolchain.cmake"

# The page draws its window itself and reads the pointer itself: of SDL it
# needs the audio (Web Audio), surfaces and file access for SDL_image, and
# nothing of the video, input devices or the rest, whose JavaScript (WebGL
# above all) would be most of the page's script.
sdl2_options=(-DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL2_DISABLE_SDL2MAIN=ON
  -DSDL_VIDEO=OFF -DSDL_RENDER=OFF -DSDL_JOYSTICK=OFF -DSDL_HAPTIC=OFF -DSDL_HIDAPI=OFF -DSDL_POWER=OFF
  -DSDL_SENSOR=OFF -DSDL_LOCALE=OFF -DSDL_MISC=OFF -DSDL_FILESYSTEM=OFF)
build_sdl2() {
  fetch_source libsdl2
  cmake_build sdl2 "$tree" "${sdl2_options[@]}"
}

# Only the formats the program reads (BMP with ICO, GIF) and PNG for the
# capture tool's frames: loaded through stb_image and saved through miniz,
# both inside the source, so no zlib or libpng.
sdl2_image_options=(-DSDL2IMAGE_SAMPLES=OFF -DSDL2IMAGE_TESTS=OFF -DSDL2IMAGE_DEPS_SHARED=OFF
  -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_BACKEND_STB=ON
  -DSDL2IMAGE_BMP=ON -DSDL2IMAGE_GIF=ON -DSDL2IMAGE_PNG=ON -DSDL2IMAGE_PNG_SAVE=ON
  -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JPG=OFF -DSDL2IMAGE_JXL=OFF -DSDL2IMAGE_LBM=OFF -DSDL2IMAGE_PCX=OFF
  -DSDL2IMAGE_PNM=OFF -DSDL2IMAGE_QOI=OFF -DSDL2IMAGE_SVG=OFF -DSDL2IMAGE_TGA=OFF -DSDL2IMAGE_TIF=OFF
  -DSDL2IMAGE_WEBP=OFF -DSDL2IMAGE_XCF=OFF -DSDL2IMAGE_XPM=OFF -DSDL2IMAGE_XV=OFF)
build_sdl2_image() {
  fetch_source libsdl2-image
  cmake_build sdl2_image "$tree" "${sdl2_image_options[@]}"
  write_sdl2_image_pc
}

# The module formats only: no codecs for samples in other files, no player, no
# examples, tests or documentation. configure wants a cross host to accept emcc.
openmpt_options=(--host=i686-pc-linux-gnu --disable-shared --enable-static
  --without-mpg123 --without-ogg --without-vorbis --without-vorbisfile --without-portaudio
  --without-portaudiocpp --without-sndfile --without-flac --without-pulseaudio --without-zlib
  --disable-openmpt123 --disable-examples --disable-tests --disable-doxygen-doc)
# The module player is most of the page's bytes: built for size, which costs
# nothing audible (a module's mixing is a small part of a core either way).
openmpt_cflags="-Os -fexceptions"
build_openmpt() {
  local build="$work/build/libopenmpt"
  fetch_source libopenmpt
  rm -rf "$build" && mkdir -p "$build"
  (cd "$build" && CFLAGS="$openmpt_cflags" CXXFLAGS="$openmpt_cflags" LDFLAGS="-fexceptions" \
    emconfigure "$tree/configure" --prefix="$prefix" "${openmpt_options[@]}" >"$build.log" 2>&1 &&
    emmake make -j "$jobs" >>"$build.log" 2>&1 && emmake make install >>"$build.log" 2>&1) || {
    echo "build-deps: libopenmpt failed; see $build.log" >&2
    exit 1
  }
}

# The library alone (no tools), with its own makefile: emcc as its compiler.
giflib_make=(CC=emcc AR=emar "OFLAGS=$cflags" libgif.a)
build_giflib() {
  local build="$work/build/giflib"
  fetch_source giflib
  rm -rf "$build" && cp -a "$tree" "$build" && mkdir -p "$prefix/include" "$prefix/lib"
  (emmake make -C "$build" -j "$jobs" "${giflib_make[@]}" >"$build.log" 2>&1 &&
    install -m 644 "$build/gif_lib.h" "$prefix/include/" && install -m 644 "$build/libgif.a" "$prefix/lib/") || {
    echo "build-deps: giflib failed; see $build.log" >&2
    exit 1
  }
}

start=$SECONDS
build_once sdl2 build_sdl2 "${sdl2_options[@]}"
build_once sdl2_image build_sdl2_image "${sdl2_image_options[@]}" "$(cat "$work/stamps/sdl2")"
build_once libopenmpt build_openmpt "$openmpt_cflags" "${openmpt_options[@]}"
build_once giflib build_giflib "${giflib_make[@]}"
echo "build-deps: $prefix ready ($((SECONDS - start)) s)"

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
# PREFIX-work/. A library whose stamp matches its recipe is not built again, and
# nothing is fetched then, so a second run is instant and needs no network.
#
# The sources come through a deb-src entry made from the machine's own Debian
# entry, handed to apt with options for these commands only: the machine's apt
# sources, lists and cache stay as they are.
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

for tool in emcc em++ emcmake emconfigure emmake cmake make apt-get dpkg-source node; do
  command -v "$tool" >/dev/null || {
    echo "build-deps: $tool not found (make deps installs what the web build needs)" >&2
    exit 1
  }
done

export NODE_PATH=/usr/share/nodejs
node_run=("$(command -v node)" --no-experimental-fetch)
cflags="-O2 -fexceptions"
emscripten_version=$(emcc -dumpversion)

mkdir -p "$work"/{apt/lists/partial,apt/cache/archives/partial,src,build,stamps} "$prefix"

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

# A stamp holds everything that decides a library's build: its recipe (this
# script's lines for it), the compiler and the flags.
recipe() { printf '%s\n' "emscripten $emscripten_version" "$cflags" "$@"; }
is_built() { [ -f "$work/stamps/$1" ] && [ "$(cat "$work/stamps/$1")" = "$2" ]; }
mark_built() { printf '%s\n' "$2" >"$work/stamps/$1"; }

# apt with a source list of its own: deb-src stanzas made from the machine's
# Debian deb stanzas (deb822), or from its one-line deb entries.
apt_options=()
prepare_apt() {
  [ ${#apt_options[@]} -eq 0 ] || return 0
  local list="$work/apt/sources.list.d" out
  rm -rf "$list" && mkdir -p "$list"
  out="$list/debian-src.sources"
  : >"$out"
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk -v RS= -v ORS='\n\n' '/(^|\n)Types:[^\n]*deb([ \t]|\n|$)/ && /URIs:[^\n]*debian/ {
      sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$f" >>"$out"
  done
  if [ ! -s "$out" ]; then
    out="$list/debian-src.list"
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
      awk '$1 == "deb" && /debian/ { $1 = "deb-src"; print }' >"$out" || true
  fi
  if [ ! -s "$out" ]; then
    echo "build-deps: no Debian entry in the machine's apt sources to take the source packages from" >&2
    exit 1
  fi
  apt_options=(-o "Dir::Etc::SourceList=$out" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -qq)
  # As root apt downloads as _apt, who may not write into our folders.
  [ "$(id -u)" -ne 0 ] || apt_options+=(-o APT::Sandbox::User=root)
  echo "build-deps: apt-get update (deb-src, own lists)"
  apt-get "${apt_options[@]}" update
}

# Fetches and unpacks a source package (Debian's patches applied) once; sets
# tree to its folder.
tree=
fetch_source() {
  local package=$1
  tree=$(find "$work/src/$package" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -n 1) || true
  if [ -z "$tree" ]; then
    prepare_apt
    # Unpacked beside its final name, so an interrupted fetch is never reused.
    rm -rf "$work/src/$package" "$work/src/$package.part" && mkdir -p "$work/src/$package.part"
    (cd "$work/src/$package.part" && apt-get "${apt_options[@]}" source "$package")
    mv "$work/src/$package.part" "$work/src/$package"
    tree=$(find "$work/src/$package" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  echo "build-deps: $package $(dpkg-parsechangelog -l "$tree/debian/changelog" -S Version)"
}

cmake_build() {
  local name=$1 tree=$2 build="$work/build/$1"
  shift 2
  rm -rf "$build"
  {
    cmake -S "$tree" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$prefix/toolchain.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@" &&
      cmake --build "$build" -j "$jobs" && cmake --install "$build"
  } >"$build.log" 2>&1 || {
    echo "build-deps: $name failed; see $build.log" >&2
    exit 1
  }
}

timed() {
  local start=$SECONDS
  "$@"
  echo "build-deps: $2 built in $((SECONDS - start)) s"
}

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
  # Its CMake writes a pkg-config file only for a shared library; the
  # program's build finds every library through pkg-config.
  local version
  version=$(dpkg-parsechangelog -l "$tree/debian/changelog" -S Version | sed 's/[+-].*//')
  cat >"$prefix/lib/pkgconfig/SDL2_image.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SDL2_image
Description: image loading library for Simple DirectMedia Layer
Version: $version
Requires: sdl2
Libs: -L\${libdir} -lSDL2_image
Cflags: -I\${includedir}/SDL2
EOF
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

build_once() {
  local name=$1 builder=$2 stamp
  shift 2
  stamp=$(recipe "$@" "$(declare -f "$builder")")
  if is_built "$name" "$stamp"; then
    echo "build-deps: $name already built"
    return
  fi
  rm -f "$work/stamps/$name"
  timed "$builder" "$name"
  mark_built "$name" "$stamp"
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

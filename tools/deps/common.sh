# What tools/web/build-deps.sh and tools/windows/build-deps.sh share: the
# libraries built from Debian's own source packages for another platform,
# each once. Sourced after setting
#   prefix    where the libraries go (PREFIX/include, PREFIX/lib)
#   work      where the sources, apt's own lists and the build trees go
#   jobs      parallel jobs
#   compiler  the compiler's name and version, for the stamps
#   cflags    the compile flags, for the stamps
#   log_name  the script's name in its lines
#
# The sources come through a deb-src entry made from the machine's own Debian
# entry, handed to apt with options for these commands only: the machine's apt
# sources, lists and cache stay as they are. A library whose stamp matches its
# recipe is not built again, and nothing is fetched then, so a second run is
# instant and needs no network.

mkdir -p "$work"/{apt/lists/partial,apt/cache/archives/partial,src,build,stamps} "$prefix"

say() { echo "$log_name: $*"; }

# A stamp holds everything that decides a library's build: its recipe (the
# script's lines for it), the compiler and the flags.
recipe() { printf '%s\n' "$compiler" "$cflags" "$@"; }
is_built() { [ -f "$work/stamps/$1" ] && [ "$(cat "$work/stamps/$1")" = "$2" ]; }
mark_built() { printf '%s\n' "$2" >"$work/stamps/$1"; }

# apt with a source list of its own: deb-src stanzas made from the machine's
# Debian deb stanzas (deb822), or from its one-line deb entries.
apt_options=()
prepare_apt() {
  [ ${#apt_options[@]} -eq 0 ] || return 0
  local list="$work/apt/sources.list.d" out f
  rm -rf "$list" && mkdir -p "$list"
  out="$list/debian-src.sources"
  : >"$out"
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
    say "no Debian entry in the machine's apt sources to take the source packages from" >&2
    exit 1
  fi
  apt_options=(-o "Dir::Etc::SourceList=$out" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$work/apt/lists" -o "Dir::Cache=$work/apt/cache" -qq)
  # As root apt downloads as _apt, who may not write into our folders.
  [ "$(id -u)" -ne 0 ] || apt_options+=(-o APT::Sandbox::User=root)
  say "apt-get update (deb-src, own lists)"
  apt-get "${apt_options[@]}" update
}

# Fetches and unpacks a source package (Debian's patches applied) once; sets
# tree to its folder.
tree=
fetch_source() {
  local package=$1 sources="$work/src"
  tree=$(find "$sources/$package" -mindepth 1 -maxdepth 1 -type d 2>/dev/null | head -n 1) || true
  if [ -z "$tree" ]; then
    prepare_apt
    # Unpacked beside its final name, so an interrupted fetch is never reused.
    rm -rf "$sources/$package" "$sources/$package.part.$$" && mkdir -p "$sources/$package.part.$$"
    (cd "$sources/$package.part.$$" && apt-get "${apt_options[@]}" source "$package")
    mv "$sources/$package.part.$$" "$sources/$package"
    tree=$(find "$sources/$package" -mindepth 1 -maxdepth 1 -type d | head -n 1)
  fi
  say "$package $(dpkg-parsechangelog -l "$tree/debian/changelog" -S Version)"
}

# cmake_build NAME TREE [OPTIONS...]: configured with PREFIX/toolchain.cmake,
# built and installed into PREFIX; its output in a log beside the build.
cmake_build() {
  local name=$1 source=$2 build="$work/build/$1"
  shift 2
  rm -rf "$build"
  {
    cmake -S "$source" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$prefix/toolchain.cmake" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$cflags" -DCMAKE_CXX_FLAGS_RELEASE="$cflags" \
      -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_INSTALL_LIBDIR=lib -DBUILD_SHARED_LIBS=OFF "$@" &&
      cmake --build "$build" -j "$jobs" && cmake --install "$build"
  } >"$build.log" 2>&1 || {
    say "$name failed; see $build.log" >&2
    exit 1
  }
}

# build_once NAME BUILDER [RECIPE...]: runs BUILDER unless NAME's stamp shows
# the same recipe built already.
build_once() {
  local name=$1 builder=$2 stamp start=$SECONDS
  shift 2
  stamp=$(recipe "$@" "$(declare -f "$builder")")
  if is_built "$name" "$stamp"; then
    say "$name already built"
    return
  fi
  rm -f "$work/stamps/$name"
  "$builder" "$name"
  mark_built "$name" "$stamp"
  say "$name built in $((SECONDS - start)) s"
}

# SDL2_image's CMake writes a pkg-config file only for a shared library; the
# program's build finds every library through pkg-config.
write_sdl2_image_pc() {
  local version
  version=$(dpkg-parsechangelog -l "$tree/debian/changelog" -S Version | sed 's/[+-].*//')
  cat >"$prefix/lib/pkgconfig/SDL2_image.pc" <<PC
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: SDL2_image
Description: image loading library for Simple DirectMedia Layer
Version: $version
Requires: sdl2
Libs: -L\${libdir} -lSDL2_image
Cflags: -I\${includedir}/SDL2
PC
}

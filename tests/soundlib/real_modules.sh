#!/usr/bin/env bash
# Real music: the .s3m modules shipped in three Debian game packages must load
# and play through libbassmod. The packages are fetched with apt-get download
# and unpacked with dpkg -x (never installed); the download is kept in the
# build folder so later runs do not fetch again.
#   real_modules.sh BUILD_DIR CHECKER
set -euo pipefail

build=$1
checker=$2
cache=$build/test-data/debs
packages=(vectoroids monsterz-data bb)
mkdir -p "$cache"

missing=()
for package in "${packages[@]}"; do
  compgen -G "$cache/${package}_*.deb" >/dev/null || missing+=("$package")
done

fetch() {
  local options=()
  # As root, apt drops to its own user for downloads, who cannot write here.
  [ "$(id -u)" -eq 0 ] && options=(-o APT::Sandbox::User=root)
  (cd "$cache" && apt-get download -q "${options[@]}" "${missing[@]}")
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "real-modules: fetching ${missing[*]}"
  if ! fetch; then
    # A machine that never ran apt-get update knows no packages yet.
    if [ "$(id -u)" -eq 0 ]; then
      apt-get update -qq || true
    fi
    if ! fetch; then
      echo "real-modules: FAILED: 'apt-get download ${missing[*]}' did not work." >&2
      echo "real-modules: this test needs network access to the Debian archive (or the .deb files in $cache)." >&2
      exit 1
    fi
  fi
fi

root=$cache/root
rm -rf "$root"
mkdir -p "$root"
for package in "${packages[@]}"; do
  debs=("$cache/${package}"_*.deb)
  dpkg -x "${debs[-1]}" "$root/$package"
  if ! find "$root/$package" -type f -iname '*.s3m' | grep -q .; then
    echo "real-modules: FAILED: package $package holds no .s3m file" >&2
    exit 1
  fi
done

mapfile -d '' modules < <(find "$root" -type f -iname '*.s3m' -print0 | sort -z)
echo "real-modules: checking ${#modules[@]} modules"
exec "$checker" "${modules[@]}"

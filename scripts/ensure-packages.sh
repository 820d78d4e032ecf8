#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# Usage: scripts/ensure-packages.sh build|test|demo|package|bench|fuzz
set -euo pipefail

need=(cmake g++ make pkgconf googletest libgtest-dev libbenchmark-dev libx11-dev libxft-dev
      g++-mingw-w64-x86-64 wine64)
case "${1:-build}" in
  # The sanitized tests and the fuzz targets build with clang and its sanitizer runtimes.
  test) need+=(sox timgm6mb-soundfont fluidsynth dpf-plugins-vst libsndfile1-dev sndfile-programs alsa-utils xvfb fonts-dejavu-core imagemagick
               clang libclang-rt-14-dev) ;;
  demo) need+=(sox) ;;
  package) need+=(zip) ;;
  # The peers of `make bench-peers`, and the timer of `make bench`'s resident sizes.
  bench) need+=(time csound fluidsynth timgm6mb-soundfont) ;;
  fuzz) need+=(clang libclang-rt-14-dev) ;;
esac

missing=()
for package in "${need[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  echo "Missing Debian packages: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null

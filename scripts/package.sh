#!/usr/bin/env bash
# Release packages in dist/: Tessarine-VERSION-win64.zip (Tessarine.dll, tessarine.exe, the
# examples, a text on where to copy what) and Tessarine-VERSION-linux-x86_64.tar.gz
# (Tessarine.so, tessarine, the examples, the same text for Linux). VERSION is the release's
# version from src/common/Version.h.
set -euo pipefail
cd "$(dirname "$0")/.."
version=$(sed -n 's/^inline constexpr const char kVersion\[\] = "\(.*\)";$/\1/p' src/common/Version.h)
[ -n "$version" ] || { echo "no version in src/common/Version.h" >&2; exit 1; }
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir -p dist

# The examples: instrument files, their MIDI files and samples.
copy_examples() {
  mkdir -p "$1/examples"
  cp examples/*.txt examples/*.mid "$1/examples/"
  cp -r examples/samples "$1/examples/"
}

windows="Tessarine-$version-win64"
mkdir -p "$stage/$windows"
cp build/windows/Tessarine.dll build/windows/tessarine.exe "$stage/$windows/"
copy_examples "$stage/$windows"
# Windows editors want CR LF line ends in the text.
sed "s/@VERSION@/$version/; s/\$/\r/" packaging/README-windows.txt > "$stage/$windows/README.txt"
rm -f "dist/$windows.zip"
(cd "$stage" && zip -qr9 - "$windows") > "dist/$windows.zip"

linux="Tessarine-$version-linux-x86_64"
mkdir -p "$stage/$linux"
cp build/linux/Tessarine.so build/linux/tessarine "$stage/$linux/"
strip --strip-debug "$stage/$linux/Tessarine.so" "$stage/$linux/tessarine"
copy_examples "$stage/$linux"
sed "s/@VERSION@/$version/" packaging/README-linux.txt > "$stage/$linux/README.txt"
tar -C "$stage" -czf "dist/$linux.tar.gz" --owner=0 --group=0 "$linux"

ls -l "dist/$windows.zip" "dist/$linux.tar.gz"

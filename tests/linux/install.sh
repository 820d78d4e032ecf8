#!/usr/bin/env bash
# Installs the Linux build into temporary folders as `make install` does ($VST_DIR for the
# plug-in, $PREFIX/bin for the tool) and checks that the installed tool loads the installed
# plug-in, named and by default, and renders through it.
# Usage: install.sh BUILD_LINUX_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TESSARINE_HOME="$work/home" VST_DIR="$work/vst" PREFIX="$work/prefix"
failures=0 passes=0
pass() { echo "ok: $1"; passes=$((passes + 1)); }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

out=$(bash "$source/scripts/install.sh" "$build" 2>&1)
[ $? -eq 0 ] && [ -x "$VST_DIR/Tessarine.so" ] && [ -x "$PREFIX/bin/tessarine" ] \
  && pass "the plug-in and the tool are installed" || fail "install: $out"
version=$("$PREFIX/bin/tessarine" --version)
[ "$version" = "$("$build/tessarine" --version)" ] && grep -qE '^tessarine [0-9]+\.[0-9]+\.[0-9]+$' <<<"$version" \
  && pass "the installed tool reports the version ($version)" || fail "version: $version"
number=$(sed -E 's/^tessarine ([0-9]+)\.([0-9]+)\.([0-9]+)$/\1 \2 \3/' <<<"$version" | awk '{ print $1 * 1000 + $2 * 100 + $3 }')
for how in named default; do
  if [ $how = named ]; then info=$("$PREFIX/bin/tessarine" info "$VST_DIR/Tessarine.so" 2>&1)
  else info=$(cd "$work" && "$PREFIX/bin/tessarine" info 2>&1); fi
  grep -q "^Effect name: Tessarine$" <<<"$info" && grep -q "^Vendor version: $number$" <<<"$info" \
    && pass "the installed tool loads the installed plug-in ($how)" || fail "info ($how): $info"
done
render=$(cd "$work" && "$PREFIX/bin/tessarine" render --instrument "$source/examples/first-tone.txt" --seconds 1 -o out.wav 2>&1)
[ $? -eq 0 ] && [ -s "$work/out.wav" ] && pass "the installed tool renders through the installed plug-in" \
  || fail "render: $render"
# A second install replaces the first.
out=$(bash "$source/scripts/install.sh" "$build" 2>&1)
[ $? -eq 0 ] && pass "installing again works" || fail "second install: $out"
missing=$(VST_DIR="$work/vst2" bash "$source/scripts/install.sh" "$work/nothing" 2>&1)
[ $? -ne 0 ] && grep -q "missing" <<<"$missing" && [ ! -e "$work/vst2" ] \
  && pass "an install without a build says so and writes nothing" || fail "install without a build: $missing"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

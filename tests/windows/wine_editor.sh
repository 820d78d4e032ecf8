#!/usr/bin/env bash
# Opens the Windows build's editor under wine on a virtual X display (xvfb-run) through
# `tessarine.exe edit`, operates it with window messages from a script and checks what the
# plug-in then does: host values, captions, keyswitch and temperament choices heard as pitch,
# Reload, a cancelled and a completed file dialog, a second editor and the window class.
# Usage: wine_editor.sh BUILD_WINDOWS_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
command -v xvfb-run >/dev/null || { echo "FAIL: xvfb-run is not installed (Debian package xvfb)"; exit 1; }
# The wine prefix the other Windows test uses.
source "$(dirname "$0")/wine_prefix.sh"
# The script and the checks the Linux editor test runs too.
source "$source/tests/editor/editor_checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Tessarine.dll" "$build/tessarine.exe" "$work/"
cp "$source/tests/data/editor/"*.txt "$source/examples/samples/tone.wav" "$work/"
mkdir -p "$work/home"
export TESSARINE_HOME="Z:${work//\//\\}\\home"

editor_script > "$work/script.txt"

run() { (cd "$work" && timeout 120 xvfb-run -a -s "-screen 0 1600x1200x24" "$wine" tessarine.exe "$@" 2>&1 | tr -d '\r'); }
out=$(run edit Tessarine.dll --instrument controls.txt --script script.txt)
status=$?
info=$(cd "$work" && "$wine" tessarine.exe info Tessarine.dll 2>&1 | tr -d '\r')

[ "$status" -eq 0 ] && pass "the script ran to its end" || fail "tessarine edit exited with $status"
grep -qE "Has editor: yes" <<<"$info" && pass "the Windows build has an editor" || fail "Has editor is not yes"
editor_checks
classes=$(grep -E '^class TessarineWindowClass' <<<"$out" | tr '\n' '|')
[ "$classes" = "class TessarineWindowClass: registered|class TessarineWindowClass: registered|class TessarineWindowClass: not registered|" ] \
  && pass "the window class stays while one editor is open and goes with the last" \
  || fail "window class states: $classes"

[ "$failures" -gt 0 ] && { echo "---- output of tessarine edit ----"; echo "$out"; }

# The SF2 bulk import through the Win32 view, with Debian's General MIDI bank.
cp /usr/share/sounds/sf2/TimGM6mb.sf2 "$work/bank.sf2"
import_script bank.sf2 > "$work/import.txt"
out=$(run edit Tessarine.dll --instrument other.txt --script import.txt)
[ $? -eq 0 ] && pass "the import script ran to its end" || fail "tessarine edit (import) exited with status $?"
import_checks 'Z:\\.*\\bank\.sf2' "$work/home/Imported"
[ "$failures" -gt 0 ] && { echo "---- output of tessarine edit (end) ----"; tail -n 60 <<<"$out"; }
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

#!/usr/bin/env bash
# Opens the Linux build's editor (the X11 view) on a virtual X display (xvfb-run) through
# `tessarine edit`, operates it with X events from the shared editor script and checks what the
# plug-in then does; then checks that a host without a display loads and plays the plug-in.
# Usage: x11_editor.sh BUILD_LINUX_DIR SOURCE_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
command -v xvfb-run >/dev/null || { echo "FAIL: xvfb-run is not installed (Debian package xvfb)"; exit 1; }
source "$source/tests/editor/editor_checks.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/tests/data/editor/"*.txt "$source/examples/samples/tone.wav" "$work/"
mkdir -p "$work/home"
export TESSARINE_HOME="$work/home"
editor_script > "$work/script.txt"
# Xlib's screen at 24 bits, as a desktop has it.
out=$(cd "$work" && timeout 120 xvfb-run -a -s "-screen 0 1600x1200x24" \
      "$build/tessarine" edit "$build/Tessarine.so" --instrument controls.txt --script script.txt 2>&1)
status=$?
shot=$(cd "$work" && timeout 60 xvfb-run -a -s "-screen 0 1600x1200x24" \
       "$build/tessarine" edit "$build/Tessarine.so" --instrument other.txt --screenshot shot.png 2>&1)

[ "$status" -eq 0 ] && pass "the script ran to its end" || fail "tessarine edit exited with $status"
editor_checks
[ "$failures" -gt 0 ] && { echo "---- output of tessarine edit ----"; echo "$out"; }
has "the X11 view has no window class to register" "^class: the X11 view registers no window class$"
if [ -f "$work/shot.png" ] && [ "$(head -c 8 "$work/shot.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a" ]; then
  pass "the screenshot is a PNG file"
else
  fail "no PNG screenshot: $shot"
fi

# The SF2 bulk import through the view: the file dialog answered with Debian's General MIDI
# bank, the import's log at idle, the notes still playing during the import, OK at the end.
bank=/usr/share/sounds/sf2/TimGM6mb.sf2
import_script "$bank" > "$work/import.txt"
out=$(cd "$work" && timeout 120 xvfb-run -a -s "-screen 0 1600x1200x24" \
      "$build/tessarine" edit "$build/Tessarine.so" --instrument other.txt --script import.txt 2>&1)
[ $? -eq 0 ] && pass "the import script ran to its end" || fail "tessarine edit (import) exited with status $?"
import_checks "$bank" "$TESSARINE_HOME/Imported"

# A host that destroys its window before it closes the editor: the X error that follows is the
# view's own and does not end the host.
printf 'second open\nsecond destroy\nslider 0 2500\nprint automation\n' > "$work/destroy.txt"
out=$(cd "$work" && timeout 60 xvfb-run -a -s "-screen 0 1600x1200x24" \
      "$build/tessarine" edit "$build/Tessarine.so" --instrument other.txt --script destroy.txt 2>&1)
[ $? -eq 0 ] && has "the host goes on after its window went before the editor" "last-index 0 last-value 0.250000$" \
  || fail "tessarine edit with the window destroyed first: $out"

# Without a display the plug-in reports its editor, loads and plays; only the editor cannot open.
info=$(env -u DISPLAY "$build/tessarine" info "$build/Tessarine.so" 2>&1)
grep -qE "Has editor: yes" <<<"$info" && pass "the Linux build has an editor" || fail "Has editor is not yes: $info"
render=$(cd "$work" && env -u DISPLAY "$build/tessarine" render --plugin "$build/Tessarine.so" --instrument other.txt \
         --seconds 0.5 -o out.wav 2>&1)
[ $? -eq 0 ] && [ -s "$work/out.wav" ] && pass "without DISPLAY the plug-in renders" || fail "render without DISPLAY: $render"
edit=$(env -u DISPLAY "$build/tessarine" edit "$build/Tessarine.so" 2>&1)
[ $? -ne 0 ] && grep -q "DISPLAY" <<<"$edit" && pass "without DISPLAY the editor does not open" \
  || fail "edit without DISPLAY: $edit"

if [ "$failures" -gt 0 ]; then echo "---- output of the last tessarine edit (end) ----"; tail -n 60 <<<"$out"; fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

# The editor checks both views share: the script `tessarine edit` runs on the editor opened
# on tests/data/editor/controls.txt, and the checks of what it printed. Sourced by the Linux
# (X11) and Windows (wine) editor tests, which run the script their own way.
# The work folder holds controls.txt, changed.txt, other.txt and tone.wav.

editor_script() {
  cat <<'SCRIPT'
print rect
print overlaps
print sliders
slider 0 10000
print automation
slider 1 1
print automation
print sliders
play 60 0.5
keyswitch 0 1
play 60 0.5
play 24 0.1
print combos
keyswitch 1 2
temperament 16
play 60 0.5
print combos
text 1007 5000
print text 1007
copy changed.txt controls.txt
click Reload
print text 5
play 60 0.5
dialog cancel
click Browse
print text 5
play 60 0.5
print pane
dialog choose other.txt
click Browse
print text 5
play 60 0.5
second open
print class
first close
print class
slider 0 5000
print automation
second close
print class
SCRIPT
}

failures=0 passes=0
pass() { echo "ok: $1"; passes=$((passes + 1)); }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }
# has NAME PATTERN...: every pattern matches a line of $out.
has() {
  local name=$1; shift
  for pattern in "$@"; do
    grep -qE -- "$pattern" <<<"$out" || { fail "$name: no line matching '$pattern'"; return; }
  done
  pass "$name"
}
# pitch NAME N EXPECTED: the Nth "play" line reports EXPECTED Hz within 0.3 %.
pitch() {
  local measured
  measured=$(grep -E '^play [0-9]+:' <<<"$out" | sed -n "$2p" | sed -E 's/.*frequency ([0-9.]+) Hz/\1/')
  if [ -n "$measured" ] && awk -v m="$measured" -v e="$3" 'BEGIN { exit !(m > e * 0.997 && m < e * 1.003) }'; then
    pass "$1 ($measured Hz)"
  else
    fail "$1: expected $3 Hz, measured '${measured}'"
  fi
}

# What the script must have shown, in $out.
editor_checks() {
  has "window of the instrument's size" "^rect 900 x 560, window 900 x 560$"
  has "no control covers another" "^overlaps: 0 among [0-9]+ controls$"
  has "one slider per VSTVARS" "^sliders: 4$"
  # A slider moved to the end sets host value 1.0; one step sets 0.0001.
  has "slider 0 at 10000 automates host value 1.0" "last-index 0 last-value 1.000000$"
  has "slider 1 at 1 automates host value 0.0001" "last-index 1 last-value 0.000100$"
  # Each caption is the plug-in's own name, display and label of the parameter, as a host reads them.
  local captions
  captions=$(grep -E '^slider [0-9]+ position' <<<"$out")
  if [ -n "$captions" ] && ! grep -vqE 'caption "([^"]*)" plugin "\1"$' <<<"$captions"; then
    pass "every caption is the parameter's name, display and label"
  else
    fail "captions differ from the plug-in's texts: $captions"
  fi
  has "slider positions follow the moves" "^slider 0 position 10000 " "^slider 1 position 1 "
  pitch "key 60 plays C4" 1 261.63
  pitch "keyswitch combo 'High' doubles the pitch" 2 523.25
  has "the keyswitch combo follows the key 24 press" '^combo 540 selection 0 "Low" items 2$'
  pitch "temperament combo 'Quarter sharp' raises C4 by 50 cents" 4 269.29
  has "temperament and cycling keyswitch combos keep the choices" '^combo 10 selection 16 "Quarter sharp" items 17$' \
    '^combo 541 selection 2 "Bright" items 3$'
  has "a sample panel edit box keeps the typed end frame" '^text 1007 "5000"$'
  has "Reload shows the file again" '^text 5 "Current file: controls.txt"$'
  # A reload of the same file keeps the temperament the player chose (a quarter tone sharp).
  pitch "Reload compiled the changed file (a fifth up) and kept the chosen temperament" 5 403.94
  has "the cancelled dialog" "^dialog: cancelled$" "^log\\| Please select an input file\\.\\.\\.$" \
    "^log\\| User cancelled the operation\\.\\.\\.$"
  pitch "a cancelled Browse leaves the instrument loaded" 6 403.94
  has "the chosen file" "^dialog: chose .*other\\.txt$" 'Current file: .*other\.txt"$'
  pitch "Browse loaded the chosen file" 7 523.25
  has "a second editor opens in the same process" "^second editor: opened$"
  has "the second editor works after the first closed" "last-index 0 last-value 0.500000$"
}

# The SF2 bulk import: the file dialog answered with BANK (Debian's General MIDI bank), a note
# played while the import runs, the import's log, OK at the end. The editor is opened on
# other.txt (C5 at key 60).
import_script() {
  cat <<SCRIPT
dialog choose $1
click "SF2 bulk import"
play 60 0.2
idle 300
print text 17
print pane
click OK
print text 5
SCRIPT
}

# import_checks BANK_PATTERN IMPORTED_FOLDER: what the import script must have shown, in $out.
import_checks() {
  has "the import ends with OK" '^text 17 "OK"$'
  has "the import's log shows the bank, each preset and the end" "^import\\| User selected file $1\\.\\.\\.$" \
    '^import\| Preset 1 of [0-9]+: ' '^import\| Process terminated\.$'
  pitch "the plug-in plays during the import" 1 523.25
  has "OK brings the editor back" '^text 5 "Current file: other.txt"$'
  local presets expected
  presets=$(find "$2" -name Instrument.txt 2>/dev/null | wc -l)
  expected=$(grep -oE '^import\| Preset 1 of [0-9]+' <<<"$out" | grep -oE '[0-9]+$')
  [ -n "$expected" ] && [ "$presets" -eq "$expected" ] && pass "every preset was written under Imported ($presets)" \
    || fail "$presets instrument files under Imported, expected ${expected:-?}"
}

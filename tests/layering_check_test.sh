#!/usr/bin/env bash
# The layering check itself: on a small tree that keeps the rules it passes, and each single
# breach of a rule (an include or a link) makes it fail and name the offender.
# Usage: layering_check_test.sh (run from anywhere)
set -uo pipefail
check="$(cd "$(dirname "$0")" && pwd)/layering_check.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

clean_tree() {  # clean_tree DIR: every rule kept, with includes that are allowed
  mkdir -p "$1"/src/{engine,samples,compiler,controllers,midi,plugin}
  printf '#include "controllers/ControllerSpace.h"\n#include "samples/SampleBank.h"\n' >"$1/src/engine/Engine.h"
  printf '#include "compiler/Text.h"\n// the midi/ folder drives the engine\n' >"$1/src/samples/SampleBank.h"
  printf '#include <cstdint>\n' >"$1/src/compiler/Text.h"
  printf '#include "controllers/PedalState.h"\n' >"$1/src/controllers/ControllerSpace.h"
  printf '#include "engine/Engine.h"\n#include "plugin/vst/VstAbi.h"\n' >"$1/src/midi/NotePlayer.h"
  cat >"$1/CMakeLists.txt" <<'CMAKE'
tessarine_library(tess_controllers controllers)
tessarine_library(tess_compiler compiler tess_common)
tessarine_library(tess_samples samples tess_common tess_compiler)
tessarine_library(tess_engine engine tess_common tess_compiler
                  tess_controllers tess_samples)
tessarine_library(tess_midi midi tess_controllers tess_engine)
tessarine_library(tess_plugin plugin tess_midi tess_engine tess_editor)
CMAKE
}

# expect NAME STATUS OUTPUT-PATTERN COMMAND...: COMMAND changes a fresh clean tree, then the
# check must exit with STATUS and print a line matching OUTPUT-PATTERN.
expect() {
  local name=$1 status=$2 pattern=$3; shift 3
  local tree="$work/$name"
  clean_tree "$tree"
  (cd "$tree" && "$@")
  local output rc
  output=$(bash "$check" "$tree" 2>&1); rc=$?
  if [ "$rc" -ne "$status" ] || ! grep -qE -- "$pattern" <<<"$output"; then
    echo "FAIL: $name: exit $rc (wanted $status), no line matching '$pattern' in:"
    echo "$output" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}
append() { printf '%s\n' "$2" >>"$1"; }
add_link() { sed -i "s/^tessarine_library($1 \\([a-z]*\\)/tessarine_library($1 \\1 $2/" CMakeLists.txt; }

expect clean 0 'point one way' true
expect engine-midi 1 'src/engine/Engine.h:3:#include "midi/NotePlayer.h"' \
  append src/engine/Engine.h '#include "midi/NotePlayer.h"'
expect engine-vst 1 'src/engine/Engine.h:3:#include "plugin/vst/VstAbi.h"' \
  append src/engine/Engine.h '#include "plugin/vst/VstAbi.h"'
expect samples-editor-angle 1 'src/samples/SampleBank.h:3:# *include <editor/EditorModel.h>' \
  append src/samples/SampleBank.h '#  include <editor/EditorModel.h>'
expect compiler-relative 1 'src/compiler/Text.h:2:#include "../midi/NotePlayer.h"' \
  append src/compiler/Text.h '#include "../midi/NotePlayer.h"'
expect controllers-engine 1 'src/controllers/ControllerSpace.h:2:#include "engine/Voice.h"' \
  append src/controllers/ControllerSpace.h '#include "engine/Voice.h"'
expect engine-links-midi 1 'tess_engine must not link tess_midi' add_link tess_engine tess_midi
expect compiler-links-plugin 1 'tess_compiler must not link tess_plugin' add_link tess_compiler tess_plugin
expect controllers-links-engine 1 'tess_controllers must not link tess_engine' \
  add_link tess_controllers tess_engine
expect engine-folder-gone 1 'no folder src/engine' rm -r src/engine

[ "$failures" -eq 0 ] && echo "layering check: every breach caught"
exit $((failures > 0))

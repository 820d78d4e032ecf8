#!/usr/bin/env bash
# Keeps the subsystems' dependencies pointing one way. The engine, the sample bank and the
# compiler include nothing of the note path, the VST face or the editor; the controller space,
# which the engine and the note path share, includes none of those nor the engine. The same
# holds for the libraries they link. Prints every offending line and fails when there is one.
# Usage: layering_check.sh SOURCE_DIR
set -uo pipefail
root=${1:?usage: layering_check.sh SOURCE_DIR}
failures=0

# forbid_includes FOLDER SUBSYSTEM...: no file under src/FOLDER includes a header of SUBSYSTEM.
forbid_includes() {
  local folder=$1; shift
  local pattern="^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](\\.\\./)*($(IFS='|'; echo "$*"))/"
  [ -d "$root/src/$folder" ] || { echo "FAIL: no folder src/$folder"; failures=$((failures + 1)); return; }
  local found
  found=$(cd "$root" && grep -rnE -- "$pattern" "src/$folder")
  if [ -n "$found" ]; then
    echo "FAIL: src/$folder must not include $*:"; echo "$found" | sed 's/^/    /'
    failures=$((failures + 1))
  fi
}

# forbid_links LIBRARY LIBRARY...: the first library's tessarine_library() call names none of
# the others.
forbid_links() {
  local library=$1; shift
  local call
  call=$(awk -v name="$library" '
    !open && $0 ~ "tessarine_library\\(" name "[[:space:]]" { open = 1 }
    open { text = text " " $0; if ($0 ~ /\)/) { print text; exit } }' "$root/CMakeLists.txt")
  if [ -z "$call" ]; then
    echo "FAIL: no tessarine_library($library ...) in CMakeLists.txt"; failures=$((failures + 1)); return
  fi
  local other
  for other in "$@"; do
    if grep -qE "[[:space:]]$other([[:space:])]|\$)" <<<"$call"; then
      echo "FAIL: $library must not link $other:"; echo "    $call"
      failures=$((failures + 1))
    fi
  done
}

for folder in engine samples compiler; do forbid_includes "$folder" midi plugin editor; done
forbid_includes controllers engine midi plugin editor
for library in tess_engine tess_samples tess_compiler; do
  forbid_links "$library" tess_midi tess_plugin tess_editor
done
forbid_links tess_controllers tess_engine tess_midi tess_plugin tess_editor

[ "$failures" -eq 0 ] && echo "layering: dependencies point one way"
exit $((failures > 0))

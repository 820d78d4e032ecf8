#!/usr/bin/env bash
# Loads the Windows build under wine through its own host tool: names and IDs, effect mode
# from the file name, and the per-user folder with its Settings.ini (with and without
# TESSARINE_HOME). Usage: wine_smoke.sh BUILD_WINDOWS_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
source "$(dirname "$0")/wine_prefix.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$build/Tessarine.dll" "$build/tessarine.exe" "$work/"
cp "$build/Tessarine.dll" "$work/effect.dll"
failures=0 passes=0
check() {  # check NAME OUTPUT PATTERN...
  local name=$1 output=$2; shift 2
  for pattern in "$@"; do
    if ! grep -qE -- "$pattern" <<<"$output"; then
      echo "FAIL: $name: no line matching '$pattern' in:"; echo "$output" | sed 's/^/    /'
      failures=$((failures + 1)); return
    fi
  done
  echo "ok: $name"; passes=$((passes + 1))
}

home_win="Z:${work//\//\\}\\home"
mkdir -p "$work/home"
out=$(cd "$work" && TESSARINE_HOME="$home_win" "$wine" tessarine.exe info Tessarine.dll 2>&1 | tr -d '\r')
check "instrument names and ID" "$out" "Tessarine" "Tsrn" "[Ss]ynth.*yes"
if [ -f "$work/home/Settings.ini" ] && [ "$(grep -c $'\r$' "$work/home/Settings.ini")" = 23 ]; then
  echo "ok: Settings.ini written under TESSARINE_HOME"; passes=$((passes + 1))
else
  echo "FAIL: Settings.ini not written under TESSARINE_HOME"; failures=$((failures + 1))
fi

out=$(cd "$work" && TESSARINE_HOME="$home_win" "$wine" tessarine.exe info effect.dll 2>&1 | tr -d '\r')
check "effect.dll registers as an effect" "$out" "Tessarine-Effect" "Tsre" "[Ss]ynth.*no"

# Without TESSARINE_HOME the documents folder of the wine user is used.
documents=$(find -L "$WINEPREFIX/drive_c/users" -maxdepth 2 -iname 'Documents' -type d 2>/dev/null | grep -v '/Public/' | head -1)
[ -n "$documents" ] && rm -rf "$documents/Tessarine"
out=$(cd "$work" && env -u TESSARINE_HOME "$wine" tessarine.exe info Tessarine.dll 2>&1 | tr -d '\r')
if [ -n "$documents" ] && [ -f "$documents/Tessarine/Settings.ini" ]; then
  echo "ok: Settings.ini written in the documents folder ($documents/Tessarine)"; passes=$((passes + 1))
else
  echo "FAIL: no Settings.ini in the wine user's documents folder"; failures=$((failures + 1))
fi

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]

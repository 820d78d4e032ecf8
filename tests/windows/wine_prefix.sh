# Sourced by the scripts that run the Windows build under wine. Given $build (the Windows build
# folder, an absolute path), it checks the artifacts, finds wine64 as $wine and prepares the
# wine prefix kept in $build/wine (its first use runs wineboot, which takes a while).
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
[ -n "$wine" ] || { echo "FAIL: wine64 is not installed"; exit 1; }
# Debian keeps wineserver out of PATH.
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver=$(command -v wineserver64 || command -v wineserver || echo true)
for artifact in Tessarine.dll tessarine.exe; do
  [ -f "$build/$artifact" ] || { echo "FAIL: $build/$artifact missing (run make windows)"; exit 1; }
done
root="$build/wine"
export HOME="$root/home" WINEPREFIX="$root/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$HOME"
# A wine server left running by the previous script (it lingers a few seconds) keeps the desktop
# that script made, without the X display this one may bring: wait until it has gone.
"$wineserver" -w 2>/dev/null
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot --init >/dev/null 2>&1
  # The registry reaches system.reg only when the server exits.
  "$wineserver" -w 2>/dev/null
fi

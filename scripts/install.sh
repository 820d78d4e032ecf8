#!/usr/bin/env bash
# Installs the Linux build for the current user: the plug-in into $VST_DIR (default ~/.vst),
# where DAWs look for VST 2 plug-ins, and the tool into $PREFIX/bin (default ~/.local/bin).
# Usage: scripts/install.sh [BUILD_DIR]   (default build/linux)
set -euo pipefail
build=${1:-$(dirname "$0")/../build/linux}
vst_dir=${VST_DIR:-$HOME/.vst}
bin_dir=${PREFIX:-$HOME/.local}/bin
for file in Tessarine.so tessarine; do
  [ -f "$build/$file" ] || { echo "install: $build/$file is missing; run make linux first" >&2; exit 1; }
done
mkdir -p "$vst_dir" "$bin_dir"
install -m 0755 "$build/Tessarine.so" "$vst_dir/Tessarine.so"
install -m 0755 "$build/tessarine" "$bin_dir/tessarine"
echo "Installed $vst_dir/Tessarine.so and $bin_dir/tessarine"
case ":$PATH:" in *":$bin_dir:"*) ;; *) echo "Note: $bin_dir is not on your PATH" ;; esac

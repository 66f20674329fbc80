#!/bin/bash
# Builds the installer a second time, alone, in a fresh folder around the same package, and expects
# the same bytes as the installer of the main build: no time stamp or build path may differ.
# Usage: rebuild_identical.sh <cmake> <source folder> <fresh build folder> <package folder> <installer>
set -euo pipefail
cmake=$1 source=$2 folder=$3 package=$4 reference=$5
rm -rf "$folder"
"$cmake" -S "$source" -B "$folder" -DPORTIVO_INSTALLER_ONLY=ON "-DPORTIVO_PACKAGE_DIR=$package" \
  "-DPORTIVO_ARCH=${PORTIVO_ARCH:-i686}" >/dev/null
"$cmake" --build "$folder" -j2 >"$folder.log" 2>&1 || { tail -30 "$folder.log"; exit 1; }
if ! cmp "$reference" "$folder/PortivoInstaller.exe"; then
  echo "the rebuilt installer differs (offset, byte here, byte there):"
  cmp -l "$reference" "$folder/PortivoInstaller.exe" | head -20
  exit 1
fi
echo "rebuilt installer identical to $reference"

#!/bin/bash
# The installer is its own package: extracts the installer of the main build with -extract:, finds
# the package folder in it file for file and byte for byte, builds the installer a second time,
# alone, in a fresh folder around what was extracted, and expects the same bytes: nothing extraction
# writes, and no time stamp or build path, may differ. Where the kernel runs no 32-bit programs the
# shipped build cannot extract, so it is rebuilt around the package folder itself; the 64-bit test
# build's run of this script then makes the round trip.
# Usage: rebuild_identical.sh <cmake> <source folder> <fresh build folder> <package folder> <installer>
#                             <wine-run command...>
set -euo pipefail
cmake=$1 source=$2 folder=$3 package=$4 reference=$5
shift 5
extracted=$folder-package
rm -rf "$folder" "$extracted"
mkdir -p "$(dirname "$folder")"
if [ "${PORTIVO_ARCH:-i686}" = x86_64 ] || /usr/lib/wine/wine --version >/dev/null 2>&1; then
  "$@" "$reference" "-extract:Z:${extracted//\//\\}" && diff -r "$package" "$extracted" && package=$extracted ||
    { echo "the extraction failed (exit code $?) or is not the package folder"; exit 1; }
fi
"$cmake" -S "$source" -B "$folder" -DPORTIVO_INSTALLER_ONLY=ON "-DPORTIVO_PACKAGE_DIR=$package" \
  "-DPORTIVO_ARCH=${PORTIVO_ARCH:-i686}" >/dev/null
"$cmake" --build "$folder" -j2 >"$folder.log" 2>&1 || { tail -30 "$folder.log"; exit 1; }
if ! cmp "$reference" "$folder/PortivoInstaller.exe"; then
  echo "the rebuilt installer differs (offset, byte here, byte there):"
  cmp -l "$reference" "$folder/PortivoInstaller.exe" | head -20
  exit 1
fi
echo "rebuilt installer identical to $reference, around $package"

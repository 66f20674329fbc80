#!/bin/bash
# Gives the installer a temporary folder on a small disk: a tmpfs a little larger than the probe
# package, mounted here (the tests run as root) as drive Q: and unmounted whatever happens; the
# FullDisk case fills it to the sizes it tries. A machine that refuses the mount skips the case
# (exit 77).
# Usage: full_disk.sh <wine-run command...> <probe package folder> <e2e_tests.exe>
set -euo pipefail
exe=${*: -1}
package=${*: -2:1}
run=("${@:1:$#-2}")
disk=$(mktemp -d "${TMPDIR:-/tmp}/portivo-disk.XXXXXX")
# The pages the install set and the removal set take: the package folder holds both, the removal
# set's three files by names of their own.
pages() { find "$package" -type f "$@" -printf '%s\n' | awk '{ p += int(($1 + 4095) / 4096) } END { print p }'; }
removal=(-name OPESetup32.exe -o -name OPESetup64.exe -o -name QXCOMUSBCLN.dll)
install_pages=$(pages -not \( "${removal[@]}" \))
removal_pages=$(pages \( "${removal[@]}" \))
pages=$((install_pages + removal_pages + 16))
if ! refused=$(mount -t tmpfs -o "size=$((pages * 4096))" portivo-disk "$disk" 2>&1); then
  rmdir "$disk"
  echo "SKIPPED: a small disk cannot be mounted here: $refused"
  exit 77
fi
# A drive of its own, as a full disk is on Windows: under Z: the path would cross a Unix mount,
# whose folder Wine lists with another file id than the open gives, so the extraction's walk
# would take it for a folder swapped on the way.
drive="${run[1]}/dosdevices/q:"
trap 'rm -f "$drive"; umount "$disk" 2>/dev/null || umount -l "$disk"; rmdir "$disk"' EXIT
ln -sfn "$disk" "$drive"
PORTIVO_FULL_DISK="Q:" PORTIVO_FULL_DISK_PAGES="$install_pages $removal_pages" \
  "${run[@]}" "$exe" --gtest_filter='FullDisk.*'

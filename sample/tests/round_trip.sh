#!/bin/bash
# The sample package through the installer built around it, in a prefix of its own: a quiet
# install as a Japanese user posts success and puts the product's files in place (the Japanese
# read-me, and the PORTS.dat the installer wrote); the removal run takes every file away again.
# Usage: round_trip.sh <wine-run> <prefix> <runner.exe> <PortivoInstaller.exe> <package folder>
set -euo pipefail
wine_run=$1 prefix=$2 runner=$3 installer=$4 package=$5
run() { "$wine_run" "$prefix" win64 "$@" 2>/dev/null | tr -d '\r'; }
run cmd /c exit 0 >/dev/null
drive_c=$prefix/drive_c
find "$drive_c" -depth -path '*ORVIK*' -delete
product() { (cd "$drive_c" && find . -path '*ORVIK*' -type f -printf '%f\n' | sort | tr '\n' ' '); }
status=0
expect() {
  [ "$2" = "$3" ] && return
  printf 'FAILED: %s\n  expected: %s\n  got:      %s\n' "$1" "$3" "$2"
  status=1
}

expect "quiet install" "$(LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 run "$runner" "$installer" -s1)" "exit code: 0 (0x00000000)"
expect "installed" "$(product)" "PORTS.dat Portivo_User'sManual.pdf ReadMeJ.txt ReadMeJ.txt "
readme=$(find "$drive_c" -path '*ORVIK*/ReadMeJ.txt' | head -1)
cmp -s "$package/manual/JA/ReadMeJ.txt" "$readme" || expect "read-me bytes" "differ" "the package's"
grep -q '^\[PORTS\]' "$(find "$drive_c" -path '*ORVIK*/PORTS.dat')" || expect "PORTS.dat" "no [PORTS] header" "[PORTS]"

expect "removal" "$(run "$runner" "$installer" -u3)" "exit code: 0 (0x00000000)"
expect "left after the removal" "$(product)" ""
exit $status

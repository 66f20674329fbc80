#!/bin/bash
# Starts the installer where it cannot make its hidden window: Wine gets no display for its process
# alone. Wine must say that the window failed, and the run must end with 1001 (233 once cut to
# 8 bits) with nothing unpacked and nothing started.
# Usage: no_display.sh <wine-run command...> <installer>
set -euo pipefail
installer=${*: -1}
run=("${@:1:$#-1}")
temp=$("${run[@]}" winepath -u "$("${run[@]}" cmd /c echo %TEMP% | tr -d '\r')" | tr -d '\r')
records=$(mktemp -d)
trap 'rm -rf "$records"' EXIT
fail() { echo "FAILED: $1"; cat "$records/stderr"; exit 1; }
status=0
PORTIVO_NO_DISPLAY=1 WINEDEBUG=err+winediag PROBE_RECORD="Z:${records//\//\\}\\record.txt" \
  "${run[@]}" "$installer" -s1 "-log:Z:${records//\//\\}\\run.log" 2>"$records/stderr" || status=$?
grep -q "nodrv_CreateWindow" "$records/stderr" || fail "Wine made a window after all"
[ "$status" -eq 233 ] || fail "exit status $status, not 233 (1001 cut to 8 bits)"
[ ! -e "$records/record.txt" ] || fail "the setup ran"
[ ! -e "$temp/{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}" ] || fail "something was unpacked"
iconv -f UTF-16 -t UTF-8 "$records/run.log" | tail -n 1 | grep -q "exit code 1001: the hidden window" ||
  fail "the log does not end with the cause"
echo "no window: 1001, nothing unpacked or started"

#!/bin/bash
# Plants links in and at the work folder's name, and at and above an extraction folder's, from the Unix side (Wine cannot make them), runs
# the PreparedWorkFolder cases against each, and checks from outside that nothing behind the links
# was written, moved or deleted.
# Usage: prepared_work_folder.sh <wine-run command...> <e2e_tests.exe>
set -euo pipefail
exe=${*: -1}
run=("${@:1:$#-1}")
temp_w=$("${run[@]}" cmd /c echo %TEMP% | tr -d '\r')
temp=$("${run[@]}" winepath -u "$temp_w" | tr -d '\r')
work="${temp%/}/{7A41C2E9-5D03-4B8E-9F62-1E0C7B3D58A4}"
outside=$(mktemp -d "${TMPDIR:-/tmp}/portivo-outside.XXXXXX")
logs=$(mktemp -d "${TMPDIR:-/tmp}/portivo-logs.XXXXXX")
clear() { rm -rf "$work" "$work".old-*; }  # rm -rf on a link removes the link itself
trap 'clear; rm -rf "$outside" "$logs"' EXIT
mkdir "$outside/folder"
echo "keep me" > "$outside/folder/precious.txt"
head -c 4096 /dev/urandom > "$outside/victim.bin"
snapshot() { (cd "$outside" && find . -printf '%p %s %T@\n' | sort && cat folder/precious.txt victim.bin | md5sum); }
before=$(snapshot)
status=0
check() {
  if [ "$(snapshot)" != "$before" ]; then
    echo "FAILED: $1: something behind the links changed"; status=1
  else
    echo "$1: nothing behind the links changed"
  fi
}

clear
mkdir "$work"
ln -s "$outside/folder" "$work/qxusb"
ln "$outside/victim.bin" "$work/data1.cab"
PORTIVO_PREPARED=1 "${run[@]}" "$exe" --gtest_filter=PreparedWorkFolder.LinksInsideAreNeverFollowed || status=1
check "links inside the work folder"

# A link at the log's name, and a folder link one level above it.
for link in hard folder above; do
  rm -f "$logs/run.log" "$logs/above"
  name=run.log label="a $link link at the log's path"
  case $link in
    hard) ln "$outside/victim.bin" "$logs/run.log" ;;
    folder) ln -s "$outside/folder" "$logs/run.log" ;;
    above) ln -s "$outside/folder" "$logs/above"; name='above\run.log' label="a folder link above the log" ;;
  esac
  PORTIVO_PREPARED=1 PORTIVO_PREPARED_LOG="Z:${logs//\//\\}\\$name" "${run[@]}" "$exe" \
    --gtest_filter=PreparedWorkFolder.ALogPathThatIsALinkIsNotWrittenThrough || status=1
  check "$label"
done

# A link at the extraction folder's name, and a folder link above a folder it would make on its way.
clear
ln -s "$outside/folder" "$work"
ln -s "$outside/folder" "$logs/package"
ln -sfn "$outside/folder" "$logs/above"
for name in package 'above\new\package'; do
  PORTIVO_PREPARED=1 PORTIVO_PREPARED_EXTRACT="Z:${logs//\//\\}\\$name" "${run[@]}" "$exe" \
    --gtest_filter=PreparedWorkFolder.LinkAtTheNameIsRefused || status=1
done
check "the work folder's and an extraction folder's name a link, a link above a folder to make"
[ "$(readlink "$work")" = "$outside/folder" ] || { echo "FAILED: the link at the name was moved"; status=1; }
exit $status

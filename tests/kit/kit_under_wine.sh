#!/bin/bash
# Runs the Windows test kit as a vendor would, under Wine: copied into a fresh prefix that holds
# nothing else (its drive Z:, which reaches this machine's files, removed), from a folder with a
# blank in its name, by `cmd /c run-tests.cmd /yes`. Checks that no file of the kit names a folder
# of this machine; that without /yes it exits with 2 and writes nothing; that the summary ends the
# output and results.txt, agrees with what the test programs printed and gives every skipped case
# a reason; and, with the probe installer and then the unit tests taken out of the kit, that failed
# cases and a program that does not start count as failed.
# Usage: kit_under_wine.sh <wine-run> <prefix> <kit folder> <folders of this machine...>
set -euo pipefail
wine_run=$1 prefix=$2 kit=$3
shift 3
unset GTEST_FAIL_FAST GTEST_FILTER
fail() { echo "FAILED: $*"; exit 1; }
# Each folder as text and as the UTF-16 that Windows programs keep their paths in, with / and \.
perl -MFile::Find -e '
  my ($kit, @needles) = @ARGV;
  @needles = map { my $w = $_ =~ tr{/}{\\}r; map { ($_, join "", map { "$_\0" } split //) } $_, $w } @needles;
  my $found = 0;
  find({no_chdir => 1, wanted => sub {
    return unless -f;
    open my $f, "<:raw", $_ or die "$_: $!";
    my $bytes = do { local $/; <$f> };
    for (grep { index($bytes, $_) >= 0 } @needles) { print "FAILED: $File::Find::name names ", tr/\0//dr, "\n"; $found = 1 }
  }}, $kit);
  exit $found;' "$kit" "$@"

trap 'WINEPREFIX=$prefix wineserver -k 2>/dev/null || true' EXIT
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
rm -rf "$prefix"
"$wine_run" "$prefix" win64 cmd /c exit 0
WINEPREFIX=$prefix wineserver -w
rm "$prefix/dosdevices/z:"
folder="$prefix/drive_c/Portivo test kit" out=$prefix.out
cp -r "$kit" "$folder"
kit() {  # [variable=value...] -- [arguments...]: the output in $out, the exit status in $status
  local env=()
  while [ "$1" != -- ]; do env+=("$1"); shift; done
  shift
  status=0
  (cd "$folder" && env "${env[@]}" "$wine_run" "$prefix" win64 cmd /c run-tests.cmd "$@") >"$out" 2>&1 || status=$?
  sed -i 's/\r$//' "$out"
  cat "$out"
}
sum() { sed -n "s/^\[  $1 *\] \([0-9]*\) tests\?[.,].*/\1/p" "$out" | awk '{ n += $1 } END { print n + 0 }'; }

kit --
[ "$status" -eq 2 ] && [ ! -e "$folder/results.txt" ] && [ ! -e "$folder/run" ] || fail "without /yes: status $status, or written"

kit -- /yes
last=$(tail -n 1 "$out")
[[ $last =~ ^([0-9]+)\ passed,\ 0\ failed,\ ([0-9]+)\ skipped$ ]] || fail "the last line is no clean summary: $last"
[ "$status" -eq 0 ] || fail "exit status $status after a clean summary"
[ "$(tail -n 1 "$folder/results.txt")" = "$last" ] || fail "results.txt does not end with the summary"
[ "${BASH_REMATCH[1]}" -eq "$(sum PASSED)" ] || fail "the test programs passed $(sum PASSED) cases"
[ "${BASH_REMATCH[2]}" -eq "$(sum SKIPPED)" ] || fail "the test programs skipped $(sum SKIPPED) cases"
[ "$(grep -c '^skipped: [^ ]*: [^ (]' "$out")" -eq "${BASH_REMATCH[2]}" ] || fail "a skipped case without its reason"
grep -q '^Windows .* build .*; under Wine ' "$out" || fail "no line with the Windows version and architecture"

# A kit that lost its installer: two cases fail for it, one is skipped, one needs it not.
rm "$folder/probe/PortivoInstaller.exe"
kit GTEST_FILTER='WorkFolder.PathsTable:ReleaseResources.*:PreparedWorkFolder.LinksInsideAreNeverFollowed' -- /yes
[ "$(tail -n 1 "$out")" = "1 passed, 2 failed, 1 skipped" ] || fail "the failed cases are not counted as failed"
[ "$(tail -n 1 "$folder/results.txt")" = "1 passed, 2 failed, 1 skipped" ] || fail "results.txt has another count"
[ "$(grep -c '^failed: ReleaseResources\.[^ ]*: .' "$out")" -eq 2 ] || fail "the failed cases are not listed with their reasons"
[ "$status" -eq 1 ] || fail "exit status $status with failed cases"
# And its unit tests: a program that does not start fails as a whole.
rm "$folder/tests/unit_tests.exe"
kit GTEST_FILTER='ReleaseResources.*' -- /yes
[ "$(tail -n 1 "$out")" = "0 passed, 3 failed, 0 skipped" ] && grep -q '^failed: unit_tests.exe: did not start' "$out" ||
  fail "a test program that did not start is not counted as failed"
echo "the kit ran self-contained: $last"

#!/bin/bash
# Prepares folders linked into a tree on the Unix side (Wine cannot make such links itself), runs
# the link case of the deletion tests on them, and checks from outside that the target survived.
# Usage: link_scenario.sh <wine-run command...> <unit_tests.exe>
set -euo pipefail
scenario=$(mktemp -d "${TMPDIR:-/tmp}/portivo-links.XXXXXX")
trap 'rm -rf "$scenario"' EXIT
mkdir -p "$scenario/outside" "$scenario/work"
echo -n "keep me" > "$scenario/outside/precious.txt"
ln -s "$scenario/outside" "$scenario/work/linked"
ln -s "$scenario/outside" "$scenario/work-as-link"
export PORTIVO_LINK_SCENARIO="Z:${scenario//\//\\}"
"$@" --gtest_filter=DeleteFolderTree.NeverFollowsALinkedFolder
[ "$(cat "$scenario/outside/precious.txt")" = "keep me" ] || { echo "the linked folder's content was deleted"; exit 1; }

#!/bin/bash
# The count itself: the fixture's headers give exactly the expected list, a limit one below the
# count fails, and a folder without headers fails rather than passing with nothing read.
set -u
here="$(cd "$(dirname "$0")" && pwd)"
script="$here/../../scripts/count-globals.sh"
failures=0
out=$(bash "$script" 13 "$here/fixture"); rc=$?
if [[ $rc -ne 0 ]] || ! diff <(printf '%s\n' "$out") "$here/expected.txt"; then
    echo "check-count: the fixture's list differs from expected.txt (exit $rc)"
    failures=$((failures + 1))
fi
if bash "$script" 12 "$here/fixture" >/dev/null; then
    echo "check-count: 13 globals passed a limit of 12"
    failures=$((failures + 1))
fi
empty=$(mktemp -d)
if bash "$script" 100 "$empty" >/dev/null; then
    echo "check-count: a folder without headers passed"
    failures=$((failures + 1))
fi
rmdir "$empty"
echo "check-count: $failures failures"
(( failures == 0 ))

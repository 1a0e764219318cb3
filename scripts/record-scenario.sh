#!/bin/sh
# Re-records the expected output of scenarios: scripts/record-scenario.sh NAME...
# Read the diff of the .out files before committing them.
set -eu
cd "$(dirname "$0")/.."
for name in "$@"; do
  build/wine-run build/sim/X-Plane.exe --instance "build/runs/$name" \
    --scenario "tests/scenarios/$name.scn" --expect "tests/scenarios/$name.out" --record
done

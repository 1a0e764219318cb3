#!/bin/sh
# Builds everything and runs every benchmark program; each prints METRIC lines and its ratio
# against a baseline measured in the same run.
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh
for bench in build/bin/*_bench.exe; do
  echo "== $bench"
  build/wine-run "$bench"
done

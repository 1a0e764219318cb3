#!/bin/sh
# Builds everything and runs every benchmark program; each prints METRIC lines and its ratio
# against a baseline measured in the same run.
set -eu
cd "$(dirname "$0")/.."
top="$PWD"
./scripts/setup.sh
./scripts/build.sh
export WINEPREFIX="$PWD/build/wineprefix"
trap '"$top/scripts/wine-prefix.sh" stop' EXIT
./scripts/wine-prefix.sh start
for bench in build/bin/*_bench.exe; do
  echo "== $bench"
  build/wine-run "$bench"
done

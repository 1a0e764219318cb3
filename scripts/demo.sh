#!/bin/sh
# Installs the dependencies, builds everything and flies the demo in the stand-in simulator.
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh
mkdir -p build/demo
rm -f build/demo/*.png
build/wine-run build/sim/X-Plane.exe --instance build/demo/sim --scenario demo/demo.scn --pictures build/demo
echo "Demo output: build/demo"

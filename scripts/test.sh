#!/bin/sh
# Installs the dependencies, builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh
cd build
ctest --output-on-failure -j "$(nproc)" "$@"
cd ..
# Native (Linux) checks of the portable code: decoder against its oracles, parsers.
if [ -x scripts/native-tests.sh ]; then ./scripts/native-tests.sh; fi

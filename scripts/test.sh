#!/bin/sh
# Installs the dependencies, builds everything and runs every test.
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh
cd build
# Every test program runs its cases in a new random order each time (the seed is printed:
# --gtest_random_seed=N repeats it), and ctest its programs: no test may lean on another's leftovers.
export GTEST_SHUFFLE=1
ctest --output-on-failure -j "$(nproc)" "$@"
cd ..
# Native (Linux) checks of the portable code: decoder against its oracles, parsers.
if [ -x scripts/native-tests.sh ]; then ./scripts/native-tests.sh; fi

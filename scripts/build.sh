#!/bin/sh
# Configures and builds the cross build (build/) of the plug-in and its stand-in world, then the
# package with its manual (whose pictures fly the demo). While editing, `cmake --build build` alone
# rebuilds what changed without the manual.
set -eu
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake >/dev/null
cmake --build build
cmake --build build --target package-zip

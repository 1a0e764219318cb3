#!/bin/sh
# Installs what the build, the stand-in world and the tests need, from Debian's packages only.
set -eu
packages="cmake ninja-build make g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest
          g++ libzydis-dev libcapstone-dev clang libclang-rt-14-dev"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi

#!/bin/sh
# Installs what the build, the stand-in world and the tests need, from Debian's packages only.
set -eu
packages="cmake ninja-build make g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 googletest
          g++ libzydis-dev libcapstone-dev clang libclang-rt-14-dev sqlite3
          pandoc groff librsvg2-bin poppler-utils"
missing=""
for p in $packages; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
# The airport data generator runs on Node.js and fetches its source with npm; a machine that
# already has both (from any source) keeps them.
command -v node >/dev/null 2>&1 || missing="$missing nodejs"
command -v npm >/dev/null 2>&1 || missing="$missing npm"
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
fi

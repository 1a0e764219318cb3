#!/bin/sh
# Installs the dependencies, builds everything and leaves the package build/DURarUravud-VERSION.zip: the
# plug-in folder DURarUravud/ to unpack into X-Plane's Resources/plugins/. Fails, saying why,
# when the package could not be made (the airport data needs the frequency list and npm).
set -eu
cd "$(dirname "$0")/.."
./scripts/setup.sh
./scripts/build.sh
zip=$(ls build/DURarUravud-*.zip 2>/dev/null | head -n 1)
if [ -z "$zip" ]; then
  echo "No package made:" >&2
  cat build/DURarUravud-*.zip.missing >&2 2>/dev/null || true
  exit 1
fi
cmake -E tar tf "$zip" | grep -v '/$'
echo "Package: $zip"

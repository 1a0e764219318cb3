#!/bin/sh
# The package installed into a fresh simulated simulator folder (host, API DLLs, the stand-in
# plug-ins and programs, but not the build's own DURarUravud folder) flies the demo: the plug-in
# loads from the installed copy and makes no simulator call off the main thread.
set -eu
zip=$1 wine_run=$2 sim=$3 dir=$4 scenario=$5
here=$(dirname "$0")
. "$here/package_present.sh"

rm -rf "$dir"
mkdir -p "$dir/sim/Resources/plugins"
cp "$sim"/X-Plane.exe "$sim"/*.dll "$dir/sim/"
for entry in "$sim"/Resources/*; do
  [ "$(basename "$entry")" = plugins ] || cp -r "$entry" "$dir/sim/Resources/"
done
for entry in "$sim"/Resources/plugins/*; do
  [ "$(basename "$entry")" = DURarUravud ] || cp -r "$entry" "$dir/sim/Resources/plugins/"
done
(cd "$dir/sim/Resources/plugins" && cmake -E tar xf "$zip")

set +e
"$wine_run" "$dir/sim/X-Plane.exe" --instance "$dir/run" --scenario "$scenario" --pictures "$dir/pictures" \
  >"$dir/output.raw" 2>&1
rc=$?
set -e
tr -d '\r' <"$dir/output.raw" >"$dir/output.txt"  # the host writes Windows line ends
failures=0
[ "$rc" -eq 0 ] || { echo "FAIL: the simulator ended with $rc"; failures=1; }
grep -q '^load Resources\\plugins\\DURarUravud\\64\\win.xpl: started as "DURarUravud"' "$dir/output.txt" ||
  { echo "FAIL: the installed plug-in did not start"; failures=1; }
grep -q '^offthread-calls 0$' "$dir/output.txt" || { echo "FAIL: simulator calls off the main thread"; failures=1; }
if [ "$failures" -ne 0 ]; then
  tail -20 "$dir/output.txt"
  exit 1
fi
echo "installed from $zip and flew the demo ($(wc -l <"$dir/output.txt") lines of output)"

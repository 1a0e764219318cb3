#!/bin/sh
# The package zip holds exactly the plug-in folder under DURarUravud/, byte for byte what the
# build put into the simulated plug-in folder: win.xpl a 64-bit DLL that exports the five entry
# points and nothing else and needs no compiler runtime DLL, airport and radio lists that hold
# records, the manual as PDF and RTF, the licences and the data credit.
set -eu
zip=$1 objdump=$2 plugin_dir=$3 licences=$4
here=$(dirname "$0")
. "$here/package_present.sh"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

expected="DURarUravud/64/win.xpl
DURarUravud/APT.dat
DURarUravud/AirportData-ODbL-1.0.txt
DURarUravud/AirportData.txt
DURarUravud/DURarUravud.pdf
DURarUravud/DURarUravud.rtf
DURarUravud/Licences.txt
DURarUravud/Radio.dat"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
listed=$(cmake -E tar tf "$zip" | grep -v '/$' | LC_ALL=C sort)
if [ "$listed" != "$expected" ]; then
  printf '%s\n' "$expected" >"$work/expected"
  fail "entries differ from the plug-in folder's layout (< zip, > expected):
$(printf '%s\n' "$listed" | diff - "$work/expected" || true)"
fi

(cd "$work" && cmake -E tar xf "$zip")
p="$work/DURarUravud"

for name in 64/win.xpl APT.dat Radio.dat DURarUravud.pdf DURarUravud.rtf AirportData.txt AirportData-ODbL-1.0.txt; do
  if [ ! -s "$p/$name" ]; then fail "$name missing or empty"; continue; fi
  cmp -s "$p/$name" "$plugin_dir/$name" || fail "$name differs from the build's $plugin_dir/$name"
done
cmp -s "$p/Licences.txt" "$licences" || fail "Licences.txt differs from $licences"

# The plug-in: PE32+ for x86-64, a DLL, exactly the five entry points, no compiler runtime DLL.
if [ -s "$p/64/win.xpl" ]; then
  headers=$("$objdump" -p "$p/64/win.xpl")
  printf '%s\n' "$headers" | grep -q 'file format pei-x86-64' || fail "win.xpl is not an x86-64 PE file"
  printf '%s\n' "$headers" | grep -q '^Magic[[:space:]]*020b' || fail "win.xpl is not PE32+"
  printf '%s\n' "$headers" | sed -n '/^Characteristics/,/^$/p' | grep -q 'DLL' || fail "win.xpl is not a DLL"
  exports=$(printf '%s\n' "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
            sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort | tr '\n' ' ')
  [ "$exports" = "XPluginDisable XPluginEnable XPluginReceiveMessage XPluginStart XPluginStop " ] ||
    fail "win.xpl exports: $exports"
  runtime=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | grep -i -e '^lib' -e 'mingw' || true)
  [ -z "$runtime" ] || fail "win.xpl needs compiler runtime DLLs: $runtime"
fi

# The data: records of the forms the plug-in reads.
head -n 1 "$p/APT.dat" | grep -Eq '^[A-Z0-9]{3,4},[a-z_]+,.*,-?[0-9.]+,-?[0-9.]+,' ||
  fail "APT.dat does not start with an airport record: $(head -c 100 "$p/APT.dat")"
head -n 1 "$p/Radio.dat" | grep -Eq '^"?[A-Z0-9]{3,4}"?,[0-9]+,[0-9]+(\.[0-9]+)?' ||
  fail "Radio.dat does not start with a radio record: $(head -c 100 "$p/Radio.dat")"
[ "$(wc -l <"$p/APT.dat")" -ge 1000 ] || fail "APT.dat holds fewer than 1000 airports"

# The manual.
[ "$(head -c 5 "$p/DURarUravud.pdf")" = "%PDF-" ] || fail "DURarUravud.pdf is not a PDF"
tail -c 16 "$p/DURarUravud.pdf" | grep -q '%%EOF' || fail "DURarUravud.pdf is cut short"
[ "$(head -c 6 "$p/DURarUravud.rtf")" = '{\rtf1' ] || fail "DURarUravud.rtf is not an RTF document"
grep -q 'Show Manual' "$p/DURarUravud.rtf" || fail "DURarUravud.rtf lacks the menu's description"
grep -q 'winpthreads' "$p/Licences.txt" || fail "Licences.txt lacks the threads library's notice"

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "package layout OK: $(printf '%s\n' "$listed" | wc -l) files"

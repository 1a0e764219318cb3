#!/bin/sh
# The plug-in as shipped: stripped of debug information, carrying the version resource, and
# linked to the separate debug file that the build keeps; that file resolves the plug-in's
# addresses back to functions, which is what a pilot's crash report needs.
set -eu
zip=$1 version=$2 debug=$3 objdump=$4 windres=$5
here=$(dirname "$0")
. "$here/package_present.sh"
addr2line=$(printf '%s\n' "$objdump" | sed 's/objdump$/addr2line/')
objcopy=$(printf '%s\n' "$objdump" | sed 's/objdump$/objcopy/')

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

case "$(basename "$zip")" in
  "DURarUravud-$version.zip") ;;
  *) fail "the package's name $(basename "$zip") does not carry the version $version" ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && cmake -E tar xf "$zip")
xpl="$work/DURarUravud/64/win.xpl"
[ -s "$xpl" ] || { echo "FAIL: no win.xpl in $zip"; exit 1; }

sections=$("$objdump" -h "$xpl" | awk '$1 ~ /^[0-9]+$/ { print $2 }')
debug_sections=$(printf '%s\n' "$sections" | grep '^\.debug' || true)
[ -z "$debug_sections" ] || fail "win.xpl still holds debug sections: $(echo $debug_sections)"
symbols=$("$objdump" -t "$xpl" 2>/dev/null | grep -c '^\[' || true)
[ "$symbols" -eq 0 ] || fail "win.xpl still holds $symbols symbols"
printf '%s\n' "$sections" | grep -qx '\.rsrc' || fail "win.xpl has no resource section"

# The debug link names the debug file and carries its CRC-32 (gzip's trailer holds the same one).
if printf '%s\n' "$sections" | grep -qx '\.gnu_debuglink'; then
  "$objcopy" --dump-section .gnu_debuglink="$work/link" "$xpl" "$work/scratch.xpl"
  name=$(tr '\0' '\n' <"$work/link" | head -n 1)
  [ "$name" = "$(basename "$debug")" ] || fail "the debug link names '$name', not $(basename "$debug")"
  if [ -s "$debug" ]; then
    crc_link=$(tail -c 4 "$work/link" | od -An -tx1 | tr -d ' \n')
    crc_file=$(gzip -c "$debug" | tail -c 8 | head -c 4 | od -An -tx1 | tr -d ' \n')
    [ "$crc_link" = "$crc_file" ] || fail "the debug link's CRC $crc_link does not match $debug ($crc_file)"
  fi
else
  fail "win.xpl has no debug link"
fi

# The version resource.
"$windres" -i "$xpl" -O rc -o "$work/resources.rc" 2>"$work/windres.err" ||
  fail "the resources of win.xpl cannot be read: $(cat "$work/windres.err")"
for pair in "ProductName|DURarUravud" "ProductVersion|$version" "FileVersion|$version" \
            "FileDescription|QVE to X-Plane"; do
  key=${pair%%|*} value=${pair#*|}
  grep -q "VALUE \"$key\", \"$value" "$work/resources.rc" 2>/dev/null ||
    fail "version resource: $key is not \"$value...\""
done
numeric=$(echo "$version" | tr '.' ',')
tr -d ' ' <"$work/resources.rc" 2>/dev/null | grep -q "^FILEVERSION$numeric,0" ||
  fail "version resource: FILEVERSION is not $numeric,0"

# The debug file turns an address inside an entry point, found from the shipped file's export
# table as a crash log would give it (image base + offset), back into the function's name.
inside=""
if [ -s "$debug" ]; then
  headers=$("$objdump" -p "$xpl")
  base=$(printf '%s\n' "$headers" | sed -n 's/^ImageBase[[:space:]]*\([0-9a-fA-F]*\).*/\1/p')
  index=$(printf '%s\n' "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *\([0-9]*\)\] XPluginStart$/\1/p')
  rva=""
  [ -n "$index" ] && rva=$(printf '%s\n' "$headers" |
    sed -n "s/^[[:space:]]*\[ *$index\] +base\[ *[0-9]*\] *\([0-9a-fA-F]*\) Export RVA.*/\1/p" | head -n 1)
  if [ -z "$base" ] || [ -z "$rva" ]; then
    fail "no export XPluginStart in win.xpl's export table"
  else
    inside=$(printf '0x%x' $((0x$base + 0x$rva + 4)))
    resolved=$("$addr2line" -f -e "$debug" "$inside" | head -n 1)
    [ "$resolved" = XPluginStart ] || fail "$(basename "$addr2line") resolved $inside to '$resolved', not XPluginStart"
  fi
fi

if [ "$failures" -ne 0 ]; then exit 1; fi
echo "win.xpl stripped ($(wc -c <"$xpl") bytes), version $version, debug file $(basename "$debug") resolves $inside to XPluginStart"

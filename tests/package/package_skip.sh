# Sourced by the package checks with $zip set: a missing package is a skip when the build had no
# airport data (the build makes none then, by design), and a failure otherwise.
if [ ! -f "$zip" ]; then
  if [ -f "$zip.missing" ] && grep -q '^airport data: skipped:' "$zip.missing" &&
     ! sed -n 's/^missing: //p' "$zip.missing" | tr ',' '\n' | sed 's/^ *//' |
       grep -v -x -e APT.dat -e Radio.dat -e AirportData.txt -e AirportData-ODbL-1.0.txt | grep -q .; then
    echo "no package, as the build had no airport data:"
    cat "$zip.missing"
    exit 77
  fi
  echo "FAIL: no package at $zip"
  [ -f "$zip.missing" ] && cat "$zip.missing"
  exit 1
fi

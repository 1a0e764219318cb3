#!/bin/sh
# Run by the build (docs/manual/CMakeLists.txt): flies the demo in the stand-in simulator to take
# its frames, then cuts the manual's pictures out of them as FIGURES lists, each as PNG (for the
# RTF) and PDF (for the PDF manual), into OUT_DIR. So the pictures always show the plug-in as
# built. Uses the build's Wine prefix.
#   make_figures.sh WINE_RUN SIM_DIR SCENARIO FIGURES WORK_DIR OUT_DIR RSVG_CONVERT
set -eu
wine_run=$1 sim=$2 scenario=$3 figures=$4 work=$5 out=$6 rsvg=$7
top=$(cd "$(dirname "$0")/../.." && pwd)
WINEPREFIX=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$wine_run")
export WINEPREFIX

"$top/scripts/wine-prefix.sh" ensure
# The Wine server that the run starts (when no test session's server runs) gets the run's
# redirected streams, not the build's, and ends by itself shortly after; it is waited for, so
# nothing outlives the build step. A test session's persistent server is left alone (the wait
# gives up after a few seconds).
finish() { timeout 10 /usr/lib/wine/wineserver -w </dev/null >/dev/null 2>&1 || true; }
trap finish EXIT

rm -rf "$work/frames" "$work/sim"
mkdir -p "$work/frames" "$out"
if ! "$wine_run" "$sim/X-Plane.exe" --instance "$work/sim" --scenario "$scenario" --pictures "$work/frames" \
     </dev/null >"$work/demo.txt" 2>&1; then
  echo "The demo flight for the manual's pictures failed; its output is in $work/demo.txt:" >&2
  tail -20 "$work/demo.txt" >&2
  exit 1
fi

grep -v -e '^#' -e '^[[:space:]]*$' "$figures" | while read -r name frame left top width height; do
  if [ ! -s "$work/frames/$frame" ]; then
    echo "The demo took no frame $frame (wanted for the manual's picture $name)" >&2
    exit 1
  fi
  # A cut-out: the whole frame placed so that only the wanted part lies inside the picture.
  cat >"$work/frames/$name.svg" <<SVG
<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink"
     width="$width" height="$height" viewBox="$left $top $width $height">
  <image x="0" y="0" width="1920" height="1080" xlink:href="$frame"/>
</svg>
SVG
  "$rsvg" -f png -o "$out/$name.png" "$work/frames/$name.svg"
  "$rsvg" -f pdf -o "$out/$name.pdf" "$work/frames/$name.svg"
  # groff's PDF reader takes no comments inside a dictionary, which cairo writes after a page's
  # type; blanked at the same length, so the file's cross-reference offsets stay right.
  perl -pi -e 's{(/Type /Page) (% \d+)}{$1 . " " . (" " x length($2))}ge' "$out/$name.pdf"
done

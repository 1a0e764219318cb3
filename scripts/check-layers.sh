#!/bin/bash
# The product's folders are layers: a source file may include headers of its own folder and of
# folders in lower layers only. Folders of one layer do not use each other.
#   0 base      log, checks, guards, locks, the plug-in's process-wide state
#   1 config    the configuration file and the ATC program's install
#   1 hook      the inline hook engine and its decoder
#   2 simlink   the IPC client and server, datarefs, the simulator's data feed
#   3 airport   airport and radio files, the nearest airport, the radio refresh
#   4 bridge    the ATC program: its window, the monitor, its text and the hints' options
#   5 ui        what the pilot sees and touches: hints panel, key watcher, settings windows, menu
#   6 shell     the entry points, link start and stop, messages, start-up checks
# Usage: check-layers.sh [SOURCE_ROOT]   (default: src beside this script). Exit 1 on a breach.
set -u
root="${1:-$(cd "$(dirname "$0")/.." && pwd)/src}"
declare -A layer=([base]=0 [config]=1 [hook]=1 [simlink]=2 [airport]=3 [bridge]=4 [ui]=5 [shell]=6)
breaches=0
checked=0
while IFS= read -r -d '' file; do
    rel="${file#"$root"/}"
    folder="${rel%%/*}"
    if [[ -z "${layer[$folder]+x}" ]]; then
        echo "check-layers: $rel: folder '$folder' has no layer; add it to $0"
        breaches=$((breaches + 1))
        continue
    fi
    checked=$((checked + 1))
    while IFS= read -r included; do
        used="${included%%/*}"
        [[ "$used" == "$included" || "$used" == "$folder" ]] && continue
        [[ -z "${layer[$used]+x}" ]] && continue  # not one of ours (SDK, system)
        if (( layer[$used] >= layer[$folder] )); then
            echo "check-layers: $rel includes \"$included\": $folder (layer ${layer[$folder]}) may not use $used (layer ${layer[$used]})"
            breaches=$((breaches + 1))
        fi
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file")
done < <(find "$root" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.in' \) -print0)
if (( checked == 0 )); then
    echo "check-layers: no sources under $root"
    exit 1
fi
echo "check-layers: $checked files, $breaches breaches"
(( breaches == 0 ))

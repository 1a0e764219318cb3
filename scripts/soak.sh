#!/bin/sh
# The soak: SOAK_CYCLES cycles (default 200) of ten simulated minutes each, with the link, the
# ATC program and the pilot busy. Prints METRIC lines: simulated minutes, crashes, growth of
# handles (and threads, atoms, memory), simulator-API calls off the main thread and outside every
# callback.
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh
export SOAK_CYCLES="${SOAK_CYCLES:-200}"
mkdir -p build/soak
log=build/soak/soak.log
set +e
build/wine-run build/sim/X-Plane.exe --instance build/soak/sim --scenario tests/soak/soak.scn >"$log.raw" 2>&1
status=$?
set -e
tr -d '\r' <"$log.raw" >"$log"
cat "$log"
first=$(grep '^process ' "$log" | head -1)
last=$(grep '^process ' "$log" | tail -1)
field() { echo "$1" | awk -v k="$2" '{for (i = 1; i < NF; i++) if ($i == k) print $(i + 1)}'; }
minutes=$(grep '^time ' "$log" | tail -1 | awk '{printf "%.0f", $2 / 60}')
crashes=0
# The host ends with its counts once every plug-in is unloaded, the last one caller-not-running;
# anything else is a crash.
if [ "$status" -ne 0 ] || ! tail -1 "$log" | grep -q '^caller-not-running'; then crashes=1; fi
echo "METRIC soak_minutes ${minutes:-0} minutes"
echo "METRIC soak_crashes $crashes count"
echo "METRIC soak_misuses $(grep '^misuses ' "$log" | tail -1 | awk '{print $2 + 0}') count"
for k in handles threads atoms windows commit-kb; do
  a=$(field "$first" "$k"); b=$(field "$last" "$k")
  case $k in handles) name=handle ;; commit-kb) name=commit_kb ;; *) name=$k ;; esac
  echo "METRIC soak_${name}_growth $((${b:-0} - ${a:-0})) count"
done
echo "METRIC soak_offthread_calls $(grep '^offthread-calls ' "$log" | tail -1 | awk '{print $2 + 0}') count"
echo "METRIC soak_bypass_calls $(grep '^bypass-calls ' "$log" | tail -1 | awk '{print $2 + 0}') count"

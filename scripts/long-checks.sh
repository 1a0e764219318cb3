#!/bin/sh
# Long checks, printing METRIC lines:
#  - the link stress scenario with 500 rounds of link start and stop (LINK_STRESS_ROUNDS; the
#    test suite runs 40), its ticks running beside the frames;
#  - differential run of the instruction decoder against Zydis and Capstone over every shared
#    library of the system, the MinGW runtime, Wine's PE DLLs, our cross build, and millions of
#    random byte strings;
#  - the trampoline builder on every function entry of those PE images, checked against Zydis;
#  - libFuzzer + AddressSanitizer runs of the decoder and of every parser of outside input
#    (colours, hotkey numbers and briefing lines, airport and radio lines, the IPC reply walk,
#    the ATC text search), FUZZ_SECONDS each (default 300).
set -eu
cd "$(dirname "$0")/.."
. ./scripts/prepare.sh

rounds="${LINK_STRESS_ROUNDS:-500}"
start=$(date +%s)
set +e
LINK_STRESS_ROUNDS="$rounds" build/wine-run build/sim/X-Plane.exe --instance build/runs/link_stress_long \
  --scenario tests/scenarios/link_stress.scn --expect tests/scenarios/link_stress.out >build/link_stress_long.log 2>&1
status=$?
set -e
echo "METRIC link_stress_rounds $rounds count"
echo "METRIC link_stress_seconds $(( $(date +%s) - start )) s"
echo "METRIC link_stress_failures $([ "$status" -eq 0 ] && echo 0 || echo 1) count"
[ "$status" -eq 0 ] || tail -20 build/link_stress_long.log
./scripts/wine-prefix.sh stop
trap - EXIT

CXX=clang++ cmake -S native -B build-native -G Ninja >/dev/null
cmake --build build-native >/dev/null

list=$(mktemp)
trap 'rm -f "$list"' EXIT
find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f -size -40M >>"$list"
find /usr/lib/gcc/x86_64-w64-mingw32 /usr/x86_64-w64-mingw32/lib -type f \
  \( -name '*.dll' -o -name '*.a' -o -name '*.o' \) >>"$list"
find /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -type f \( -name '*.dll' -o -name '*.exe' \) >>"$list"
[ -d build ] && find build/bin build/sim -type f \( -name '*.exe' -o -name '*.dll' -o -name '*.xpl' \) >>"$list"
echo "differential run over $(wc -l <"$list") files"
# shellcheck disable=SC2046
./build-native/decoder_diff --random "${RANDOM_COUNT:-5000000}" --seed 7 $(cat "$list") | grep -v -e ' only-mine: ' -e ' only-oracle: ' -e ' overruled: '

# The trampoline builder on every function entry of every PE image in the list, checked against
# Zydis; entries whose own code branches into their patched bytes are counted.
# shellcheck disable=SC2046
./build-native/trampoline_check $(grep -E '\.(dll|exe|xpl)$' "$list")

# Every fuzz target for FUZZ_SECONDS (default 300) each; the corpus of each grows from run to
# run in build-native/fuzz-corpus/NAME, failing inputs are kept in build-native/fuzz-artifacts-long/NAME.
. ./scripts/fuzz-lib.sh
for name in $FUZZ_TARGETS; do
  fuzz_run "$name" "build-native/fuzz-corpus/$name" "build-native/fuzz-artifacts-long/$name" \
    -max_total_time="${FUZZ_SECONDS:-300}"
done

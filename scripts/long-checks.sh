#!/bin/sh
# Long checks of the instruction decoder, printing METRIC lines:
#  - differential run against Zydis and Capstone over every shared library of the system, the
#    MinGW runtime, Wine's PE DLLs, our cross build, and millions of random byte strings;
#  - a libFuzzer + AddressSanitizer run of the decoder (FUZZ_SECONDS, default 600).
set -eu
cd "$(dirname "$0")/.."
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

seconds="${FUZZ_SECONDS:-600}"
artifacts=build-native/fuzz-artifacts-long
rm -rf "$artifacts" && mkdir -p "$artifacts"
corpus=build-native/fuzz-corpus && mkdir -p "$corpus"
set +e
./build-native/fuzz_decoder "$corpus" -max_total_time="$seconds" -max_len=24 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" >build-native/fuzz.log 2>&1
set -e
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' build-native/fuzz.log)
findings=$(find "$artifacts" -type f | wc -l)
echo "METRIC fuzz_execs_decoder ${execs:-0} count"
echo "METRIC fuzz_findings_decoder $findings count"

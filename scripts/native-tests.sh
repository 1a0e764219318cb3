#!/bin/sh
# Native (Linux) quick checks of the portable instruction decoder: hand-written cases and the
# trampoline builder under sanitizers, a short differential run against Zydis and Capstone over
# real code and random bytes, and a short fuzz run. Builds into build-native/.
set -eu
cd "$(dirname "$0")/.."
CXX=clang++ cmake -S native -B build-native -G Ninja >/dev/null
cmake --build build-native >/dev/null

./build-native/decoder_cases --gtest_brief=1

# Real machine code: a system library, AVX-512-heavy code, the MinGW runtime, Wine's PE DLLs and
# our own cross build when it exists.
files=""
for f in /usr/lib/x86_64-linux-gnu/libc.so.6 \
         /usr/lib/x86_64-linux-gnu/libcrypto.so.3 \
         /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++-6.dll \
         /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc.a \
         /usr/lib/x86_64-linux-gnu/wine/x86_64-windows/ntdll.dll \
         build/sim/Resources/plugins/DURarUravud/64/win.xpl \
         build/bin/hook_engine_tests.exe; do
  [ -f "$f" ] && files="$files $f"
done
# shellcheck disable=SC2086
./build-native/decoder_diff --examples 3 --random 300000 --seed "$(date +%j)" $files

mkdir -p build-native/fuzz-artifacts
./build-native/fuzz_decoder -runs=300000 -max_len=24 -seed=1 \
  -artifact_prefix=build-native/fuzz-artifacts/ 2>&1 | tail -1

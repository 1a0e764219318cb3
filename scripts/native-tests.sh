#!/bin/sh
# Native (Linux) quick checks of the portable code: the decoder's hand-written cases and the
# trampoline builder under sanitizers, a short differential run of the decoder against Zydis and
# Capstone over real code and random bytes, the trampoline builder on every function entry of
# the PE images among them, and short fuzz runs of the decoder and of every parser of outside
# input. Builds into build-native/.
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

# The trampoline builder over every function entry of the PE images among them (and the test DLL
# of MSVC prologue shapes), checked against Zydis.
pe=""
for f in $files build/bin/msvc_shapes.dll; do
  case "$f" in *.dll|*.xpl|*.exe) [ -f "$f" ] && pe="$pe $f" ;; esac
done
# shellcheck disable=SC2086
./build-native/trampoline_check --examples 3 $pe

# Short fuzz runs of the decoder and the parsers of outside input, from the committed seeds only
# (a fixed seed, so a run repeats); any finding fails the command.
. ./scripts/fuzz-lib.sh
failed=""
for name in $FUZZ_TARGETS; do
  corpus=$(mktemp -d)
  fuzz_run "$name" "$corpus" "build-native/fuzz-artifacts/$name" -runs="$(fuzz_short_runs "$name")" -seed=1
  rm -rf "$corpus"
  [ "$fuzz_findings" -eq 0 ] || failed="$failed $name"
done
if [ -n "$failed" ]; then
  echo "fuzz findings:$failed" >&2
  exit 1
fi

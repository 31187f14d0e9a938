#!/usr/bin/env bash
# Builds everything and runs the whole test suite:
#  1. the Release build's tests, the Windows programs under Wine included;
#  2. a bounded differential fuzzing run (clang, libFuzzer) from the seed corpus;
#  3. the tests again on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any failure stops the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_seconds=${FUZZ_SECONDS:-60}

bash scripts/setup.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSHA2HASH_TESTS=ON
cmake --build build -j2
ctest --test-dir build --output-on-failure --no-tests=error

CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHA2HASH_FUZZ=ON \
  -DSHA2HASH_TESTS=OFF
cmake --build build-fuzz -j2 --target fuzz_engines
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp tests/fuzz/corpus/* "$corpus"/
build-fuzz/fuzz_engines -max_total_time="$fuzz_seconds" -max_len=20000 -print_final_stats=1 \
  -artifact_prefix=build-fuzz/ "$corpus"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSHA2HASH_SANITIZE=ON -DSHA2HASH_TESTS=ON
cmake --build build-sanitize -j2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure --no-tests=error --label-exclude 'wine|i386' --exclude-regex '^package$'

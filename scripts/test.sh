#!/usr/bin/env bash
# Builds everything and runs the whole test suite:
#  0. every C++ file laid out as clang-format 14 lays it (.clang-format);
#  1. the Release build's tests, the Windows programs under Wine included;
#  2. the quick program-level tests (label "stress") ten times over while
#     every core is kept busy, so that a test or a program that depends on
#     timing fails here;
#  3. a bounded differential fuzzing run (clang, libFuzzer) from the seed corpus;
#  4. the drivers' and reader's tests (label "reading") with ThreadSanitizer;
#  5. the tests again on a build with AddressSanitizer and UndefinedBehaviorSanitizer.
# Any failure stops the run with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_runs=${FUZZ_RUNS:-60000}

bash scripts/setup.sh

git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format-14 --dry-run --Werror

busy=()
corpus=$(mktemp -d)
stop_busy_loops() { ((${#busy[@]})) && kill "${busy[@]}" 2>/dev/null; busy=(); }
trap 'stop_busy_loops; rm -rf "$corpus"' EXIT

cmake --preset tests
cmake --build --preset tests
ctest --preset tests

# Every core busy (each loop ends by itself after two minutes at most).
for ((i = 0; i < $(nproc); i++)); do
  timeout 120 bash -c 'while :; do :; done' &
  busy+=($!)
done
ctest --preset tests --timeout 60 --repeat until-fail:10 --label-regex '^stress$'
stop_busy_loops

cmake --preset fuzz
cmake --build --preset fuzz
cp tests/fuzz/corpus/* "$corpus"/
build/fuzz/fuzz_engines -runs="$fuzz_runs" -seed=1 -max_len=20000 -print_final_stats=1 \
  -dict=tests/fuzz/checksum.dict -artifact_prefix=build/fuzz/ "$corpus"

cmake --preset threads
cmake --build --preset threads
TSAN_OPTIONS=halt_on_error=1 ctest --preset threads

cmake --preset sanitizers
cmake --build --preset sanitizers
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0" \
  ctest --preset sanitizers

#!/usr/bin/env bash
# Times the three programs against sha*sum and openssl dgst on one 256 MiB
# file in the page cache, in alternating rounds, and prints each command's
# median wall time and each program's ratio to its peers; then the engines'
# block throughput per kernel. Build: Release, in build-bench/.
#   scripts/bench.sh [ROUNDS]   (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}

cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-bench -j2 >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/file"
cat "$work/file" >/dev/null

declare -A peers=(
  [hash256]="sha256sum|openssl dgst -sha256"
  [hash384]="sha384sum|openssl dgst -sha384"
  [hash512]="sha512sum|openssl dgst -sha512"
)
commands=()
for program in hash256 hash384 hash512; do
  commands+=("build-bench/$program")
  IFS='|' read -ra list <<<"${peers[$program]}"
  commands+=("${list[@]}")
done

# Wall seconds of one run, standard input from /dev/null.
run_once() {
  local start end
  start=$(date +%s%N)
  $1 "$work/file" </dev/null >/dev/null
  end=$(date +%s%N)
  echo "scale=4; ($end - $start) / 1000000000" | bc
}

declare -A times
for ((round = 0; round < rounds; round++)); do
  for command in "${commands[@]}"; do
    times[$command]+="$(run_once "$command") "
  done
done

median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "256 MiB file, median of $rounds alternating runs (wall seconds):"
for program in hash256 hash384 hash512; do
  ours=$(median <<<"${times[build-bench/$program]}")
  printf '  %-8s %6.3f s' "$program" "$ours"
  IFS='|' read -ra list <<<"${peers[$program]}"
  for peer in "${list[@]}"; do
    theirs=$(median <<<"${times[$peer]}")
    printf '   %s %.3f s (ratio %.2f)' "$peer" "$theirs" "$(echo "scale=4; $ours / $theirs" | bc)"
  done
  echo
done

# Start-up on a tiny file, and peak memory on the large one.
printf 'x' >"$work/tiny"
for command in build-bench/hash256 build-bench/hash512 sha256sum sha512sum; do
  best=999999999
  for ((i = 0; i < 20; i++)); do
    start=$(date +%s%N); $command "$work/tiny" </dev/null >/dev/null; end=$(date +%s%N)
    ((end - start < best)) && best=$((end - start))
  done
  echo "tiny file, best of 20: $command $((best / 1000)) us"
done
for program in hash256 hash384 hash512; do
  /usr/bin/time -f "peak memory: $program %M KiB" "build-bench/$program" "$work/file" </dev/null >/dev/null
done

build-bench/tests/bench_engines --benchmark_min_time=0.5 2>/dev/null | grep -E 'blocks'

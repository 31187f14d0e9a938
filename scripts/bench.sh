#!/usr/bin/env bash
# The benchmark, side by side in one run (Release builds, a 256 MiB random
# file in the page cache, rounds that run each command once, each started
# directly; medians of wall and processor time, and of each round's ratio
# where two commands are compared, so that a machine whose speed drifts
# between rounds still compares like with like):
#  1. the x86-64 programs against `openssl dgst` and `sha*sum`, and hash512
#     with standard error on a terminal (the progress line) against the same
#     run with it on /dev/null, both under script(1);
#  2. the engines built as a 32-bit x86 program (the linux-i386 preset, as
#     the cross check builds them) against a 32-bit program over libcrypto, where this
#     machine runs 32-bit programs (under qemu the timings would mean
#     nothing, so they are skipped, saying so);
#  3. each kernel's block rate beside libcrypto's in the same process, and
#     `openssl speed -evp`;
#  4. start-up on a one-byte file, and peak memory;
#  5. each program's wall and processor time against its kernel's time for
#     the same bytes in memory, taken right after it in each round, plus
#     start-up (the pure-compute limit);
#  6. cold reads, with the page cache dropped, where root may drop it.
# Installs what it lacks through scripts/setup.sh (libssl-dev:i386 too), as root.
#   scripts/bench.sh [ROUNDS]   (default 7)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=${1:-7}

bash scripts/setup.sh bench >/dev/null

cmake --preset tests >/dev/null
cmake --build --preset tests >/dev/null
bin=build/tests
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c $((256 * 1024 * 1024)) /dev/urandom >"$work/file"
cat "$work/file" >/dev/null

# 32-bit programs: our engines (the linux-i386 preset's cross_digest, with
# the kernels the dispatch picks), and the libcrypto peer.
cmake --preset linux-i386 >/dev/null
cmake --build --preset linux-i386 >/dev/null
cp build/linux-i386/cross_digest "$work/digest32"
gcc -m32 -O2 tests/cross/libcrypto32.c -o "$work/libcrypto32" -lcrypto
run32=yes
if ! "$work/digest32" /dev/null >/dev/null 2>"$work/exec32"; then
  run32="no: $(grep -o "Exec format error" "$work/exec32" || head -c 200 "$work/exec32")"
fi

# The commands, by label; each reads the file in place of FILE, or as its
# last argument. A "kernel for" label is the picked kernel's own time over
# the file's bytes in memory (bench_kernel_file), the program's pure-compute
# limit. Each program runs just before its kernel and its peers, so that the
# ratios of one round see the machine alike.
labels=(hash256 "kernel for hash256" "openssl dgst -sha256" sha256sum
        hash384 "kernel for hash384" "openssl dgst -sha384" sha384sum
        hash512 "kernel for hash512" "openssl dgst -sha512" sha512sum
        "hash512, stderr a terminal" "hash512, stderr /dev/null")
declare -A commands=(
  [hash256]="$bin/hash256" [hash384]="$bin/hash384" [hash512]="$bin/hash512"
  [sha256sum]=sha256sum [sha384sum]=sha384sum [sha512sum]=sha512sum
  ["openssl dgst -sha256"]="openssl dgst -sha256" ["openssl dgst -sha384"]="openssl dgst -sha384"
  ["openssl dgst -sha512"]="openssl dgst -sha512"
  ["hash512, stderr a terminal"]="script -qec '$bin/hash512 FILE </dev/null >/dev/null' /dev/null"
  ["hash512, stderr /dev/null"]="script -qec '$bin/hash512 FILE </dev/null >/dev/null 2>/dev/null' /dev/null"
)
if [[ $run32 == yes ]]; then
  labels+=("32-bit sha256 ours" "32-bit sha256 libcrypto" "32-bit sha512 ours" "32-bit sha512 libcrypto")
  commands+=(["32-bit sha256 ours"]="$work/digest32 FILE sha256"
             ["32-bit sha256 libcrypto"]="$work/libcrypto32 sha256"
             ["32-bit sha512 ours"]="$work/digest32 FILE sha512"
             ["32-bit sha512 libcrypto"]="$work/libcrypto32 sha512")
fi

# One run of a command on a file (in place of FILE, or as its last
# argument), started directly, with no shell in between, and standard input,
# output and error on /dev/null: "WALL CPU" in seconds, CPU being user and
# system time of the command and every child it waited for; nothing, and
# the benchmark stops, if the command fails.
cat >"$work/time1.py" <<'PY'
import os, shlex, sys, time
argv = [a.replace("FILE", sys.argv[2]) for a in shlex.split(sys.argv[1])]
if not any(sys.argv[2] in a for a in argv):
    argv.append(sys.argv[2])
null = os.open(os.devnull, os.O_RDWR)
start = time.perf_counter()
pid = os.posix_spawnp(argv[0], argv, os.environ,
                      file_actions=[(os.POSIX_SPAWN_DUP2, null, fd) for fd in (0, 1, 2)])
_, status, usage = os.wait4(pid, 0)
wall = time.perf_counter() - start
if os.waitstatus_to_exitcode(status) != 0:
    sys.exit("bench.sh: %s failed" % " ".join(argv))
print("%.4f %.4f" % (wall, usage.ru_utime + usage.ru_stime))
PY
timed() { python3 "$work/time1.py" "$1" "${2:-$work/file}"; }

# Each round runs every command once.
declare -A times cpus
for ((round = 0; round < rounds; round++)); do
  for label in "${labels[@]}"; do
    if [[ $label == "kernel for hash"* ]]; then
      engine=sha${label#kernel for hash}
      [[ $engine == sha384 ]] && engine=sha512
      times[$label]+="$("$bin/tests/bench_kernel_file" "$work/file" "$engine" 2>/dev/null) "
      continue
    fi
    read -r wall cpu < <(timed "${commands[$label]}")
    times[$label]+="$wall "
    cpus[$label]+="$cpu "
  done
done
median() { tr ' ' '\n' | grep -v '^$' | sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
m() { median <<<"${times[$1]}"; }
cpu() { median <<<"${cpus[$1]}"; }
# The median over the rounds of A's time over (B's time + ADD): each
# round's two runs close together.
paired() { # A-times B-times [ADD]
  paste <(tr ' ' '\n' <<<"$1" | grep -v '^$') <(tr ' ' '\n' <<<"$2" | grep -v '^$') |
    awk -v add="${3:-0}" '{print $1 / ($2 + add)}' | median
}

echo "CPU: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), $(nproc) cores"
echo "256 MiB file, medians of $rounds rounds (wall seconds; ratios: medians of each round's ratio):"
for bits in 256 384 512; do
  printf '  %-8s %6.3f s (CPU %.3f s)   openssl dgst %.3f s (ratio %.2f)   sha%ssum %.3f s (ratio %.2f)\n' \
    "hash$bits" "$(m "hash$bits")" "$(cpu "hash$bits")" "$(m "openssl dgst -sha$bits")" \
    "$(paired "${times[hash$bits]}" "${times[openssl dgst -sha$bits]}")" \
    "$bits" "$(m "sha${bits}sum")" "$(paired "${times[hash$bits]}" "${times[sha${bits}sum]}")"
done
printf '  CPU seconds of openssl dgst: -sha256 %.3f s, -sha512 %.3f s\n' "$(cpu "openssl dgst -sha256")" \
  "$(cpu "openssl dgst -sha512")"
printf '  hash512 under script(1): stderr a terminal %.3f s, stderr /dev/null %.3f s (ratio %.2f)\n' \
  "$(m "hash512, stderr a terminal")" "$(m "hash512, stderr /dev/null")" \
  "$(paired "${times[hash512, stderr a terminal]}" "${times[hash512, stderr /dev/null]}")"
if [[ $run32 == yes ]]; then
  for bits in 256 512; do
    ours=$(m "32-bit sha$bits ours")
    printf '  32-bit SHA-%s: ours %.3f s, libcrypto %.3f s (ratio %.2f)\n' "$bits" "$ours" \
      "$(m "32-bit sha$bits libcrypto")" \
      "$(paired "${times[32-bit sha$bits ours]}" "${times[32-bit sha$bits libcrypto]}")"
  done
else
  echo "  32-bit figures skipped: this machine does not run 32-bit x86 programs ($run32)"
fi

# Block rates: every kernel of the engines' tables (and the one picked) on
# runs of 32 blocks in the L1 cache, beside libcrypto's digest on the same
# runs in the same process, nine repetitions in random order (the median,
# and the fastest, which a busy machine slows least); then `openssl speed
# -evp` on 16 KiB buffers, three runs, the median. In MB/s (10^6 bytes).
echo "block rates (MB/s): median and fastest of 9 interleaved repetitions"
"$bin/tests/bench_engines" --benchmark_min_warmup_time=0.2 --benchmark_min_time=0.3 \
  --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
  --benchmark_format=json 2>/dev/null >"$work/engines.json"
python3 - "$work/engines.json" <<'PY'
import json, statistics, sys
rates = {}
for run in json.load(open(sys.argv[1]))["benchmarks"]:
    if run.get("run_type") == "iteration" and "bytes_per_second" in run:
        rates.setdefault(run["run_name"], []).append(run["bytes_per_second"] / 1e6)
for name, values in sorted(rates.items()):
    print("  %-28s %6.0f %6.0f" % (name, statistics.median(values), max(values)))
PY
for digest in sha256 sha512; do
  for ((round = 0; round < 3; round++)); do
    openssl speed -evp "$digest" -bytes 16384 -seconds 2 2>/dev/null |
      awk -v d="$digest" '$1 == d {sub("k$", "", $2); print $2 / 1000}'
  done | median | xargs printf '  %-28s %6.0f\n' "openssl speed -evp $digest"
done

# Start-up on a one-byte file (the best of 20 runs, started as above), and
# each program against the pure-compute limit: its picked kernel's time for
# the same bytes, taken in the same rounds, plus start-up.
printf 'x' >"$work/tiny"
declare -A startup
for command in "$bin/hash256" "$bin/hash384" "$bin/hash512" sha256sum sha512sum; do
  startup[$command]=$(for ((i = 0; i < 20; i++)); do timed "$command" "$work/tiny"; done | sort -n | awk 'NR == 1 {print $1}')
  printf 'one-byte file, best of 20: %s %.1f ms\n' "$command" "$(echo "${startup[$command]} * 1000" | bc)"
done
echo "programs against their kernels (256 MiB; ratios: medians of each round's ratio):"
for bits in 256 384 512; do
  kernel=$(m "kernel for hash$bits")
  up=${startup[$bin/hash$bits]}
  printf '  hash%s wall %.3f s, CPU %.3f s; kernel %.3f s + start-up %.3f s (wall ratio %.3f, CPU ratio %.3f)\n' \
    "$bits" "$(m "hash$bits")" "$(cpu "hash$bits")" "$kernel" "$up" \
    "$(paired "${times[hash$bits]}" "${times[kernel for hash$bits]}" "$up")" \
    "$(paired "${cpus[hash$bits]}" "${times[kernel for hash$bits]}" "$up")"
done

# A cold read: the page cache dropped before each run, where root may.
if sync && echo 3 2>/dev/null >/proc/sys/vm/drop_caches; then
  echo "cold reads (page cache dropped before each run), median of 3:"
  for label in hash256 "openssl dgst -sha256" hash512 "openssl dgst -sha512" cat; do
    command=${commands[$label]:-cat}
    runs=""
    for ((round = 0; round < 3; round++)); do
      sync && echo 3 >/proc/sys/vm/drop_caches
      runs+="$(timed "$command" | cut -d' ' -f1) "
    done
    printf '  %-22s %.3f s\n' "$label" "$(median <<<"$runs")"
  done
else
  echo "cold reads skipped: the page cache cannot be dropped here"
fi
for program in hash256 hash384 hash512; do
  /usr/bin/time -f "peak memory: $program %M KiB" "$bin/$program" "$work/file" </dev/null >/dev/null
done

#!/usr/bin/env bash
# The engines and programs built for another architecture by its CMake
# preset, and run under qemu: every kernel the emulated processor has, and
# the one the dispatch picks there, at the block and read-piece boundaries
# of both engines, against coreutils; the programs' digests at the same
# sizes. For 32-bit x86 (the Windows programs' word size) also a sparse
# file just over 4 GiB, whose byte total needs all 64 bits, and, where this
# machine runs 32-bit x86 programs itself, every kernel once more
# natively, for the kernels of instructions qemu lacks (AVX-512). A file cut
# short while the program hashes its mapping. For 64-bit ARM,
# a processor with the SHA-512 instructions (qemu's "max") and one without
# them (cortex-a53), which must pick another SHA-512 kernel.
# Timings under qemu mean nothing; none are taken.
# Exits 77 (skipped) when the compiler or qemu for the architecture is missing.
#   tests/cross/check.sh i386|arm64 [WORK_DIR]
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
arch=${1:-}
work=${2:-$(mktemp -d)}
mkdir -p "$work"

case $arch in
  i386)
    preset=linux-i386 qemu=qemu-i386-static cpus=(default)
    probe() { echo 'int main(){}' | g++ -m32 -x c++ - -o "$work/probe" 2>/dev/null; } ;;
  arm64)
    preset=linux-arm64 qemu=qemu-aarch64-static cpus=(max cortex-a53)
    probe() { echo '#include <cstdio>
int main(){}' | clang++ --target=aarch64-linux-gnu -static -x c++ - -o "$work/probe" 2>/dev/null; } ;;
  *) echo "usage: $0 i386|arm64 [WORK_DIR]"; exit 2 ;;
esac
if ! command -v "$qemu" >/dev/null || ! probe; then
  echo "skipped: the $arch compiler or libraries, or $qemu, are missing (scripts/setup.sh installs them)"
  exit 77
fi

cd "$source_dir" || exit 1
{ cmake --preset "$preset" && cmake --build --preset "$preset"; } >"$work/build.log" 2>&1 ||
  { cat "$work/build.log"; exit 1; }
bin="$source_dir/build/$preset"

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }
emulate() { # cpu program arguments...
  case $1 in
    default) "$qemu" "${@:2}" ;;
    native) "${@:2}" ;;
    *) "$qemu" -cpu "$1" "${@:2}" ;;
  esac
}
if [[ $arch == i386 ]] && "$work/probe" 2>/dev/null; then
  cpus+=(native)
fi

# Every line of cross_digest must be the digest coreutils gives.
check_kernels() { # cpu file [mode]
  local sha256 sha512 lines line algorithm label hex wrong=0
  sha256=$(sha256sum "$2" | cut -d' ' -f1)
  sha512=$(sha512sum "$2" | cut -d' ' -f1)
  lines=$(emulate "$1" "$bin/cross_digest" "$2" "${3:-every}") || wrong=1
  while read -r algorithm label hex; do
    [[ ($algorithm == sha256 && $hex == "$sha256") || ($algorithm == sha512 && $hex == "$sha512") ]] || wrong=1
  done <<<"$lines"
  [[ $wrong == 0 && -n "$lines" ]] && pass || fail "$1 $2: $lines"
}

head -c 150000 /dev/urandom >"$work/random"
sizes=(0 55 56 64 111 112 128 4095 4096 4097 4152 65535 65536 65537 65648 150000)
for cpu in "${cpus[@]}"; do
  echo "$arch, cpu $cpu: $(emulate "$cpu" "$bin/cross_digest" /dev/null every | cut -d' ' -f1,2 | tr '\n' ' ')"
  for size in "${sizes[@]}"; do
    head -c "$size" "$work/random" >"$work/f$size"
    check_kernels "$cpu" "$work/f$size"
  done
done

# The programs, on the default processor: the digest line of each report.
for size in "${sizes[@]}"; do
  for bits in 256 384 512; do
    shown=$(emulate "${cpus[0]}" "$bin/hash$bits" "$work/f$size" </dev/null | sed -n 3p)
    [[ "$shown" == "$(sha${bits}sum "$work/f$size" | cut -d' ' -f1)" ]] && pass ||
      fail "hash$bits on $size bytes: $shown"
  done
done

# A file cut short while its mapping is hashed: the fault reaches the
# program as the system gives it under emulation too, and ends in the file
# error message (status 1), or, where the reading had ended first, in the
# whole file's digest; never in another digest or a killed program.
head -c $((64 << 20)) /dev/urandom >"$work/cut"
whole=$(sha512sum "$work/cut" | cut -d' ' -f1)
emulate "${cpus[0]}" "$bin/hash512" "$work/cut" </dev/null >"$work/cut.out" &
program=$!
for ((tries = 0; tries < 6000; tries++)); do
  grep -q "$work/cut" "/proc/$program/maps" 2>/dev/null && break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.01
done
truncate -s 1000 "$work/cut"
wait "$program"
status=$?
shown=$(sed -n 3p "$work/cut.out")
if [[ $status == 1 && $(head -c 6 "$work/cut.out" | od -An -tx1 | tr -d ' ') == e38395e382a1 ]] ||
   [[ $status == 0 && $shown == "$whole" ]]; then
  pass
else
  fail "hash512 on a file cut while mapped: status $status, $(head -c 200 "$work/cut.out")"
fi
rm -f "$work/cut"

if [[ $arch == arm64 ]]; then
  # The ARM kernels where the instructions are, another SHA-512 kernel where not.
  picked() { emulate "$1" "$bin/cross_digest" /dev/null | cut -d' ' -f2 | tr '\n' ' '; }
  [[ $(picked max) == "picked:armv8 picked:armv8 " ]] && pass || fail "picked on max: $(picked max)"
  [[ $(picked cortex-a53) == "picked:armv8 picked:portable " ]] && pass ||
    fail "picked on cortex-a53: $(picked cortex-a53)"
fi
if [[ $arch == i386 ]]; then
  printf 'head' >"$work/big" && truncate -s $((4 * 1024 * 1024 * 1024 + 77)) "$work/big"
  check_kernels default "$work/big" sha256
  rm -f "$work/big"
fi

echo "$arch: $passed passed, $failed failed"
[[ $failed == 0 ]]

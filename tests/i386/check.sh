#!/usr/bin/env bash
# The engines built as a 32-bit x86 program (the original target's word
# size) and run under qemu-i386: digests through every kernel the emulated
# processor has at block and read boundaries, and a sparse file just over
# 4 GiB, whose byte total needs all 64 bits.
# Exits 77 (skipped) without g++ -m32 or qemu-i386-static.
#   tests/i386/check.sh [WORK_DIR]
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"

if ! command -v qemu-i386-static >/dev/null || ! echo 'int main(){}' | g++ -m32 -x c++ - -o "$work/probe" 2>/dev/null; then
  echo "skipped: g++ -m32 (g++-multilib) or qemu-i386-static (qemu-user-static) is missing"
  exit 77
fi

cd "$source_dir" || exit 1
g++ -m32 -O2 -std=c++17 -static -D_FILE_OFFSET_BITS=64 -Isha256 -Isha512 -Iplatform \
  tests/i386/digest32.cpp platform/platform_posix.cpp platform/progress.cpp sha256/sha256.cpp sha256/sha256_shani.cpp sha256/sha256_dispatch.cpp \
  sha512/sha512.cpp sha512/sha512_avx2.cpp sha512/sha512_avx512.cpp sha512/sha512_vector.cpp \
  sha512/sha512_dispatch.cpp \
  -o "$work/digest32" || exit 1
file_format=$(od -An -tx1 -j4 -N1 "$work/digest32" | tr -d ' ')
[[ "$file_format" == 01 ]] || { echo "digest32 is not a 32-bit ELF program"; exit 1; }

passed=0
failed=0
# Every line must be the digest its algorithm gives by coreutils.
check() { # file [every]
  local sha256 sha512 lines line
  sha256=$(sha256sum "$1" | cut -d' ' -f1)
  sha512=$(sha512sum "$1" | cut -d' ' -f1)
  lines=$(qemu-i386-static "$work/digest32" "$1" $2)
  local count=0 wrong=0
  while read -r line; do
    count=$((count + 1))
    [[ "$line" == "sha256 $sha256" || "$line" == "sha512 $sha512" ]] || wrong=1
  done <<<"$lines"
  if [[ $wrong == 0 && $count -ge 1 ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL: $1: $lines"
  fi
}

# Every kernel the emulated processor has, at the block and read boundaries.
echo "kernels run: $(qemu-i386-static "$work/digest32" /dev/null every | wc -l) (SHA-256 and SHA-512 lines)"
head -c 10000 /dev/urandom >"$work/random"
for size in 0 55 56 111 112 128 4095 4096 4152 4207 4208 8192 10000; do
  head -c "$size" "$work/random" >"$work/f$size"
  check "$work/f$size" every
done
printf 'head' >"$work/big" && truncate -s $((4 * 1024 * 1024 * 1024 + 77)) "$work/big"
check "$work/big" sha256
rm -f "$work/big"

echo "i386: $passed passed, $failed failed"
[[ $failed == 0 ]]

#!/usr/bin/env bash
# The engines built as a 32-bit x86 program (the original target's word
# size) and run under qemu-i386: digests at block and read boundaries, and a
# sparse file just over 4 GiB, whose byte total needs all 64 bits.
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
  sha512/sha512.cpp sha512/sha512_avx2.cpp sha512/sha512_avx512.cpp sha512/sha512_dispatch.cpp \
  -o "$work/digest32" || exit 1
file_format=$(od -An -tx1 -j4 -N1 "$work/digest32" | tr -d ' ')
[[ "$file_format" == 01 ]] || { echo "digest32 is not a 32-bit ELF program"; exit 1; }

passed=0
failed=0
check() { # file with-sha512
  local expected
  expected=$(sha256sum "$1" | cut -d' ' -f1)
  [[ -n "$2" ]] && expected+=$'\n'$(sha512sum "$1" | cut -d' ' -f1)
  if [[ "$(qemu-i386-static "$work/digest32" "$1" $2)" == "$expected" ]]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1)); echo "FAIL: $1"
  fi
}

head -c 10000 /dev/urandom >"$work/random"
for size in 0 55 56 111 112 128 4095 4096 4152 10000; do
  head -c "$size" "$work/random" >"$work/f$size"
  check "$work/f$size" sha512
done
printf 'head' >"$work/big" && truncate -s $((4 * 1024 * 1024 * 1024 + 77)) "$work/big"
check "$work/big" ""
rm -f "$work/big"

echo "i386: $passed passed, $failed failed"
[[ $failed == 0 ]]

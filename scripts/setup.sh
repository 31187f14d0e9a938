#!/usr/bin/env bash
# Installs what the build and the test suite need and a fresh machine may
# lack: Debian packages only, nothing when all are present. Runs as root.
#   scripts/setup.sh [bench]   bench: also the benchmark's 32-bit libcrypto peer
set -euo pipefail

packages=(cmake g++ clang clang-format-14 libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
          python3 locales dpkg-dev bc mandoc lintian desktop-file-utils gpgv gnupg gpgv-win32
          g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 g++-multilib
          qemu-user-static libstdc++-12-dev-arm64-cross libc6-dev-arm64-cross binutils-aarch64-linux-gnu)
if [[ ${1:-} == bench ]]; then
  packages+=(libssl-dev:i386)
fi

# wine32 is an i386 package.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

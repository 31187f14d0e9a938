#!/usr/bin/env bash
# Installs what the build and the test suite need and a fresh machine may
# lack. Debian packages only; does nothing when all are present.
set -euo pipefail

packages=(cmake g++ libgtest-dev libgmock-dev libssl-dev locales)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

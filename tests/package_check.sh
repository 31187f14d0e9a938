#!/usr/bin/env bash
# cmake --install puts the three programs in bin/ of the prefix, and cpack
# makes a Debian package holding them.
#   tests/package_check.sh BUILD_DIR WORK_DIR
set -eu
build=$1
work=$2
rm -rf "$work" && mkdir -p "$work"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for program in hash512 hash384 hash256; do
  [[ -x "$work/prefix/bin/$program" ]] || { echo "not installed: bin/$program"; exit 1; }
done

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/sha2hash_*.deb)
listing=$(dpkg-deb -c "$deb")
for program in hash512 hash384 hash256; do
  grep -q "/usr/bin/$program\$" <<<"$listing" || { echo "$deb lacks $program"; exit 1; }
done
[[ $(dpkg-deb -f "$deb" Package) == sha2hash ]]
echo "package: $deb"

#!/usr/bin/env bash
# cmake --install puts the programs, the manual pages and the desktop entries
# under the prefix, and cpack makes a Debian package of them that lintian,
# mandoc and desktop-file-validate find clean (the maintainer's address
# aside: the project has no public one yet).
#   tests/package_check.sh SOURCE_DIR BUILD_DIR WORK_DIR
set -eu
source=$1
build=$2
work=$3
rm -rf "$work" && mkdir -p "$work"

cmake --install "$build" --prefix "$work/prefix" >/dev/null
for file in bin/hash512 bin/hash384 bin/hash256 share/man/man1/hash512.1.gz share/man/man1/hash384.1.gz \
            share/man/man1/hash256.1.gz share/doc/sha2hash/copyright share/doc/sha2hash/changelog.gz; do
  [[ -e "$work/prefix/$file" ]] || { echo "not installed: $file"; exit 1; }
done
for program in hash512 hash384 hash256; do
  desktop-file-validate "$work/prefix/share/applications/$program.desktop"
  grep -qx "Exec=$program %f" "$work/prefix/share/applications/$program.desktop"
done
lint=$(mandoc -T lint -W warning "$source/packaging/hash512.1" 2>&1) || true
[[ -z "$lint" ]] || { echo "mandoc: $lint"; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log) || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/sha2hash_*.deb)
listing=$(dpkg-deb -c "$deb")
for program in hash512 hash384 hash256; do
  grep -q "/usr/bin/$program\$" <<<"$listing" || { echo "$deb lacks $program"; exit 1; }
done
[[ $(dpkg-deb -f "$deb" Package) == sha2hash ]]
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/sha2hash/copyright | grep -qx 'License: Expat' ||
  { echo "the package's copyright file names no free licence"; exit 1; }
[[ $(dpkg-deb -f "$deb" Depends) == libc6* ]] || { echo "Depends: $(dpkg-deb -f "$deb" Depends)"; exit 1; }
report=$(lintian --suppress-tags bogus-mail-host,bogus-mail-host-in-debian-changelog "$deb" 2>/dev/null) ||
  { echo "lintian: $report"; exit 1; }
[[ -z "$report" ]] || { echo "lintian: $report"; exit 1; }
echo "package: $deb"

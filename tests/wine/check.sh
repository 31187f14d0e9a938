#!/usr/bin/env bash
# Builds the Windows programs with the mingw-w64 cross compilers and checks
# them under Wine as a user of the original target would see them: exact
# report bytes with CR LF line ends, the stored Shift-JIS message, the
# interpreter's pause prompt, exit statuses, a wildcard argument, and a file
# over 4 GiB. Exits 77 (skipped) when the cross compiler or Wine is missing.
#   tests/wine/check.sh [WORK_DIR]
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v wine >/dev/null; then
  echo "skipped: the i686-w64-mingw32 cross compiler or Wine is not installed"
  exit 77
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

build() { # toolchain folder
  cmake -S "$source_dir" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/$1.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DSHA2HASH_TESTS=OFF >"$2.log" 2>&1 &&
    cmake --build "$2" -j2 >>"$2.log" 2>&1 || { cat "$2.log"; exit 1; }
}

# The shipped target: 32-bit x86 programs that import only KERNEL32 and msvcrt.
build mingw-i686 "$work/win32"
for program in hash512 hash384 hash256; do
  imports=$(i686-w64-mingw32-objdump -p "$work/win32/$program.exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
  if i686-w64-mingw32-objdump -f "$work/win32/$program.exe" | grep -q 'pei-i386' &&
     [[ "$imports" == "KERNEL32.dll msvcrt.dll " ]]; then pass; else fail "$program.exe: imports $imports"; fi
done

# Run the 32-bit programs where Wine can; a kernel without 32-bit support
# cannot start the 32-bit Wine loader, and then the same sources built for
# 64-bit Windows run under 64-bit Wine instead.
export WINEDEBUG=-all WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml="
wine "$work/win32/hash256.exe" </dev/null >"$work/probe" 2>/dev/null
if [[ $? == 1 && -s "$work/probe" ]]; then
  wine=wine
  exe_dir="$work/win32"
else
  echo "note: this kernel cannot run 32-bit Wine; checking the 64-bit Windows build"
  wine=/usr/lib/wine/wine64
  [[ -x "$wine" ]] || { echo "skipped: no 64-bit Wine either"; exit 77; }
  command -v x86_64-w64-mingw32-g++ >/dev/null || { echo "skipped: no x86_64-w64-mingw32-g++"; exit 77; }
  build mingw-x86_64 "$work/win64"
  exe_dir="$work/win64"
fi
# Let Wine finish setting up its prefix, then keep one wineserver running
# for all the runs below (ended when the script ends): a program started
# while the last one's server shuts down can otherwise fail to start.
"$wine" wineboot --init </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null' EXIT

data="$work/data"
mkdir -p "$data"
cd "$data" || exit 1
message=$'\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD'
unit=$'\x95\x62'

# Runs one program with standard input from the null device, and the
# variables in wine_env set; leaves its output in $out, its status in
# $status, and its standard error in $work/err.
wine_env=()
run() {
  env "${wine_env[@]}" "$wine" "$exe_dir/$1.exe" "${@:2}" </dev/null >"$work/out" 2>"$work/err"
  status=$?
  out=$(od -An -v -tx1 "$work/out" | tr -d ' \n')
}
hex() { printf '%s' "$1" | od -An -v -tx1 | tr -d ' \n'; }
prompt=$(hex "Press any key")
crlf=0d0a

# The report must be the path, an empty line, the digest, and (hash384) the
# seconds line, each line ended by CR LF, followed by the pause prompt.
check_report() { # program path expected-digest
  run "$1" "$2"
  local head
  head=$(hex "$2")$crlf$crlf$(hex "$3")
  local rest=${out#"$head"}
  if [[ "$1" == hash384 ]]; then
    local seconds
    seconds=$(printf '%s' "$rest" | sed -E "s/^${crlf}((3[0-9])+2e(3[0-9]){6})$(hex "$unit").*/\1/")
    [[ "$seconds" != "$rest" ]] && rest=${rest#"$crlf$seconds$(hex "$unit")"}
  fi
  if [[ $status == 0 && "$rest" != "$out" && "$rest" == "$crlf$crlf$prompt"* ]]; then
    pass
  else
    fail "$1 $2: status $status, output $out"
  fi
}

check_failure() { # program arguments...
  run "$@"
  if [[ $status == 1 && "$out" == "$(hex "$message")$crlf$crlf$prompt"* ]]; then
    pass
  else
    fail "$* (failure expected): status $status, output $out"
  fi
}

# Digests around every block and read-piece boundary, against coreutils.
head -c 20000 /dev/urandom >random
for size in 0 1 55 56 63 64 65 111 112 127 128 129 4095 4096 4097 4152 8192; do
  head -c "$size" random >"f$size"
  check_report hash512 "f$size" "$(sha512sum "f$size" | cut -d' ' -f1)"
  check_report hash384 "f$size" "$(sha384sum "f$size" | cut -d' ' -f1)"
  check_report hash256 "f$size" "$(sha256sum "f$size" | cut -d' ' -f1)"
done

# Failures: a missing file, a folder, no argument at all.
for program in hash512 hash384 hash256; do
  check_failure "$program" missing.bin
  check_failure "$program" .
  check_failure "$program"
done

# The start-up code expands a wildcard; the first match is hashed and printed.
mkdir -p glob && printf 'abc' >glob/only-match.txt
(cd glob && run hash256 'only-*.txt'
 [[ $status == 0 && "$out" == "$(hex only-match.txt)$crlf$crlf$(hex "$(sha256sum only-match.txt | cut -d' ' -f1)")"* ]]) &&
  pass || fail "wildcard argument: $out"

# Names that the ANSI code page cannot spell open by their wide-character
# name, under the Japanese (932) and the Western (1252) code page, which Wine
# takes from the locale. "cafe.bin", the best-fit spelling of "café.bin",
# must not stand in for it. The first line shows the name in the code page
# (and the pause speaks its language, so its prompt is not checked here).
locales="$work/locales"
mkdir -p "$locales" names
localedef --no-warnings=ascii -c -i ja_JP -f UTF-8 "$locales/ja_JP.UTF-8" >/dev/null 2>&1
localedef --no-warnings=ascii -c -i en_US -f UTF-8 "$locales/en_US.UTF-8" >/dev/null 2>&1
names=(café.bin 日本語.bin 한국어.bin 😀.bin)
(cd names && printf 'other' >cafe.bin && for name in "${names[@]}"; do head -c 1000 ../random >"$name"; done)
digest=$(head -c 1000 random | sha256sum | cut -d' ' -f1)
declare -A shown=([ja_JP.UTF-8]="日本語.bin $(hex $'\x93\xfa\x96\x7b\x8c\xea.bin')"
                  [en_US.UTF-8]="café.bin $(hex $'caf\xe9.bin')")
cd names || exit 1
for locale in ja_JP.UTF-8 en_US.UTF-8; do
  wine_env=(LOCPATH="$locales" LC_ALL="$locale")
  for name in "${names[@]}"; do
    run hash256 "$name"
    [[ $status == 0 && "$out" == *"$crlf$crlf$(hex "$digest")$crlf$crlf"* ]] &&
      pass || fail "$locale $name: status $status, output $out"
    if [[ "$name" == "${shown[$locale]%% *}" ]]; then
      [[ "$out" == "${shown[$locale]#* }$crlf"* ]] && pass || fail "$locale: $name not shown in the code page: $out"
    fi
  done
  run hash256 없음.bin
  [[ $status == 1 && "$out" == "$(hex "$message")$crlf$crlf"* ]] && pass || fail "$locale: missing file: $out"
done
wine_env=()
cd "$data" || exit 1

# Over 4 GiB: the byte total must not wrap at 32 bits. A run that long would
# show its progress on a console; standard error is a file here, and stays
# empty.
printf 'head' >big && truncate -s $((4 * 1024 * 1024 * 1024 + 77)) big &&
  check_report hash256 big "$(sha256sum big | cut -d' ' -f1)"
[[ ! -s "$work/err" ]] && pass || fail "standard error of a long run: $(head -c 300 "$work/err")"
rm -f big

# The Windows package: a .zip of the three programs and the README.
(cd "$work/win32" && cpack -G ZIP >cpack.log 2>&1) &&
  listing=$(cmake -E tar tf "$work"/win32/sha2hash-*-win32.zip) &&
  for name in bin/hash512.exe bin/hash384.exe bin/hash256.exe README.md; do
    grep -q "/$name\$" <<<"$listing" || false
  done && pass || fail "Windows zip: $(cat "$work/win32/cpack.log") ${listing:-}"

echo "wine: $passed passed, $failed failed"
[[ $failed == 0 ]]

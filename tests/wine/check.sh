#!/usr/bin/env bash
# Builds the Windows programs with the mingw-w64 cross compilers, 32-bit (the
# shipped target) and 64-bit, checks what each build ships (word size,
# imports, version information, its zip), and runs them under Wine as a user
# of the target would see them: exact report bytes with CR LF line ends, the
# stored Shift-JIS message, the interpreter's pause prompt, exit statuses,
# wildcard arguments, a key typed before the pause, names outside the code
# page, the message on a console under another code page, a file over 4 GiB,
# and the verdict on a console (a pseudo-terminal, which Wine makes a console).
# Exits 77 (skipped) when a cross compiler or Wine is missing.
#   tests/wine/check.sh [WORK_DIR]
set -u
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
wine64=/usr/lib/wine/wine64

if ! command -v i686-w64-mingw32-g++ >/dev/null || ! command -v x86_64-w64-mingw32-g++ >/dev/null ||
   ! command -v wine >/dev/null || [[ ! -x "$wine64" ]]; then
  echo "skipped: a mingw-w64 cross compiler or Wine (wine, wine64) is not installed"
  exit 77
fi

passed=0
failed=0
pass() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAIL: $*"; }

# Each word size through its CMake preset, in the source tree's build/win32
# and build/win64, with its zip.
build() { # preset
  mkdir -p "$work/$1"
  (cd "$source_dir" && cmake --preset "$1" && cmake --build --preset "$1" && cd "build/$1" && cpack -G ZIP) \
    >"$work/$1.log" 2>&1 || { cat "$work/$1.log"; exit 1; }
}
build win32
build win64
builds=$source_dir/build
x86_64-w64-mingw32-g++ -O2 -static -municode "$source_dir/tests/wine/version_info.cpp" \
  -o "$work/version_info.exe" -lversion || exit 1
x86_64-w64-mingw32-g++ -O2 -static "$source_dir/tests/wine/set_clipboard.cpp" -o "$work/set_clipboard.exe" || exit 1
x86_64-w64-mingw32-g++ -O2 -static -municode "$source_dir/tests/wine/shell_verb.cpp" -o "$work/shell_verb.exe" \
  || exit 1
x86_64-w64-mingw32-g++ -O2 -static "$source_dir/tests/wine/clipboard_owner.cpp" -o "$work/clipboard_owner.exe" ||
  exit 1
x86_64-w64-mingw32-g++ -std=c++17 -O2 -static -I"$source_dir" "$source_dir/tests/wine/clipboard_console.cpp" \
  "$source_dir/platform/windows/lookup.cpp" "$source_dir/platform/windows/arguments.cpp" \
  -o "$work/clipboard_console.exe" || exit 1
x86_64-w64-mingw32-g++ -O2 -static "$source_dir/tests/wine/fake_gpgv.cpp" -o "$work/fake_gpgv.exe" || exit 1

export WINEDEBUG=-all WINEPREFIX="$work/prefix" WINEDLLOVERRIDES="mscoree,mshtml="
# Let Wine finish setting up its prefix, then keep one wineserver running
# for all the runs below (ended when the script ends): a program started
# while the last one's server shuts down can otherwise fail to start.
"$wine64" wineboot --init </dev/null >/dev/null 2>&1
wineserver -w
wineserver -p
trap 'wineserver -k 2>/dev/null' EXIT

# Each zip holds the three programs of its word size, importing only
# KERNEL32 and msvcrt, each with its version information in English and
# Japanese, its icon in every size from 16 to 256 pixels, and a manifest
# that asks for the caller's rights, names Windows Vista to 11 and changes
# no code page; the users' README (UTF-8 with a byte order mark), whose
# first lines give the three ways to use a program, and the licence, with
# CR LF line ends; and the menu scripts, ASCII with CR LF. The developers'
# README stays out.
declare -A formats=([win32]=pei-i386 [win64]=pei-x86-64)
declare -A digests=([hash512]=SHA-512 [hash384]=SHA-384 [hash256]=SHA-256)
declare -A digests_ja=([hash512]="ファイルの SHA-512 ダイジェスト" [hash384]="ファイルの SHA-384 ダイジェストと所要時間"
                       [hash256]="ファイルの SHA-256 ダイジェスト")
supported_os="e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a
4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78 8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"
version=$(sed -nE 's/^project\(sha2hash VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
for build in win32 win64; do
  unpacked="$work/$build/unpacked"
  rm -rf "$unpacked" && mkdir -p "$unpacked"
  (cd "$unpacked" && cmake -E tar xf "$builds/$build/sha2hash-$version-$build.zip") || fail "no $build zip"
  top="$unpacked/sha2hash-$version-$build"
  [[ ! -e "$top/README.md" && $(head -c 3 "$top/README.txt" | od -An -tx1 | tr -d ' ') == efbbbf ]] &&
    pass || fail "$build zip: README.txt without a byte order mark, or README.md"
  for file in README.txt LICENSE.txt install.cmd uninstall.cmd; do
    [[ -s "$top/$file" ]] && ! grep -q $'[^\r]$' "$top/$file" && pass || fail "$build zip: $file lacks CR LF"
  done
  ! LC_ALL=C grep -q $'[^ -~\r]' "$top/install.cmd" "$top/uninstall.cmd" && pass || fail "$build zip: scripts not ASCII"
  grep -q "MIT License" "$top/LICENSE.txt" && pass || fail "$build zip: no licence"
  first=$(head -n 12 "$top/README.txt")
  for way in ドロップ "Drop a file" install.cmd 右クリック right-click コマンドプロンプト "command prompt"; do
    [[ "$first" == *"$way"* ]] && pass || fail "$build zip: README.txt does not begin with '$way'"
  done
  for program in hash512 hash384 hash256; do
    exe="$top/bin/$program.exe"
    imports=$(x86_64-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}' | sort | tr '\n' ' ')
    if x86_64-w64-mingw32-objdump -f "$exe" | grep -q "file format ${formats[$build]}\$" &&
       [[ "$imports" == "KERNEL32.dll msvcrt.dll " ]]; then pass; else fail "$build $program.exe: imports $imports"; fi
    info=$("$wine64" "$work/version_info.exe" "$exe" </dev/null 2>/dev/null | tr -d '\r')
    expected="ProductName=sha2hash
FileDescription=${digests[$program]} digest of a file$([[ $program == hash384 ]] && echo ", timed")
FileVersion=$version
ProductVersion=$version
OriginalFilename=$program.exe
LegalCopyright=Copyright (c) 2026 the sha2hash authors. MIT License.
ja.ProductName=sha2hash
ja.FileDescription=${digests_ja[$program]}
ja.FileVersion=$version
ja.ProductVersion=$version
ja.OriginalFilename=$program.exe
ja.LegalCopyright=Copyright (c) 2026 the sha2hash authors. MIT ライセンス
Translation=0409:1200 0411:1200
Fixed=$version.0"
    [[ "$info" == "$expected" ]] && pass || fail "$build $program.exe version information: $info"
    info=$("$wine64" "$work/version_info.exe" "$exe" icon </dev/null 2>/dev/null | tr -d '\r')
    [[ "$info" == "Icon=16 24 32 48 64 128 256" ]] && pass || fail "$build $program.exe icon: $info"
    info=$("$wine64" "$work/version_info.exe" "$exe" manifest </dev/null 2>/dev/null | tr -d '\r')
    [[ "$info" == *'<requestedExecutionLevel level="asInvoker"'* && "$info" != *activeCodePage* &&
       $(grep -o 'supportedOS Id="{[^}]*}"' <<<"$info" | cut -d'{' -f2 | tr -d '}"' | tr '\n' ' ') == \
       "$(echo $supported_os) " ]] && pass || fail "$build $program.exe manifest: $info"
  done
done

data="$work/data"
mkdir -p "$data"
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

# The programs of one build, run by one Wine.
check_programs() { # folder wine
  exe_dir=$1
  wine=$2
  cd "$data" || return
  # Digests around every block and read-piece boundary, against coreutils.
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

  # A wildcard whose first match is a folder hashes the first file it matches.
  mkdir -p glob2/a_dir && printf 'abc' >glob2/b.bin
  (cd glob2 && run hash256 '*'
   [[ $status == 0 && "$out" == "$(hex b.bin)$crlf$crlf$(hex "$(sha256sum b.bin | cut -d' ' -f1)")"* ]]) &&
    pass || fail "wildcard with a folder first: $out"

  # Started bare on a console: after the message and its empty line, how
  # the program is used, then the prompt. Standard output is the same bytes
  # as in a redirected run, which says nothing of it.
  for program in hash512 hash384 hash256; do
    run "$program"
    local bare=$out
    [[ ! -s "$work/err" ]] && pass || fail "$program bare, redirected: $(head -c 300 "$work/err")"
    console=$(script -qec "$wine $exe_dir/$program.exe </dev/null" /dev/null 2>&1 |
      sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' | tr '\n' ' ')
    [[ "$console" == "ファイルエラーが発生しました  使い方: ファイルを $program.exe かその"*"Usage: drop a file onto $program.exe or its shortcut, use the Explorer menu that install.cmd adds, or type $program FILE [DIGEST]  Press any key"* ]] &&
      pass || fail "$program bare on a console: $console"
    console=$(script -qec "$wine $exe_dir/$program.exe </dev/null >$work/out" /dev/null 2>&1 |
      sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' | tr '\n' ' ')
    out=$(od -An -v -tx1 "$work/out" | tr -d ' \n')
    [[ "$console" == "使い方: "*"$program FILE [DIGEST]"* && "$out" == "$bare" ]] &&
      pass || fail "$program bare, standard output redirected: $console / $out"
    console=$(script -qec "$wine $exe_dir/$program.exe </dev/null 2>$work/err" /dev/null 2>&1 |
      sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' | tr '\n' ' ')
    [[ "$console" == "ファイルエラーが発生しました  Press any key"* && ! -s "$work/err" ]] &&
      pass || fail "$program bare, standard error redirected: $console"
  done
  # With an argument, nothing of it.
  console=$(script -qec "$wine $exe_dir/hash256.exe missing.bin </dev/null" /dev/null 2>&1 |
    sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' | tr '\n' ' ')
  [[ "$console" == "ファイルエラーが発生しました  Press any key"* ]] && pass || fail "missing file on a console: $console"

  # A first wildcard that matches nothing stays as written, whatever a later
  # one matches: the message and status 1.
  mkdir -p glob3 && printf 'abc' >glob3/b.bin && printf 'abc' >glob3/c.bin
  (cd glob3 && run hash256 '*.none' '*.bin'
   [[ $status == 1 && "$out" == "$(hex "$message")$crlf$crlf$prompt"* ]]) &&
    pass || fail "first wildcard matching nothing: status $status, output $out"

  # A path longer than the plain form's 260 characters.
  local deep
  deep=long/$(printf 'd%.0s' {1..60})/$(printf 'e%.0s' {1..60})/$(printf 'f%.0s' {1..60})
  deep=$deep/$(printf 'g%.0s' {1..60})/$(printf 'h%.0s' {1..60})
  mkdir -p "$deep" && head -c 3000 random >"$deep/file.bin"
  check_report hash256 "${deep//\//\\}\\file.bin" "$(sha256sum "$deep/file.bin" | cut -d' ' -f1)"

  # Where the command interpreter is missing, the program prompts and
  # waits itself.
  local interpreters=("$WINEPREFIX"/drive_c/windows/*/cmd.exe)
  for interpreter in "${interpreters[@]}"; do mv "$interpreter" "$interpreter.away"; done
  run hash256 f1
  for interpreter in "${interpreters[@]}"; do mv "$interpreter.away" "$interpreter"; done
  [[ $status == 0 && "$out" == *"$crlf$crlf$(hex "Press any key to continue . . . ")"* ]] &&
    pass || fail "no prompt without cmd.exe: status $status, output $out"

  # A key typed on the console while the file (a FIFO) is read does not end
  # the pause; one typed while the pause reads does. Wine's trace of the
  # console shows when it has read the first key from the terminal, when the
  # pause reads, and which key came after the pause discarded its input.
  rm -f keys.fifo data.fifo && mkfifo keys.fifo data.fifo
  exec 3<>keys.fifo
  WINEDEBUG=+console script -qfec "$wine $exe_dir/hash256.exe data.fifo" /dev/null <keys.fifo \
    >"$work/terminal" 2>&1 &
  local terminal=$!
  traced() { # pattern [after]: waits until the trace shows pattern after the line matching after
    local i
    for ((i = 0; i < 600; i++)); do
      sed -n "/${2:-.}/,\$p" "$work/terminal" | grep -q "$1" && return 0
      kill -0 "$terminal" 2>/dev/null || return 1
      sleep 0.1
    done
    return 1
  }
  printf x >&3
  traced 'tty_input L"x"'
  timeout 60 sh -c 'printf abc >data.fifo'
  traced 'read_console\|pending read' 'input_ioctl flush'
  printf k >&3
  exec 3>&-
  wait "$terminal"
  status=$?
  [[ $status == 0 && $(sed -n '/input_ioctl flush/,$p' "$work/terminal" | grep -m1 -o 'tty_input L"."') == \
     'tty_input L"k"' ]] && pass || fail "a key typed before the pause ended it: status $status"

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
  cd names || return
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
  # The first line never names the best-fit twin: redirected, a letter the
  # code page lacks is '?'; on a console, the name is as Explorer shows it.
  wine_env=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8)
  run hash256 café.bin
  [[ "$out" == "$(hex 'caf?.bin')$crlf"* ]] && pass || fail "café.bin redirected under 932: $out"
  printf 'twin' >O.bin && head -c 1000 ../random >Ω.bin
  wine_env=(LOCPATH="$locales" LC_ALL=en_US.UTF-8)
  run hash256 Ω.bin
  [[ "$out" == "$(hex '?.bin')$crlf$crlf$(hex "$digest")"* ]] && pass || fail "Ω.bin redirected under 1252: $out"
  wine_env=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8)
  local console
  console=$(env "${wine_env[@]}" script -qec "$wine $exe_dir/hash256.exe café.bin </dev/null" /dev/null 2>&1 |
    sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r')
  [[ "$console" == "café.bin"$'\n\n'"$digest"* ]] && pass || fail "café.bin on a console under 932: $console"
  # On a console the message and the unit read right under any code page,
  # here 1252; redirected they are the stored Shift-JIS bytes (above).
  wine_env=(LOCPATH="$locales" LC_ALL=en_US.UTF-8)
  on_terminal() { # program argument: its console's text
    env "${wine_env[@]}" script -qec "$wine $exe_dir/$1.exe $2 </dev/null" /dev/null 2>&1 |
      sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r'
  }
  console=$(on_terminal hash256 missing.bin)
  [[ "$console" == "ファイルエラーが発生しました"$'\n\n'* ]] && pass || fail "message on a console under 1252: $console"
  console=$(on_terminal hash384 Ω.bin)
  [[ "$console" == *$'\n'[0-9]*"秒"$'\n\n'* ]] && pass || fail "unit on a console under 1252: $console"
  wine_env=()
  cd "$data" || return

  # The verdict, on a console only: from a checksum list beside the file,
  # then from the clipboard; standard output is the report as without it.
  mkdir -p verdict && cd verdict || return
  head -c 5000 ../random >file.bin
  local sum
  sum=$(sha256sum file.bin | cut -d' ' -f1)
  run hash256 file.bin
  local plain=$out
  on_console() { # expected-text [arguments...]: runs $program (hash256) on $verdict_file (file.bin) with a console
    local text=$1                 # for standard error; the output must be as without one
    shift
    console=$(env "${wine_env[@]}" script -qec "$wine $exe_dir/${program:-hash256}.exe '${verdict_file:-file.bin}' $* </dev/null >$work/out" \
      /dev/null 2>&1 | sed 's/\x1b\[[?0-9;]*[a-zA-Z]//g' | tr -d '\r' | tr '\n' ' ')
    out=$(od -An -v -tx1 "$work/out" | tr -d ' \n')
    [[ "$console" == *"$text"* && "$out" == "${expect_out:-$plain}" ]] && pass || fail "verdict $text: $console / $out"
  }
  local wine_env=()
  printf '%s  other.bin\r\n%s *file.bin\r\n' "$sum" "$sum" >SHA256SUMS
  on_console "一致 [match]: SHA256SUMS"
  # The label alone is a block of colour, black on green here, and the
  # console's own attributes come back after it, for the rest of the run.
  colours() { # arguments: the colour sequences of a run of hash256 on file.bin, in order
    script -qec "$wine $exe_dir/hash256.exe file.bin $* </dev/null >/dev/null" /dev/null 2>&1 |
      sed 's/\x1b\[?25[lh]//g' >"$work/console"
    sequences=$(grep -ao $'\e\\[[0-9;]*m' "$work/console" | tr -d $'\e' | tr '\n' ' ')
  }
  colours
  [[ "$sequences" == "[30m [102m [m " ]] && grep -q $'\e\\[30m\e\\[102m一致 \\[match\\]\e\\[m: SHA256SUMS' "$work/console" &&
    pass || fail "match's block: $sequences $(cat -v "$work/console")"
  # Colour, unless NO_COLOR is set.
  for no_color in "" 1; do
    console=$(NO_COLOR=$no_color script -qec "$wine $exe_dir/hash256.exe file.bin </dev/null >/dev/null" /dev/null 2>&1)
    grep -q $'\e\\[[0-9;]*m' <<<"$console" # 0: a colour was set, 1: none
    [[ $? == ${no_color:-0} && "$console" == *"[match]"* ]] && pass || fail "verdict with NO_COLOR=$no_color: $console"
  done
  printf '%s *FILE.BIN\n' "${sum/?/0}" >SHA256SUMS
  [[ ${sum:0:1} == 0 ]] && printf '%s *FILE.BIN\n' "${sum/?/1}" >SHA256SUMS
  on_console "不一致 [MISMATCH]: SHA256SUMS"
  colours
  [[ "$sequences" == "[97m [41m [m " ]] && grep -q $'\e\\[97m\e\\[41m不一致 \\[MISMATCH\\]\e\\[m: SHA256SUMS' "$work/console" &&
    pass || fail "mismatch's block: $sequences $(cat -v "$work/console")"
  # Files dropped together: the first one's report, one line for the others.
  head -c 10 ../random >other.bin && cp other.bin third.bin
  on_console "2個の引数は使いませんでした" other.bin third.bin
  rm SHA256SUMS
  # PowerShell 5.1's "Get-FileHash file.bin > file.bin.sha256": UTF-16 LE.
  { printf '\xff\xfe'; printf '\r\nAlgorithm       Hash        Path\r\n---------       ----        ----\r\nSHA256          %s        C:\\Users\\me\\Downloads\\file.bin\r\n\r\n' \
    "${sum^^}" | iconv -f UTF-8 -t UTF-16LE; } >file.bin.sha256
  on_console "一致 [match]: file.bin.sha256"
  rm file.bin.sha256
  # A list in the ANSI code page (Shift-JIS on Japanese Windows).
  cp file.bin 日本語.bin
  printf '%s  other.bin\r\n%s  日本語.bin\r\n' "$sum" "$sum" | iconv -f UTF-8 -t CP932 >sha256sums.txt
  wine_env=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8)
  verdict_file=日本語.bin expect_out=$(run hash256 日本語.bin && echo "$out") on_console "一致 [match]: sha256sums.txt"
  wine_env=()
  rm sha256sums.txt 日本語.bin
  # Beside a file whose path is longer than 260 characters.
  cd "$data" || return
  printf '%s  file.bin\n' "$(sha256sum "$deep/file.bin" | cut -d' ' -f1)" >"$deep/SHA256SUMS"
  verdict_file="${deep//\//\\}\\file.bin" expect_out=$(run hash256 "${deep//\//\\}\\file.bin" && echo "$out") \
    on_console "一致 [match]: SHA256SUMS"
  cd verdict || return
  # The clipboard, for every program: a SHA-512 digest; one that differs is
  # yellow, since nobody tied it to this file.
  "$wine64" "$work/set_clipboard.exe" " ${sum^^}"$'\r\n' && on_console "一致 [match]: クリップボード" ||
    fail "the clipboard could not be set"
  if "$wine64" "$work/set_clipboard.exe" "${sum/?/0}" && [[ ${sum:0:1} != 0 ]]; then
    on_console "違います [differs]: クリップボード"
    colours
    [[ "$sequences" == "[30m [103m [m " ]] && grep -q $'\e\\[30m\e\\[103m違います \\[differs\\]\e\\[m: ' "$work/console" &&
      pass || fail "differs' block: $sequences $(cat -v "$work/console")"
  fi
  local sum512
  sum512=$(sha512sum file.bin | cut -d' ' -f1)
  run hash512 file.bin
  "$wine64" "$work/set_clipboard.exe" "sha512:$sum512" &&
    program=hash512 expect_out=$out on_console "一致 [match]: クリップボード"
  "$wine64" "$work/set_clipboard.exe" "-"
  cd "$data" || return

  # A file cut short while the program hashes it from its mapping. Windows
  # refuses to cut a file with a mapped view; Wine lets it happen, and the
  # program must then neither crash nor give anything but the report or the
  # message.
  head -c $((64 << 20)) /dev/zero >shrinking
  "$wine" "$exe_dir/hash256.exe" shrinking </dev/null >"$work/out" 2>"$work/err" &
  local hashing=$! tries
  for ((tries = 0; tries < 3000; tries++)); do
    grep -qs " $data/shrinking\$" /proc/[0-9]*/maps && break
    sleep 0.01
  done
  truncate -s 1000 shrinking
  wait $hashing
  status=$?
  out=$(od -An -v -tx1 "$work/out" | tr -d ' \n')
  [[ ($status == 0 && "$out" == "$(hex shrinking)$crlf$crlf"*) ||
     ($status == 1 && "$out" == "$(hex "$message")$crlf$crlf$prompt"*) ]] &&
    pass || fail "a file cut while mapped: status $status, output $out"
  rm -f shrinking

  # Over 4 GiB: the byte total must not wrap at 32 bits. A run that long would
  # show its progress on a console; standard error is a file here, and stays
  # empty.
  printf 'head' >big && truncate -s $((4 * 1024 * 1024 * 1024 + 77)) big &&
    check_report hash256 big "$(sha256sum big | cut -d' ' -f1)"
  [[ ! -s "$work/err" ]] && pass || fail "standard error of a long run: $(head -c 300 "$work/err")"
  rm -f big
}

# The verdict where Windows differs, on a console after check_programs:
# the clipboard's owner window tells a copy from a console (no evidence)
# from a copy elsewhere (and the programs' own test of it agrees); a list given as the second argument opens by its
# wide name; files dropped together, with names the code page lacks, are
# counted as given; a path of over 1,024 characters gets its verdict.
check_windows_verdict() {
  local folder="$data/windows verdict"
  rm -rf "$folder" && mkdir -p "$folder" && cd "$folder" || return
  head -c 5000 "$data/random" >file.bin
  local sum wrong plain
  sum=$(sha256sum file.bin | cut -d' ' -f1)
  wrong=${sum/?/0}
  [[ ${sum:0:1} == 0 ]] && wrong=${sum/?/1}
  wine_env=()
  plain=$(run hash256 file.bin && echo "$out")

  # A copy from a window of each console's class, then from an ordinary
  # window, each kept by its owner until the clipboard is emptied.
  local class owner told tries
  for class in ConsoleWindowClass CASCADIA_HOSTING_WINDOW_CLASS PseudoConsoleWindow mintty OrdinaryWindow; do
    "$wine64" "$work/clipboard_owner.exe" "$class" "$sum" </dev/null >"$work/owner" 2>&1 &
    owner=$!
    for ((tries = 0; tries < 600; tries++)); do
      grep -qs ready "$work/owner" && break
      kill -0 "$owner" 2>/dev/null || break
      sleep 0.1
    done
    told=$("$wine64" "$work/clipboard_console.exe" </dev/null | tr -d '\r')
    expect_out=$plain on_console ""
    if [[ $class == OrdinaryWindow ]]; then
      [[ $told == 0 ]] && pass || fail "a copy from an ordinary window told as from a console"
      [[ "$console" == *"一致 [match]: クリップボード"* ]] && pass || fail "a copy from an ordinary window: $console"
    else
      [[ $told == 1 ]] && pass || fail "a copy from a $class window not told as from a console"
      [[ "$console" != *"[match]"* && "$console" != *"違います"* ]] && pass ||
        fail "a copy from a $class window: $console"
    fi
    "$wine64" "$work/set_clipboard.exe" "-"
    wait "$owner" || fail "the $class window did not keep the clipboard until it was emptied"
  done
  told=$("$wine64" "$work/clipboard_console.exe" </dev/null | tr -d '\r')
  [[ $told == 0 ]] && pass || fail "a clipboard without an owner window told from a console"

  # A list named as the second argument, by a name the code page lacks:
  # under 932 "SHA256SUMS-u.txt", the best-fit twin, must not stand in for
  # "SHA256SUMS-ü.txt"; under 1252 a Japanese name must open.
  printf '%s *file.bin\n' "$sum" >SHA256SUMS-ü.txt
  printf '%s *file.bin\n' "$wrong" >SHA256SUMS-u.txt
  wine_env=(LOCPATH="$locales" LC_ALL=ja_JP.UTF-8)
  expect_out=$(run hash256 file.bin && echo "$out") on_console "一致 [match]: SHA256SUMS-ü.txt" SHA256SUMS-ü.txt
  rm SHA256SUMS-ü.txt SHA256SUMS-u.txt
  printf '%s *file.bin\n' "$sum" >チェックサム.txt
  wine_env=(LOCPATH="$locales" LC_ALL=en_US.UTF-8)
  expect_out=$(run hash256 file.bin && echo "$out") on_console "一致 [match]: チェックサム.txt" チェックサム.txt
  rm チェックサム.txt

  # Three files dropped together whose names 1252 lacks ('?' in the code
  # page, which the start-up code would expand as a wildcard), beside files
  # such a wildcard matches: the first is hashed, two are not used.
  head -c 1000 "$data/random" >Ω.bin && cp file.bin Ж.bin && cp file.bin Ю.bin
  printf 'a' >a.bin && printf 'b' >b.bin
  verdict_file=Ω.bin expect_out=$(run hash256 Ω.bin && echo "$out") on_console "" Ж.bin Ю.bin
  [[ "$console" =~ (^|[^0-9])2個の引数は使いませんでした && "$console" != *"ダイジェストではありません"* ]] &&
    pass || fail "files dropped together: $console"
  wine_env=()

  # A path of over 1,024 characters: the list beside the file, and a list
  # there given as the second argument.
  local deep=deep part
  part=$(printf 'p%.0s' {1..220})
  for tries in 1 2 3 4 5; do deep=$deep/$part$tries; done
  mkdir -p "$deep" && cp file.bin "$deep/file.bin" || return
  printf '%s  file.bin\n' "$sum" >"$deep/SHA256SUMS"
  local windows_deep=${deep//\//\\}
  verdict_file="$windows_deep\\file.bin" expect_out=$(run hash256 "$windows_deep\\file.bin" && echo "$out") \
    on_console "一致 [match]: SHA256SUMS"
  mv "$deep/SHA256SUMS" "$deep/list.txt"
  expect_out=$plain on_console "一致 [match]: list.txt" "'$windows_deep\\list.txt'"
  cd "$data" || return
}

# The list's signature on Windows, after check_programs: Debian's 32-bit
# gpgv.exe in a GnuPG folder that the registry names (the machine's key in
# either view, or the user's), with keys made here in the user's
# %APPDATA%\gnupg\pubring.kbx: a list signed by a known key shows the
# signed line, its signer and fingerprint; by an unknown key, the missing
# key's fingerprint; with no GnuPG registered, that nothing here can check
# it; a gpgv that hangs is killed. A gpgv.exe planted in the file's folder,
# which is also the current folder, is never run.
check_windows_signature() {
  local gpgv_exe=/usr/share/win32/gpgv.exe
  if [[ ! -f $gpgv_exe ]] || ! command -v gpg >/dev/null; then
    echo "note: gpgv-win32 or gpg is not installed; the signature on Windows was not checked"
    return
  fi
  if ! wine "$gpgv_exe" --version </dev/null >/dev/null 2>&1; then
    echo "note: 32-bit Wine cannot run here; the signature on Windows was not checked with gpgv.exe"
    return
  fi
  local keys="$work/signing"
  if [[ ! -s "$keys/known.kbx" ]]; then
    rm -rf "$keys" && mkdir -p "$keys" && chmod 700 "$keys" || return
    local home
    for home in signer known other unknown; do mkdir -m 700 "$keys/$home"; done
    for home in signer other; do
      GNUPGHOME="$keys/$home" gpg --batch --quiet --passphrase '' \
        --quick-gen-key "Wine ${home^} <$home@example.org>" ed25519 sign never 2>/dev/null
      GNUPGHOME="$keys/$home" gpg --batch --export >"$keys/$home.gpg"
      GNUPGHOME="$keys/$home" gpgconf --kill all
    done
    GNUPGHOME="$keys/known" gpg --batch --quiet --import "$keys/signer.gpg" 2>/dev/null
    GNUPGHOME="$keys/unknown" gpg --batch --quiet --import "$keys/other.gpg" 2>/dev/null
    for home in known unknown; do
      cp "$keys/$home/pubring.kbx" "$keys/$home.kbx"
      GNUPGHOME="$keys/$home" gpgconf --kill all
    done
  fi
  local fingerprint
  fingerprint=$(GNUPGHOME="$keys/signer" gpg --batch --with-colons --list-keys 2>/dev/null |
    awk -F: '/^fpr/ {print $10; exit}')
  local appdata install="$WINEPREFIX/drive_c/Program Files (x86)/GnuPG" hung="$WINEPREFIX/drive_c/hung"
  appdata=$("$wine64" cmd /c 'echo %APPDATA%' </dev/null 2>/dev/null | tr -d '\r')
  appdata=$("$wine64" winepath -u "$appdata" 2>/dev/null)
  mkdir -p "$install/bin" "$hung/bin" "$appdata/gnupg" && cp "$gpgv_exe" "$install/bin/gpgv.exe" &&
    cp "$work/fake_gpgv.exe" "$hung/bin/gpgv.exe" && touch "$hung/bin/hang" || return
  unregister() {
    "$wine64" reg delete 'HKLM\SOFTWARE\GnuPG' /f /reg:64 >/dev/null 2>&1
    "$wine64" reg delete 'HKLM\SOFTWARE\GnuPG' /f /reg:32 >/dev/null 2>&1
    "$wine64" reg delete 'HKCU\SOFTWARE\GnuPG' /f >/dev/null 2>&1
  }
  register() { # key folder [reg options]: only this key names a GnuPG folder
    unregister
    "$wine64" reg add "$1" /v "Install Directory" /t "${reg_type:-REG_SZ}" /d "$2" /f "${@:3}" >/dev/null 2>&1 ||
      fail "the registry key $1 could not be written"
  }
  # The console's text with its line breaks and spaces left out.
  signature_line() { # keyring-file what [arguments...]
    cp "$keys/$1" "$appdata/gnupg/pubring.kbx"
    rm -f ran "$hung/bin/ran"
    on_console "" "${@:3}"
    compact=${console// /}
    [[ ! -e ran ]] && pass || fail "$2: the gpgv.exe in the file's folder was run"
  }
  local folder="$data/signed list Ω データ" compact
  rm -rf "$folder" && mkdir -p "$folder" && cd "$folder" || return
  head -c 4000 "$data/random" >file.bin
  sha256sum file.bin >SHA256SUMS
  GNUPGHOME="$keys/signer" gpg --batch --quiet --detach-sign -o SHA256SUMS.sig SHA256SUMS || return
  cp "$work/fake_gpgv.exe" gpgv.exe
  local wine_env=() plain
  plain=$(run hash256 file.bin && echo "$out")

  local place
  for place in 'HKLM\SOFTWARE\GnuPG /reg:64' 'HKLM\SOFTWARE\GnuPG /reg:32' 'HKCU\SOFTWARE\GnuPG'; do
    # shellcheck disable=SC2086 # the key and its view's option
    register ${place% *} 'C:\Program Files (x86)\GnuPG' $([[ $place == */reg:* ]] && echo "${place##* }")
    signature_line known.kbx "a known key, GnuPG named by $place"
    [[ "$console" == *$'署名 [signed]: SHA256SUMS'* && "$compact" == *"WineSigner<signer@example.org>"* &&
       "$compact" == *"$fingerprint"* ]] && pass || fail "a known key, GnuPG named by $place: $console"
  done
  # The label of a good signature is black on green.
  script -qec "$wine $exe_dir/hash256.exe file.bin </dev/null >/dev/null" /dev/null 2>&1 |
    sed 's/\x1b\[?25[lh]//g' >"$work/console"
  grep -q $'\e\\[30m\e\\[102m署名 \\[signed\\]\e\\[m' "$work/console" && pass ||
    fail "the signed line's colours: $(cat -v "$work/console")"
  # A folder named with an environment variable, as REG_EXPAND_SZ.
  reg_type=REG_EXPAND_SZ register 'HKCU\SOFTWARE\GnuPG' '%ProgramFiles(x86)%\GnuPG'
  signature_line known.kbx "GnuPG named as REG_EXPAND_SZ"
  [[ "$console" == *$'署名 [signed]: SHA256SUMS'* && "$compact" == *"$fingerprint"* ]] && pass ||
    fail "GnuPG named as REG_EXPAND_SZ: $console"
  # The user's keys in a keyboxd store: the gpg.exe beside gpgv.exe (a
  # stand-in here, reporting a good signature by its own fingerprint)
  # checks, and only where the store is there. pubring.kbx holds no key of
  # the signer, so gpgv.exe alone cannot show the list as signed.
  local fake_fingerprint=00112233445566778899AABBCCDDEEFF01234567
  register 'HKCU\SOFTWARE\GnuPG' 'C:\Program Files (x86)\GnuPG'
  cp "$work/fake_gpgv.exe" "$install/bin/gpg.exe" && mkdir -p "$appdata/gnupg/public-keys.d" &&
    : >"$appdata/gnupg/public-keys.d/pubring.db" && rm -f "$install/bin/ran" || return
  signature_line unknown.kbx "a keyboxd store"
  [[ "$console" == *$'署名 [signed]: SHA256SUMS'* && "$compact" == *"$fake_fingerprint"* &&
     -e "$install/bin/ran" ]] && pass || fail "a keyboxd store: gpg.exe not run or not heeded: $console"
  rm -f "$appdata/gnupg/public-keys.d/pubring.db" "$install/bin/ran"
  signature_line unknown.kbx "no keyboxd store"
  [[ ! -e "$install/bin/ran" && "$compact" == *"[keymissing]"* && "$compact" != *"$fake_fingerprint"* ]] &&
    pass || fail "no keyboxd store: gpg.exe run or heeded: $console"
  rm -f "$install/bin/gpg.exe"
  signature_line unknown.kbx "an unknown key"
  [[ "$compact" == *"[keymissing]"* && "$compact" == *"$fingerprint"* && "$compact" != *"[signed]"* ]] &&
    pass || fail "an unknown key: $console"
  # Not the registered folder: bin\gpgv.exe under a folder without one.
  register 'HKCU\SOFTWARE\GnuPG' 'C:\nowhere'
  signature_line known.kbx "GnuPG's folder without gpgv.exe"
  [[ "$compact" == *"[signed;nothinghere"* ]] && pass || fail "GnuPG's folder without gpgv.exe: $console"
  unregister
  signature_line known.kbx "no GnuPG registered"
  [[ "$compact" == *"[signed;nothinghere"* ]] && pass || fail "no GnuPG registered: $console"
  register 'HKCU\SOFTWARE\GnuPG' 'C:\hung'
  signature_line known.kbx "a gpgv that hangs"
  [[ "$compact" == *"[gpgvhungandwaskilled]"* && -e "$hung/bin/ran" ]] && pass ||
    fail "a gpgv that hangs: $console"
  unregister
  rm -f "$appdata/gnupg/pubring.kbx"
  cd "$data" || return
}

# The right-click menu of a zip unpacked where its path has a space, "&"
# and brackets. install.cmd (run twice, as a command and as a double click
# in Explorer runs it) adds one entry a program: its text comes from the
# program's string table, read the way the shell reads such a string (the
# program as a data file, so a 32-bit program serves the 64-bit shell), and
# a plain default text stands beside it. Where the zip's programs can run
# ($2 is "run"), each entry's command line, run as Explorer runs it, hashes
# a file whose name has a space, Japanese and "&". uninstall.cmd leaves no
# key behind. Only a double-clicked script waits for a key at its message.
# The registry is written by the 64-bit cmd, so no 32-bit process is needed
# but for running the programs.
double_click() { # Windows path of a .cmd script: runs it as Explorer does, output in $work/out
  CMDCMDLINE="C:\\windows\\system32\\cmd.exe /c \"\"$1\" \"" \
    "$wine64" "$work/shell_verb.exe" open "$1" </dev/null >"$work/out" 2>&1
}
check_menu() { # build run|text
  local folder="$work/$1/menu & (test) dir"
  rm -rf "$folder" && mkdir -p "$folder" && cp -r "$work/$1/unpacked/sha2hash-$version-$1" "$folder/" || return
  local scripts
  scripts=$("$wine64" winepath -w "$folder/sha2hash-$version-$1" 2>/dev/null | tr -d '\r')
  local classes='HKCU\Software\Classes\*'
  "$wine64" reg query "$classes" >/dev/null 2>&1 && { fail "$1 menu: $classes exists before install"; return; }
  # Wine's cmd has no %cmdcmdline%; each run is given it as the Windows cmd
  # started with that command line has it.
  (cd "$folder/sha2hash-$version-$1" && CMDCMDLINE='C:\windows\system32\cmd.exe /c install.cmd' \
    "$wine64" cmd /c install.cmd) </dev/null >"$work/out" 2>&1 &&
    grep -q "now has SHA-256" "$work/out" && ! grep -q "Press any key" "$work/out" &&
    pass || fail "$1 menu: install.cmd as a command: $(head -c 300 "$work/out")"
  double_click "$scripts\\install.cmd" &&
    grep -q "now has SHA-256" "$work/out" && grep -q "Press any key" "$work/out" &&
    pass || fail "$1 menu: install.cmd double-clicked: $(head -c 300 "$work/out")"
  local name="データ & copy 1.bin"
  head -c 3000 "$data/random" >"$data/$name"
  local program algorithm text
  for program in hash256 hash384 hash512; do
    algorithm=SHA-${program#hash}
    text=$("$wine64" "$work/shell_verb.exe" text "sha2hash.$program" </dev/null | tr -d '\r')
    [[ "$text" == "$algorithm を計算" ]] && pass || fail "$1 menu: $program shows '$text'"
    text=$("$wine64" "$work/shell_verb.exe" default "sha2hash.$program" </dev/null | tr -d '\r')
    [[ "$text" == "$algorithm" ]] && pass || fail "$1 menu: $program's default text is '$text'"
    [[ $2 == run ]] || continue
    (cd "$data" && "$wine64" "$work/shell_verb.exe" run "sha2hash.$program" "$name" </dev/null >"$work/out")
    local sum
    sum=$("sha${program#hash}sum" "$data/$name" | cut -d' ' -f1)
    [[ $? == 0 && $(tr -d '\r' <"$work/out") == *$'\n\n'"$sum"$'\n'* ]] && pass || fail "$1 menu: $program: $(head -c 300 "$work/out")"
  done
  double_click "$scripts\\uninstall.cmd"
  grep -q "are removed" "$work/out" && grep -q "Press any key" "$work/out" &&
    pass || fail "$1 menu: uninstall.cmd double-clicked: $(head -c 300 "$work/out")"
  "$wine64" reg query "$classes" >/dev/null 2>&1 && fail "$1 menu: keys left after uninstall.cmd" || pass
}

mkdir -p "$data" && cd "$data" && head -c 20000 /dev/urandom >random || exit 1
check_menu win64 run
check_programs "$builds/win64" "$wine64"
check_windows_verdict
check_windows_signature
# The 32-bit programs run where Wine can run them: a kernel without 32-bit
# support cannot start the 32-bit Wine loader. Everything else of the
# 32-bit zip is checked on every machine.
wine "$builds/win32/hash256.exe" </dev/null >"$work/probe" 2>/dev/null
if [[ $? == 1 && -s "$work/probe" ]]; then
  check_programs "$builds/win32" wine
  check_windows_verdict
  check_windows_signature
  check_menu win32 run
else
  echo "note: this kernel cannot run 32-bit Wine; the 32-bit programs were checked without running them"
  check_menu win32 text
fi

echo "wine: $passed passed, $failed failed"
[[ $failed == 0 ]]

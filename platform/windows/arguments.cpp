// The arguments on Windows: wildcards expanded by the mingw start-up code,
// the first match that is a file taken as the path, and the wide-character
// form of the argument that names it.
#include "platform/windows/arguments.h"
#include "platform/process.h"

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <windows.h>

// Asks the mingw start-up code to expand wildcards in the command line, so
// that "hash256 *.iso" hashes the first file that matches.
extern "C" {
int _dowildcard = -1; // NOLINT: the name and the global are the runtime's interface

// msvcrt's wide-character counterpart of the start-up code's argument list.
struct MsvcrtStartupInfo {
    int new_mode;
};
int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expand_wildcards,
                   MsvcrtStartupInfo* info); // NOLINT: msvcrt's name
}

namespace
{

// The argument that names the file: 1 unless a wildcard in the first
// argument matched a folder before a file (platform_arguments).
int path_index = 1;

// The runtime's wide argument list (wildcards expanded as in the ANSI
// list), or nullptr.
wchar_t** wide_arguments(int& count)
{
    wchar_t** argv = nullptr;
    wchar_t** env = nullptr;
    MsvcrtStartupInfo info{0};
    count = 0;
    if (__wgetmainargs(&count, &argv, &env, _dowildcard != 0 ? 1 : 0, &info) != 0) {
        return nullptr;
    }
    return argv;
}

// How many names the runtime's wildcard expansion made of the first
// argument, counted from the raw command line: split as the runtime splits
// it (white space outside quotes; backslashes escape only a quote), a
// wildcard in its last component became every entry it matches but "." and
// "..", and one that matches nothing stays as written. 1 for an argument
// without a wildcard (or too long to be a path), 0 when there is none.
int first_argument_names()
{
    static wchar_t pattern[longest_path];
    const wchar_t* c = GetCommandLineW();
    bool quoted = false;
    // The program's name: quotes group, backslashes are plain.
    for (; *c != L'\0' && (quoted || (*c != L' ' && *c != L'\t')); ++c) {
        quoted = *c == L'"' ? !quoted : quoted;
    }
    while (*c == L' ' || *c == L'\t') {
        ++c;
    }
    if (*c == L'\0') {
        return 0;
    }
    std::size_t length = 0;
    quoted = false;
    while (*c != L'\0' && (quoted || (*c != L' ' && *c != L'\t'))) {
        std::size_t backslashes = 0;
        for (; *c == L'\\'; ++c) {
            ++backslashes;
        }
        if (length + backslashes + 2 > longest_path) {
            return 1;
        }
        const bool before_quote = *c == L'"';
        for (std::size_t i = before_quote ? backslashes / 2 : backslashes; i > 0; --i) {
            pattern[length++] = L'\\';
        }
        if (*c == L'\0' || (!quoted && (*c == L' ' || *c == L'\t'))) {
            break;
        }
        if (before_quote && backslashes % 2 == 0) {
            quoted = !quoted;
        } else {
            pattern[length++] = *c;
        }
        ++c;
    }
    pattern[length] = L'\0';
    bool wildcard = false;
    for (std::size_t i = length; i > 0 && pattern[i - 1] != L'\\' && pattern[i - 1] != L'/'; --i) {
        wildcard = wildcard || pattern[i - 1] == L'*' || pattern[i - 1] == L'?';
    }
    WIN32_FIND_DATAW found{};
    HANDLE search = wildcard ? FindFirstFileW(pattern, &found) : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE) {
        return 1;
    }
    int names = 0;
    do {
        const wchar_t* name = found.cFileName;
        names += std::wcscmp(name, L".") != 0 && std::wcscmp(name, L"..") != 0 ? 1 : 0;
    } while (FindNextFileW(search, &found) != 0);
    FindClose(search);
    return names > 0 ? names : 1;
}

} // namespace

// The wide form of the argument that names the file, or nullptr.
const wchar_t* wide_argument()
{
    int count = 0;
    wchar_t** argv = wide_arguments(count);
    return argv != nullptr && path_index < count ? argv[path_index] : nullptr;
}

// True when `path` is the argument that names the file.
bool is_argument(const char* path)
{
    return path_index < __argc && __argv != nullptr && std::strcmp(path, __argv[path_index]) == 0;
}

void platform_arguments(int argc, char* argv[], const char*& path, const char*& expected,
                        int& unused)
{
    path = argc > 1 ? argv[1] : nullptr;
    expected = argc > 2 ? argv[2] : nullptr;
    unused = argc > 3 ? argc - 3 : 0;
    // A wildcard in the first argument became every name it matched,
    // folders too: the first that is a file is hashed, and the second
    // argument is the one after the matches.
    const int matches = first_argument_names();
    int count = 0;
    wchar_t** wide = wide_arguments(count);
    if (matches < 2 || matches >= argc || wide == nullptr || count != argc) {
        return;
    }
    for (int i = 1; i <= matches; ++i) {
        const DWORD attributes = GetFileAttributesW(wide[i]);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            path_index = i;
            path = argv[i];
            break;
        }
    }
    expected = argc > matches + 1 ? argv[matches + 1] : nullptr;
    unused = argc > matches + 2 ? argc - matches - 2 : 0;
}

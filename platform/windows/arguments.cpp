// The arguments on Windows, taken from the runtime's wide list: wildcards
// expanded by the start-up code, the first match that is a file taken as
// the path, each argument handed out in the code page with its wide form
// kept beside it.
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

// The arguments platform_arguments gave, in the code page (the buffers
// below, or the runtime's list where there is no wide one), and the
// runtime's wide forms of the same arguments.
const char* given[2] = {nullptr, nullptr};
const wchar_t* given_wide[2] = {nullptr, nullptr};

// The code page's form of two wide arguments: a character it lacks is '?'.
// Up to four bytes a wide character, as the UTF-8 code page takes.
char ansi[2][4 * longest_path];

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

const wchar_t* argument_wide(const char* path)
{
    for (std::size_t i = 0; i < 2; ++i) {
        if (path != nullptr && path == given[i]) {
            return given_wide[i];
        }
    }
    return nullptr;
}

void platform_arguments(int argc, char* argv[], const char*& path, const char*& expected,
                        int& unused)
{
    int count = 0;
    wchar_t** wide = wide_arguments(count);
    if (wide == nullptr) {
        path = argc > 1 ? argv[1] : nullptr;
        expected = argc > 2 ? argv[2] : nullptr;
        unused = argc > 3 ? argc - 3 : 0;
        return;
    }
    // The wide list, not the code page's: there a character the code page
    // lacks is '?', which the runtime expanded as a wildcard. A wildcard in
    // the first argument became every name it matched, folders too: the
    // first that is a file is hashed, and the second argument is the one
    // after the matches.
    int matches = first_argument_names();
    matches = matches >= 1 && matches < count ? matches : 1;
    int path_index = 1;
    for (int i = 1; matches > 1 && i <= matches; ++i) {
        const DWORD attributes = GetFileAttributesW(wide[i]);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            path_index = i;
            break;
        }
    }
    const int indices[2] = {path_index, matches + 1};
    for (std::size_t i = 0; i < 2; ++i) {
        const int at = indices[i];
        given_wide[i] = at < count ? wide[at] : nullptr;
        given[i] = given_wide[i] != nullptr
                           && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, given_wide[i], -1,
                                                  ansi[i], sizeof ansi[i], nullptr, nullptr)
                                  != 0
                       ? ansi[i]
                       : nullptr;
        given_wide[i] = given[i] != nullptr ? given_wide[i] : nullptr;
    }
    path = given[0];
    expected = given[1];
    unused = count > matches + 2 ? count - matches - 2 : 0;
}

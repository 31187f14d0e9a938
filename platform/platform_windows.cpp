// Windows side of the platform, on msvcrt: the command interpreter's PAUSE,
// clock() in elapsed milliseconds, Shift-JIS texts written as stored, and
// the argument's file opened by its wide-character name where the ANSI code
// page cannot spell it.
#include "platform.h"
#include "progress.h"
#include "stream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>

#include <sys/stat.h>
#include <windows.h>

// Asks the mingw start-up code to expand wildcards in the command line, as
// the original programs' runtime start-up did.
extern "C" {
int _dowildcard = -1; // NOLINT: the name and the global are the runtime's interface

// msvcrt's wide-character counterpart of the start-up code's argument list.
struct msvcrt_startup_info {
    int new_mode;
};
int __wgetmainargs(int* argc, wchar_t*** argv, wchar_t*** env, int expand_wildcards,
                   msvcrt_startup_info* info); // NOLINT: msvcrt's name
}

namespace {

// The program's first argument as the runtime's wide argument list gives it
// (wildcards expanded as in the ANSI list), or nullptr.
const wchar_t* wide_argument()
{
    int argc = 0;
    wchar_t** argv = nullptr;
    wchar_t** env = nullptr;
    msvcrt_startup_info info{0};
    if (__wgetmainargs(&argc, &argv, &env, _dowildcard != 0 ? 1 : 0, &info) != 0 || argc < 2
        || argv == nullptr) {
        return nullptr;
    }
    return argv[1];
}

// True when `wide` has a character the ANSI code page lacks, so that its
// ANSI form names another file or none (a best-fit letter, a '?').
bool ansi_cannot_spell(const wchar_t* wide)
{
    BOOL lossy = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0,
                                         nullptr, &lossy);
    return size == 0 || lossy != FALSE;
}

} // namespace

std::FILE* platform_fopen(const char* path)
{
    // Any other path, and an argument the code page spells, open as given.
    const bool is_argument = __argc >= 2 && __argv != nullptr && std::strcmp(path, __argv[1]) == 0;
    const wchar_t* wide = is_argument ? wide_argument() : nullptr;
    if (wide != nullptr && ansi_cannot_spell(wide)) {
        return _wfopen(wide, L"rb");
    }
    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr && wide != nullptr) {
        file = _wfopen(wide, L"rb");
    }
    return file;
}

void platform_start()
{
}

void platform_pause()
{
    // The report must be visible while the window waits.
    std::fflush(stdout);
    (void)std::system("PAUSE");
}

std::int32_t platform_clock_ms()
{
    // msvcrt's clock() counts milliseconds of elapsed time since start-up.
    return static_cast<std::int32_t>(std::clock());
}

const char* platform_text(const char* sjis, const char* /*utf8*/)
{
    return sjis;
}

bool platform_stderr_is_terminal()
{
    // A console, not a file, pipe or the NUL device (which _isatty takes
    // for a terminal).
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

std::int64_t platform_file_size(std::FILE* file)
{
    struct _stati64 info {};
    if (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

// Windows side of the platform, on msvcrt: the argument's file opened by
// its wide-character name where the ANSI code page cannot spell it, a
// reading thread started by msvcrt, the command interpreter's PAUSE, clock()
// in elapsed milliseconds, Japanese texts as wide text on a console and as
// the stored Shift-JIS elsewhere, and the files, clipboard and console text
// of the verdict.
#include "long_path.h"
#include "platform.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <initializer_list>
#include <iterator>

#include <conio.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
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

// Room for the longest path Windows has, in its extended form.
constexpr std::size_t longest_path = 32768;

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

// True when `wide` has a character the ANSI code page lacks, so that its
// ANSI form names another file or none (a best-fit letter, a '?').
bool ansi_cannot_spell(const wchar_t* wide)
{
    BOOL lossy = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, nullptr, 0, nullptr, &lossy);
    return size == 0 || lossy != FALSE;
}

// `path` as wide characters into wide[0..size-1]: the argument's own wide
// form where `path` is the argument, else converted from the ANSI code page.
bool wide_path(const char* path, wchar_t* wide, std::size_t size)
{
    const wchar_t* argument = is_argument(path) ? wide_argument() : nullptr;
    if (argument != nullptr) {
        if (std::wcslen(argument) >= size) {
            return false;
        }
        std::wcscpy(wide, argument);
        return true;
    }
    return MultiByteToWideChar(CP_ACP, 0, path, -1, wide, static_cast<int>(size)) != 0;
}

// Where the last component of a wide path starts.
const wchar_t* last_component(const wchar_t* path)
{
    const wchar_t* start = path;
    for (const wchar_t* c = path; *c != L'\0'; ++c) {
        if (*c == L'\\' || *c == L'/' || *c == L':') {
            start = c + 1;
        }
    }
    return start;
}

// A function of user32, which is loaded only when the clipboard is read, so
// that the programs import nothing but KERNEL32 and msvcrt.
template <typename Function> Function user32_function(HMODULE user32, const char* name)
{
    // GetProcAddress's type is cast through the generic function pointer.
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(user32, name)));
}

// Opens a path too long for the plain form through its absolute extended
// form ("\\?\C:\..."), or returns nullptr.
std::FILE* open_long(const wchar_t* path)
{
    static wchar_t full[longest_path];
    static wchar_t extended[longest_path + 8];
    const DWORD length = GetFullPathNameW(path, longest_path, full, nullptr);
    if (length < MAX_PATH || length >= longest_path
        || !platform_extended_path(full, extended, std::size(extended))) {
        return nullptr;
    }
    return _wfopen(extended, L"rbS");
}

// The wide path of the file `name` (UTF-8) in the folder of `path`, or of
// `path` itself where `name` is nullptr: in the extended form where it is
// longer than MAX_PATH, as the file itself opens.
bool list_path(const char* path, const char* name, wchar_t* out, std::size_t size)
{
    static wchar_t wide[longest_path];
    static wchar_t full[longest_path];
    static wchar_t wide_name[1024];
    if (!wide_path(path, wide, longest_path)) {
        return false;
    }
    const DWORD length = GetFullPathNameW(wide, longest_path, full, nullptr);
    if (length == 0 || length >= longest_path
        || (name != nullptr
            && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide_name,
                                   std::size(wide_name))
                   == 0)) {
        return false;
    }
    return platform_sibling_path(full, name != nullptr ? wide_name : nullptr, out, size, MAX_PATH);
}

// The width of the progress line on the console, for the Ctrl-C handler.
volatile LONG console_line = 0;

// Ctrl-C, Ctrl-Break or a closed window while the progress line shows:
// erase it, then let the default handler end the program.
BOOL WINAPI erase_line_and_end(DWORD /*event*/)
{
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    WriteConsoleA(console, "\r", 1, &written, nullptr);
    for (LONG i = 0; i < console_line; ++i) {
        WriteConsoleA(console, " ", 1, &written, nullptr);
    }
    WriteConsoleA(console, "\r", 1, &written, nullptr);
    return FALSE;
}

// Writes `text` on standard output when it is a console, as wide text that
// reads right whatever the console's code page, after what standard output
// holds. False when standard output is not a console, or the write failed.
bool write_console(const wchar_t* text)
{
    DWORD mode = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (GetConsoleMode(out, &mode) == 0) {
        return false;
    }
    std::fflush(stdout);
    DWORD written = 0;
    return WriteConsoleW(out, text, static_cast<DWORD>(std::wcslen(text)), &written, nullptr) != 0;
}

} // namespace

std::FILE* platform_open_file(const char* path)
{
    // Any other path, and an argument the code page spells, open as given.
    const wchar_t* wide = is_argument(path) ? wide_argument() : nullptr;
    std::FILE* file = nullptr;
    if (wide != nullptr && ansi_cannot_spell(wide)) {
        file = _wfopen(wide, L"rbS");
    } else {
        file = std::fopen(path, "rbS");
        if (file == nullptr && wide != nullptr) {
            file = _wfopen(wide, L"rbS");
        }
    }
    if (file == nullptr) {
        static wchar_t converted[longest_path];
        if (wide == nullptr
            && MultiByteToWideChar(CP_ACP, 0, path, -1, converted, longest_path) != 0) {
            wide = converted;
        }
        file = wide != nullptr ? open_long(wide) : nullptr;
    }
    return file;
}

void platform_start()
{
    // Keys pressed while the file is read must reach the console's input,
    // where the pause discards them. A console on a Unix terminal (Wine's)
    // reads the terminal only once its input is looked at: a look here, which
    // takes nothing, has it read from the start.
    INPUT_RECORD record{};
    DWORD events = 0;
    (void)PeekConsoleInputW(GetStdHandle(STD_INPUT_HANDLE), &record, 1, &events);
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

void platform_write_path(const char* path)
{
    // On a console, the name as Explorer shows it, whatever the code page.
    const wchar_t* wide = is_argument(path) ? wide_argument() : nullptr;
    if (wide != nullptr && write_console(wide)) {
        return;
    }
    // Elsewhere the code page's bytes, with '?' for a character it lacks,
    // never a look-alike letter that would name another file.
    static char ansi[2 * longest_path];
    if (wide != nullptr
        && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, ansi, sizeof ansi, nullptr,
                               nullptr)
               != 0) {
        path = ansi;
    }
    std::fputs(path, stdout);
}

void platform_pause()
{
    // The report must be visible while the window waits. Keys pressed
    // before the prompt (while the file was read) are discarded from the
    // console's input, so that only one pressed at the prompt ends the wait;
    // input from a file or a pipe is not a console's, and stays.
    std::fflush(stdout);
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    const bool console = GetConsoleMode(input, &mode) != 0;
    if (console) {
        FlushConsoleInputBuffer(input);
    }
    if (std::system("PAUSE") == 0) {
        return;
    }
    // No command interpreter, or one disabled by policy: a prompt and a
    // wait of our own, so that a window opened for the report stays.
    if (console) {
        FlushConsoleInputBuffer(input);
    }
    std::fputs("Press any key to continue . . . ", stdout);
    std::fflush(stdout);
    if (console) {
        (void)_getch();
    } else {
        (void)std::getchar(); // a file or pipe: one byte, or its end
    }
    std::fputs("\n", stdout);
    std::fflush(stdout);
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

void platform_write_text(const char* sjis, const char* utf8)
{
    // On a console, wide text, whatever the code page; elsewhere the stored
    // Shift-JIS bytes.
    wchar_t wide[256];
    const int units = static_cast<int>(std::size(wide));
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, wide, units) != 0
        && write_console(wide)) {
        return;
    }
    std::fputs(sjis, stdout);
}

bool platform_stderr_is_terminal()
{
    // A console, not a file, pipe or the NUL device (which _isatty takes
    // for a terminal).
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

unsigned platform_stderr_columns()
{
    // A line wraps at the width of the console's buffer.
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info) == 0
        || info.dwSize.X < 1) {
        return 80;
    }
    return static_cast<unsigned>(info.dwSize.X);
}

void platform_guard_line(unsigned columns)
{
    // The handler stands only while a line is on the console.
    static bool handling = false;
    console_line = static_cast<LONG>(columns);
    if (columns > 0 && !handling) {
        handling = SetConsoleCtrlHandler(erase_line_and_end, TRUE) != 0;
    } else if (columns == 0 && handling) {
        SetConsoleCtrlHandler(erase_line_and_end, FALSE);
        handling = false;
    }
}

bool platform_stdout_is_terminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool platform_names_ignore_case()
{
    return true;
}

std::size_t platform_file_name(const char* path, char* name, std::size_t size)
{
    wchar_t wide[1024];
    if (!wide_path(path, wide, std::size(wide))) {
        return 0;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, last_component(wide), -1, name,
                                           static_cast<int>(size), nullptr, nullptr);
    return length > 1 ? static_cast<std::size_t>(length - 1) : 0;
}

std::size_t platform_legacy_name(const char* path, char* name, std::size_t size)
{
    wchar_t wide[1024];
    if (!wide_path(path, wide, std::size(wide))) {
        return 0;
    }
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, last_component(wide), -1,
                                           name, static_cast<int>(size), nullptr, &lossy);
    return length > 1 && lossy == FALSE ? static_cast<std::size_t>(length - 1) : 0;
}

bool platform_list_folder(const char* path,
                          void (*each)(void* context, const char* name, std::size_t length),
                          void* context)
{
    static wchar_t pattern[longest_path + 8];
    if (!list_path(path, "*", pattern, std::size(pattern))) {
        return false;
    }
    WIN32_FIND_DATAW found{};
    HANDLE listing = FindFirstFileW(pattern, &found);
    if (listing == INVALID_HANDLE_VALUE) {
        return false;
    }
    do {
        char name[1024];
        const int length = WideCharToMultiByte(CP_UTF8, 0, found.cFileName, -1, name, sizeof name,
                                               nullptr, nullptr);
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && length > 1) {
            each(context, name, static_cast<std::size_t>(length - 1));
        }
    } while (FindNextFileW(listing, &found) != 0);
    FindClose(listing);
    return true;
}

std::int64_t platform_list_time(const char* path, const char* name)
{
    static wchar_t file[longest_path + 8];
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!list_path(path, name, file, std::size(file))
        || GetFileAttributesExW(file, GetFileExInfoStandard, &data) == 0
        || (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return -1;
    }
    return static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32U)
        | data.ftLastWriteTime.dwLowDateTime);
}

int platform_read_list(const char* path, const char* name, std::uint64_t limit,
                       unsigned char* buffer, std::size_t size,
                       void (*consume)(void* context, const unsigned char* bytes,
                                       std::size_t count),
                       void* context)
{
    static wchar_t file_path[longest_path + 8];
    if (!list_path(path, name, file_path, std::size(file_path))) {
        return -1;
    }
    // A folder does not open this way; a device or pipe is closed unread.
    // A folder or a device is not opened at all (opening a device can act
    // on it); the handle's type is checked again below.
    const DWORD attributes = GetFileAttributesW(file_path);
    if (attributes == INVALID_FILE_ATTRIBUTES
        || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0) {
        return -1;
    }
    HANDLE file =
        CreateFileW(file_path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return -1;
    }
    int result = -1;
    LARGE_INTEGER file_size{};
    if (GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &file_size) != 0
        && static_cast<std::uint64_t>(file_size.QuadPart) <= limit) {
        std::uint64_t total = 0;
        for (;;) {
            DWORD n = 0;
            if (ReadFile(file, buffer, static_cast<DWORD>(size), &n, nullptr) == 0) {
                result = 0;
                break;
            }
            if (n == 0) {
                result = 1;
                break;
            }
            if (total + n > limit) {
                result = 0; // grown past the limit: a list no more
                break;
            }
            total += n;
            consume(context, buffer, n);
        }
    }
    CloseHandle(file);
    return result;
}

std::size_t platform_clipboard_text(char* text, std::size_t size)
{
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) {
        return 0;
    }
    const auto available =
        user32_function<BOOL(WINAPI*)(UINT)>(user32, "IsClipboardFormatAvailable");
    const auto open = user32_function<BOOL(WINAPI*)(HWND)>(user32, "OpenClipboard");
    const auto data = user32_function<HANDLE(WINAPI*)(UINT)>(user32, "GetClipboardData");
    const auto close = user32_function<BOOL(WINAPI*)()>(user32, "CloseClipboard");
    int length = 0;
    if (available != nullptr && open != nullptr && data != nullptr && close != nullptr
        && available(CF_UNICODETEXT) != 0 && open(nullptr) != 0) {
        HANDLE memory = data(CF_UNICODETEXT);
        const auto* wide =
            memory != nullptr ? static_cast<const wchar_t*>(GlobalLock(memory)) : nullptr;
        if (wide != nullptr) {
            // Only a short text can be a digest; a longer one is not read.
            const std::size_t units = GlobalSize(memory) / sizeof(wchar_t);
            const std::size_t shown = wcsnlen(wide, units);
            if (shown * 3 < size) {
                length = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(shown), text,
                                             static_cast<int>(size) - 1, nullptr, nullptr);
            }
            GlobalUnlock(memory);
        }
        close();
    }
    FreeLibrary(user32);
    text[length > 0 ? length : 0] = '\0';
    return length > 0 ? static_cast<std::size_t>(length) : 0;
}

namespace
{

// The UTF-8 bytes text[0..length-1] as wide text in wide[0..room-1];
// returns how many wide characters that made.
int widen(const char* text, std::size_t length, wchar_t* wide, int room)
{
    if (length == 0 || room <= 0) {
        return 0;
    }
    return MultiByteToWideChar(CP_UTF8, 0, text, static_cast<int>(length), wide, room);
}

} // namespace

void platform_console_verdict(const char* utf8, const char* /*sjis*/, VerdictLabel label, Tone tone,
                              bool after_report)
{
    // Wide text, so that it reads right whatever the console's code page:
    // the part before the label, the label, the rest.
    wchar_t text[2048];
    const std::size_t length = std::strlen(utf8);
    const std::size_t at = label.utf8_at < length ? label.utf8_at : length;
    const std::size_t count = label.utf8_length < length - at ? label.utf8_length : length - at;
    const int room = static_cast<int>(std::size(text));
    const int before = widen(utf8, at, text, room);
    const int block = widen(utf8 + at, count, text + before, room - before);
    const int rest =
        widen(utf8 + at + count, length - at - count, text + before + block, room - before - block);
    if (before + block + rest == 0) {
        return;
    }
    std::fflush(stdout);
    HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (after_report) {
        WriteConsoleW(console, L"\r\n", 2, &written, nullptr);
    }
    // Colours unless the user asked for none (NO_COLOR): the label black on
    // green, white on red, black on yellow, the rest in the console's own.
    const char* no_color = std::getenv("NO_COLOR");
    CONSOLE_SCREEN_BUFFER_INFO info{};
    const bool colour = (no_color == nullptr || *no_color == '\0')
                        && GetConsoleScreenBufferInfo(console, &info) != 0;
    const WORD white = FOREGROUND_RED | FOREGROUND_GREEN | FOREGROUND_BLUE | FOREGROUND_INTENSITY;
    const WORD colours = tone == Tone::match ? BACKGROUND_GREEN | BACKGROUND_INTENSITY
                         : tone == Tone::mismatch
                             ? BACKGROUND_RED | white
                             : BACKGROUND_RED | BACKGROUND_GREEN | BACKGROUND_INTENSITY;
    WriteConsoleW(console, text, static_cast<DWORD>(before), &written, nullptr);
    if (colour && block > 0) {
        SetConsoleTextAttribute(console, colours);
    }
    WriteConsoleW(console, text + before, static_cast<DWORD>(block), &written, nullptr);
    if (colour && block > 0) {
        SetConsoleTextAttribute(console, info.wAttributes);
    }
    WriteConsoleW(console, text + before + block, static_cast<DWORD>(rest), &written, nullptr);
    if (!after_report) {
        WriteConsoleW(console, L"\r\n", 2, &written, nullptr);
    }
}

bool platform_has_explorer()
{
    return true;
}

std::int64_t platform_file_size(std::FILE* file)
{
    struct _stati64 info {
    };
    if (_fstati64(_fileno(file), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file)
{
    return std::fread(buffer, 1, size, file);
}

namespace
{

// The reading thread's stack: it only reads.
constexpr unsigned thread_stack = 64 * 1024;

HANDLE semaphores[2] = {nullptr, nullptr};
HANDLE thread = nullptr;
void (*thread_body)() = nullptr;

unsigned __stdcall thread_main(void* /*unused*/)
{
    thread_body();
    return 0;
}

void close_handles()
{
    for (HANDLE* handle : {&thread, &semaphores[0], &semaphores[1]}) {
        if (*handle != nullptr) {
            CloseHandle(*handle);
            *handle = nullptr;
        }
    }
}

} // namespace

bool platform_thread_start(void (*body)(), unsigned first, unsigned second)
{
    thread_body = body;
    const auto most = static_cast<LONG>(first > second ? first : second);
    semaphores[0] = CreateSemaphoreW(nullptr, static_cast<LONG>(first), most, nullptr);
    semaphores[1] = CreateSemaphoreW(nullptr, static_cast<LONG>(second), most, nullptr);
    if (semaphores[0] != nullptr && semaphores[1] != nullptr) {
        // msvcrt's own thread start, so that its stream functions are ready there.
        thread = reinterpret_cast<HANDLE>(
            _beginthreadex(nullptr, thread_stack, thread_main, nullptr, 0, nullptr));
    }
    if (thread == nullptr) {
        close_handles();
        return false;
    }
    return true;
}

void platform_semaphore_wait(unsigned semaphore)
{
    WaitForSingleObject(semaphores[semaphore], INFINITE);
}

void platform_semaphore_post(unsigned semaphore)
{
    ReleaseSemaphore(semaphores[semaphore], 1, nullptr);
}

void platform_thread_join()
{
    WaitForSingleObject(thread, INFINITE);
    close_handles();
}

const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length)
{
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK) {
        return nullptr;
    }
    // The mapping object lives as long as its view.
    HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) {
        return nullptr;
    }
    void* view = MapViewOfFile(mapping, FILE_MAP_READ, static_cast<DWORD>(offset >> 32),
                               static_cast<DWORD>(offset & 0xFFFFFFFFU), length);
    CloseHandle(mapping);
    return static_cast<const unsigned char*>(view);
}

void platform_unmap(const unsigned char* view, std::size_t /*length*/)
{
    UnmapViewOfFile(view);
}

namespace
{

// Where a fault on the mapped bytes returns to, while work on them runs.
std::jmp_buf mapped_fault;
const unsigned char* volatile mapped_view = nullptr;
volatile std::size_t mapped_length = 0;

// An in-page error (the file shrank, or its disk failed) or an access
// violation on the mapped bytes: back to the start of the work, which then
// fails. Any other exception goes on to the handlers after this one.
LONG WINAPI end_mapped_work(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if ((record.ExceptionCode == EXCEPTION_IN_PAGE_ERROR
         || record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION)
        && record.NumberParameters >= 2 && mapped_view != nullptr) {
        const auto address = static_cast<ULONG_PTR>(record.ExceptionInformation[1]);
        const auto start = reinterpret_cast<ULONG_PTR>(mapped_view);
        if (address >= start && address - start < mapped_length) {
            std::longjmp(mapped_fault, 1);
        }
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* view,
                         std::size_t length)
{
    void* handler = AddVectoredExceptionHandler(1, end_mapped_work);
    volatile bool finished = false;
    mapped_view = view;
    mapped_length = length;
    if (setjmp(mapped_fault) == 0) {
        work(context);
        finished = true;
    }
    mapped_view = nullptr;
    if (handler != nullptr) {
        RemoveVectoredExceptionHandler(handler);
    }
    return finished;
}

bool platform_seek(std::FILE* file, std::uint64_t offset)
{
    return _fseeki64(file, static_cast<__int64>(offset), SEEK_SET) == 0;
}

// The verdict's lookup on Windows: names in UTF-8 and in the ANSI code
// page from the wide argument, the folder's entries, the lists through the
// same path forms as the file, and the clipboard's text and owner's class
// through user32, loaded only then.
#include "platform/lookup.h"
#include "platform/windows/arguments.h"
#include "platform/windows/long_path.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>

#include <windows.h>

namespace
{

// `path` in wide characters: the argument's own wide form where `path` is
// one the program was given, else converted from the ANSI code page into a
// buffer that the next call reuses. nullptr when it cannot be converted.
const wchar_t* wide_path(const char* path)
{
    const wchar_t* argument = argument_wide(path);
    if (argument != nullptr) {
        return argument;
    }
    static wchar_t converted[longest_path];
    return MultiByteToWideChar(CP_ACP, 0, path, -1, converted, longest_path) != 0 ? converted
                                                                                  : nullptr;
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

// The classes of the windows that show a console: the console host's,
// Windows Terminal's, a pseudo-console's, mintty's.
constexpr const wchar_t* console_classes[] = {
    L"ConsoleWindowClass", L"CASCADIA_HOSTING_WINDOW_CLASS", L"PseudoConsoleWindow", L"mintty"};

// A function of user32, which is loaded only when the clipboard is read, so
// that the programs import nothing but KERNEL32 and msvcrt.
template <typename Function> Function user32_function(HMODULE user32, const char* name)
{
    // GetProcAddress's type is cast through the generic function pointer.
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(user32, name)));
}

// The wide path of the file `name` (UTF-8) in the folder of `path`, or of
// `path` itself where `name` is nullptr: in the extended form where it is
// longer than MAX_PATH, as the file itself opens.
bool list_path(const char* path, const char* name, wchar_t* out, std::size_t size)
{
    static wchar_t full[longest_path];
    static wchar_t wide_name[1024];
    const wchar_t* wide = wide_path(path);
    const DWORD length = wide != nullptr ? GetFullPathNameW(wide, longest_path, full, nullptr) : 0;
    if (length == 0 || length >= longest_path
        || (name != nullptr
            && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, wide_name,
                                   std::size(wide_name))
                   == 0)) {
        return false;
    }
    return platform_sibling_path(full, name != nullptr ? wide_name : nullptr, out, size, MAX_PATH);
}

} // namespace

bool platform_names_ignore_case()
{
    return true;
}

std::size_t platform_file_name(const char* path, char* name, std::size_t size)
{
    const wchar_t* wide = wide_path(path);
    if (wide == nullptr) {
        return 0;
    }
    const int length = WideCharToMultiByte(CP_UTF8, 0, last_component(wide), -1, name,
                                           static_cast<int>(size), nullptr, nullptr);
    return length > 1 ? static_cast<std::size_t>(length - 1) : 0;
}

std::size_t platform_legacy_name(const char* path, char* name, std::size_t size)
{
    const wchar_t* wide = wide_path(path);
    if (wide == nullptr) {
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
                       bool (*consume)(void* context, const unsigned char* bytes,
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
        return -2;
    }
    int result = -1;
    if (GetFileType(file) == FILE_TYPE_DISK) {
        std::uint64_t total = 0;
        for (;;) {
            const std::uint64_t left = limit - total;
            // At the limit, one byte more tells whether the file goes on.
            const DWORD want = left == 0     ? 1
                               : left < size ? static_cast<DWORD>(left)
                                             : static_cast<DWORD>(size);
            DWORD n = 0;
            if (ReadFile(file, buffer, want, &n, nullptr) == 0) {
                result = 0;
                break;
            }
            if (n == 0 || left == 0) {
                result = n == 0 ? 1 : 0;
                break;
            }
            total += n;
            if (!consume(context, buffer, n)) {
                result = 0;
                break;
            }
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

bool platform_clipboard_from_console()
{
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    if (user32 == nullptr) {
        return false;
    }
    const auto owner_of = user32_function<HWND(WINAPI*)()>(user32, "GetClipboardOwner");
    const auto class_of = user32_function<int(WINAPI*)(HWND, LPWSTR, int)>(user32, "GetClassNameW");
    HWND owner = owner_of != nullptr ? owner_of() : nullptr;
    wchar_t name[64];
    bool console = false;
    if (owner != nullptr && class_of != nullptr
        && class_of(owner, name, static_cast<int>(std::size(name))) > 0) {
        for (const wchar_t* known : console_classes) {
            console = console || _wcsicmp(name, known) == 0;
        }
    }
    FreeLibrary(user32);
    return console;
}

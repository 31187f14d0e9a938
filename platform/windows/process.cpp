// The process on Windows: the console's input read from the start, the
// path and Japanese texts as wide text on a console and in the code page
// elsewhere, and clock() in elapsed milliseconds.
#include "platform/process.h"
#include "platform/windows/arguments.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <iterator>

#include <windows.h>

namespace
{

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

void platform_write_path(const char* path)
{
    // On a console, the name as Explorer shows it, whatever the code page.
    const wchar_t* wide = argument_wide(path);
    if (wide != nullptr && write_console(wide)) {
        return;
    }
    // Elsewhere the code page's bytes, in which platform_arguments made a
    // character the code page lacks '?', never a look-alike letter that
    // would name another file.
    std::fputs(path, stdout);
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

bool platform_stdout_is_terminal()
{
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

bool platform_has_explorer()
{
    return true;
}

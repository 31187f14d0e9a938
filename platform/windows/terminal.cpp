// The console on Windows: its width, the progress line erased on Ctrl-C,
// the command interpreter's PAUSE, and the verdict's line as wide text in
// the console's colours.
#include "platform/terminal.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include <conio.h>
#include <windows.h>

namespace
{

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

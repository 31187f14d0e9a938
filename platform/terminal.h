// The terminal or console that standard error shows on, where it differs
// by system: its width, the progress line's guard against an ending signal,
// the pause for a key, and the verdict's coloured line. Defined in
// platform/posix/ for Linux and platform/windows/ for Windows on msvcrt.
#pragma once

#include <cstddef>

// Whether standard error is a terminal: a console on Windows, not a file,
// a pipe or the null device.
bool platform_stderr_is_terminal();

// The width of the terminal or console that standard error shows on.
unsigned platform_stderr_columns();

// Tells the platform that a line of `columns` characters now stands on
// standard error (0: none), so that a signal or Ctrl-C that ends the
// program erases it first.
void platform_guard_line(unsigned columns);

// Flushes standard output, shows a "press any key" prompt and waits for one
// key, pressed at the prompt: input waiting on a terminal or console is
// discarded first (input from a file or pipe is not). Returns at once when
// standard input has ended or is not readable.
// On a terminal the key is taken whole, and the terminal's settings are the
// same afterwards, also when a signal ends or stops the program during the
// wait (after a stop the wait takes the terminal again and goes on). On
// Windows the command interpreter's PAUSE, or where it cannot run, a prompt
// and wait of the program's own.
void platform_pause();

// How a verdict is coloured where the console shows colour.
enum class Tone { match, mismatch, conflict };

// Where a verdict's label stands in its texts: the bytes [utf8_at,
// utf8_at + utf8_length) of the UTF-8 form and [sjis_at, sjis_at +
// sjis_length) of the Shift-JIS form, on one line. Lengths 0: no label.
struct VerdictLabel {
    std::size_t utf8_at;
    std::size_t utf8_length;
    std::size_t sjis_at;
    std::size_t sjis_length;
};

// Writes a verdict, given as UTF-8 and as Shift-JIS text, on standard error
// (a console): in the console's character set (as wide text on Windows).
// Where the console has colours, the label is a block in the tone's colours
// (black on green, white on red, black on yellow) and the rest keeps the
// console's own; its colours are the same afterwards. `after_report`: the
// cursor stands after the report on the same screen, so the verdict starts
// on a new line and standard output ends it; otherwise the verdict ends its
// own line.
void platform_console_verdict(const char* utf8, const char* sjis, VerdictLabel label, Tone tone,
                              bool after_report);

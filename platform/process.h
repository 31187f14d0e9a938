// The process and its standard output, where they differ by system: set-up
// at start, the arguments, an elapsed-time clock, the path and the Japanese
// texts of the report, and whether standard output is a terminal. Defined
// in platform/posix/ for Linux and platform/windows/ for Windows on msvcrt.
#pragma once

#include <cstdint>

// Called first in main. On Linux a write to a pipe whose reader has gone
// then fails with an error the program reports, instead of killing it; on
// Windows keys pressed on the console from then on reach its input (where
// the pause discards them), also on Wine's console on a Unix terminal.
void platform_start();

// The program's arguments: `path`, the file to hash (nullptr when none was
// given), and `expected`, the one after it (nullptr when none). The first
// and second, except that on Windows, where the runtime expands a wildcard
// in the first into every name it matches, the first match that is a file
// is the path and the argument after the matches the second.
// `unused`: how many arguments came after the second.
void platform_arguments(int argc, char* argv[], const char*& path, const char*& expected,
                        int& unused);

// Milliseconds of elapsed (wall) time as a signed 32-bit tick count. Only
// differences mean anything; take them modulo 2^32.
std::int32_t platform_clock_ms();

// Writes the path on standard output as the report's first line's text:
// as given, except that on Windows, on a console, it is written as the wide
// argument (the name as Explorer shows it), and elsewhere a character the
// code page lacks becomes '?' rather than a look-alike letter.
void platform_write_path(const char* path);

// The console form of a Japanese text, given as its stored Shift-JIS bytes
// and its UTF-8 form: the one the console's character set shows. Never
// fails and converts nothing.
const char* platform_text(const char* sjis, const char* utf8);

// Writes a Japanese text, given as platform_text takes it, on standard
// output: on a Windows console as wide text, which reads right whatever the
// console's code page; elsewhere the bytes platform_text picks.
void platform_write_text(const char* sjis, const char* utf8);

// Whether standard output is a terminal: a console on Windows, not a file,
// a pipe or the null device.
bool platform_stdout_is_terminal();

// Whether a program is also started from Explorer: by dropping a file on it
// or its shortcut, or from the right-click menu that install.cmd adds
// (Windows); elsewhere only from the command line.
bool platform_has_explorer();

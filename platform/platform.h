// Everything that differs by operating system, and nothing else: process
// set-up and arguments, opening and reading the file to hash, a reading
// thread, the terminal or console (its width, the pause, colour, Japanese
// texts in its character set), an elapsed-time clock, the files beside the
// one hashed and the clipboard. platform_posix.cpp serves Linux,
// platform_windows.cpp Windows on msvcrt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

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

// Writes the path on standard output as the report's first line's text:
// as given, except that on Windows, on a console, it is written as the wide
// argument (the name as Explorer shows it), and elsewhere a character the
// code page lacks becomes '?' rather than a look-alike letter.
void platform_write_path(const char* path);

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

// Milliseconds of elapsed (wall) time as a signed 32-bit tick count. Only
// differences mean anything; take them modulo 2^32.
std::int32_t platform_clock_ms();

// The console form of a Japanese text, given as its stored Shift-JIS bytes
// and its UTF-8 form: the one the console's character set shows. Never
// fails and converts nothing.
const char* platform_text(const char* sjis, const char* utf8);

// Writes a Japanese text, given as platform_text takes it, on standard
// output: on a Windows console as wide text, which reads right whatever the
// console's code page; elsewhere the bytes platform_text picks.
void platform_write_text(const char* sjis, const char* utf8);

// Whether standard error (standard output) is a terminal: a console on
// Windows, not a file, a pipe or the null device.
bool platform_stderr_is_terminal();
bool platform_stdout_is_terminal();

// Whether the system's file names ignore ASCII case (Windows).
bool platform_names_ignore_case();

// The last component of `path`, the file's own name, into name[0..size-1]
// with a NUL: in UTF-8 on Windows (from the wide-character argument); on
// Linux as given, or converted to UTF-8 from the locale's character set
// where it is not UTF-8. Returns its length, or 0 when it does not fit.
std::size_t platform_file_name(const char* path, char* name, std::size_t size);

// The same name in the legacy character set that a list not in UTF-8 is
// written in: the ANSI code page on Windows, the locale's character set on
// Linux (the name as given where it is not UTF-8). Returns its length, or
// 0 when there is none or it cannot be spelled there.
std::size_t platform_legacy_name(const char* path, char* name, std::size_t size);

// Calls each(context, name, length) once for every entry of the folder that
// holds `path` (names in UTF-8 on Windows; "." and ".." left out), reading
// the folder once. Returns false when it cannot be read.
bool platform_list_folder(const char* path,
                          void (*each)(void* context, const char* name, std::size_t length),
                          void* context);

// The time the file `name` in the folder of `path` was last written, in
// any unit that grows with time, or -1 when it is not a regular file.
std::int64_t platform_list_time(const char* path, const char* name);

// Reads the file `name` in the folder of `path` (or, where `name` is
// nullptr, the file `path` itself) through buffer[0..size-1], handing each
// piece to consume(context, bytes, count). Only a regular file of at most
// `limit` bytes is read (a FIFO or device is not opened for reading, so
// nothing blocks). Returns 1 when it was read to its end, 0 when reading
// stopped early (an error, or the file grew past `limit`), -1 when nothing
// was read.
int platform_read_list(const char* path, const char* name, std::uint64_t limit,
                       unsigned char* buffer, std::size_t size,
                       void (*consume)(void* context, const unsigned char* bytes,
                                       std::size_t count),
                       void* context);

// The clipboard's text in UTF-8 into text[0..size-1] with a NUL, if it holds
// text that fits. Returns its length, 0 when there is none (always on Linux).
std::size_t platform_clipboard_text(char* text, std::size_t size);

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

// Whether a program is also started from Explorer: by dropping a file on it
// or its shortcut, or from the right-click menu that install.cmd adds
// (Windows); elsewhere only from the command line.
bool platform_has_explorer();

// Opens the file `path` for binary reading, and tells the system that it is
// read in order from start to end. On Windows the program's own argument
// opens by its wide-character name where the ANSI code page cannot spell
// it, and a path too long for the plain form through its extended form.
// Returns nullptr when it cannot be opened.
std::FILE* platform_open_file(const char* path);

// fread(buffer, 1, size, file): the same bytes, count and error indicator,
// without taking the stream's lock where the runtime allows it. A stream
// read this way is used by one thread at a time, handed over at points
// where the threads synchronise.
std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file);

// The size of the open file, or -1 when it has none (a pipe, a FIFO, a
// device).
std::int64_t platform_file_size(std::FILE* file);

// The width of the terminal or console that standard error shows on.
unsigned platform_stderr_columns();

// Tells the platform that a line of `columns` characters now stands on
// standard error (0: none), so that a signal or Ctrl-C that ends the
// program erases it first.
void platform_guard_line(unsigned columns);

// One thread beside the main one, and two counting semaphores (0 and 1)
// that they share; one such thread at a time. Starts body() on a small
// stack with the semaphores at `first` and `second`; signals stay with the
// main thread. Returns false, holding nothing, where it cannot start.
bool platform_thread_start(void (*body)(), unsigned first, unsigned second);
void platform_semaphore_wait(unsigned semaphore);
void platform_semaphore_post(unsigned semaphore);
// Waits for the thread's end, then releases it and the semaphores.
void platform_thread_join();

// Maps `length` bytes of the open regular file from `offset` (a multiple of
// 64 KiB) for reading, read in order. Returns nullptr where it cannot.
const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length);
void platform_unmap(const unsigned char* view, std::size_t length);

// Runs work(context), in which the mapped bytes view[0..length-1] are read.
// A fault on a page of them that the file no longer holds (it shrank) or
// cannot give (an I/O error) ends the work there: the result is then false.
bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* view,
                         std::size_t length);

// Moves the stream to `offset` bytes from the file's start; false when it
// cannot.
bool platform_seek(std::FILE* file, std::uint64_t offset);

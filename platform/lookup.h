// What the verdict looks up beside the file hashed, where it differs by
// system: how names compare, the file's own name, the folder's entries,
// the lists in it and the clipboard's text. Defined in platform/posix/ for
// Linux and platform/windows/ for Windows on msvcrt.
#pragma once

#include <cstddef>
#include <cstdint>

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

// The time the file `name` in the folder of `path` (or, where `name` is
// nullptr, the file `path` itself) was last written, in 100-nanosecond
// ticks from a fixed epoch, or -1 when it is not a regular file.
std::int64_t platform_list_time(const char* path, const char* name);

// Reads the file `name` in the folder of `path` (or, where `name` is
// nullptr, the file `path` itself) through buffer[0..size-1], handing each
// piece to consume(context, bytes, count), which returns false to stop
// reading. Only a regular file is read (a FIFO or device is not opened for
// reading, so nothing blocks), and only its first `limit` bytes. Returns 1
// when it was read to its end, 0 when reading stopped early (an error, the
// file longer than `limit`, or consume's stop), -1 when nothing was read as
// it is not a regular file, -2 when it could not be opened (no
// permission).
int platform_read_list(const char* path, const char* name, std::uint64_t limit,
                       unsigned char* buffer, std::size_t size,
                       bool (*consume)(void* context, const unsigned char* bytes,
                                       std::size_t count),
                       void* context);

// The clipboard's text in UTF-8 into text[0..size-1] with a NUL, if it holds
// text that fits. Returns its length, 0 when there is none (always on Linux).
std::size_t platform_clipboard_text(char* text, std::size_t size);

// Whether the clipboard's text was copied from a console window (the
// console host, a terminal): likely a program's own output, which vouches
// for nothing. False where it cannot be told (always on Linux).
bool platform_clipboard_from_console();

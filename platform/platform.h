// What the programs need from the platform beyond standard C++: the closing
// pause, an elapsed-time clock, and the console form of Japanese texts.
// platform_posix.cpp serves Linux, platform_windows.cpp the Windows target.
#pragma once

#include <cstddef>
#include <cstdint>

// Flushes standard output, shows a "press any key" prompt and waits for one
// key. Returns at once when standard input has ended or is not readable.
void platform_pause();

// Milliseconds of elapsed (wall) time as a signed 32-bit tick count. Only
// differences mean anything; take them modulo 2^32.
std::int32_t platform_clock_ms();

// The console form of `sjis`, a NUL-terminated Shift-JIS text: either `sjis`
// itself or its conversion written into buffer[0..size-1]. Never fails; when
// no conversion can be made, the stored bytes are returned.
const char* platform_text(const char* sjis, char* buffer, std::size_t size);

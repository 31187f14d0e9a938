// What the programs need from the platform beyond standard C++: process
// set-up, the closing pause, an elapsed-time clock, and the console form of
// Japanese texts. platform_posix.cpp serves Linux, platform_windows.cpp the
// Windows target.
#pragma once

#include <cstdint>

// Called first in main. On Linux a write to a pipe whose reader has gone
// then fails with an error the program reports, instead of killing it.
void platform_start();

// Flushes standard output, shows a "press any key" prompt and waits for one
// key. Returns at once when standard input has ended or is not readable.
// On a terminal the key is taken whole, and the terminal's settings are the
// same afterwards, also when a signal ends the program during the wait.
void platform_pause();

// Milliseconds of elapsed (wall) time as a signed 32-bit tick count. Only
// differences mean anything; take them modulo 2^32.
std::int32_t platform_clock_ms();

// The console form of a Japanese text, given as its stored Shift-JIS bytes
// and its UTF-8 form: the one the console's character set shows. Never
// fails and converts nothing.
const char* platform_text(const char* sjis, const char* utf8);

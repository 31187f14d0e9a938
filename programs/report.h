// What the three programs write: the digest report, the file error message,
// the elapsed time of hash384, and the closing line ends and pause.
#pragma once

#include <cstdint>

// Writes the path, an empty line, then `count` 64-bit words as 16 lowercase
// hexadecimal digits each (high half first), with no line end after them.
void report_digest(const char* path, const std::uint64_t* words, unsigned count);

// The same for 32-bit words, 8 digits each.
void report_digest(const char* path, const std::uint32_t* words, unsigned count);

// Writes a line end, the seconds that `ticks` milliseconds make, with six
// decimals, and the Japanese unit.
void report_seconds(std::int32_t ticks);

// After a report: when standard error is a console, says there whether the
// `algorithm` digest ("SHA512", "SHA384", "SHA256") in `words` (the first
// `count`) is the one the file is expected to have (verdict.h); `argument`
// is the program's second, or nullptr, and `unused` counts the arguments
// after it.
void report_verdict(const char* path, const char* argument, int unused, const char* algorithm,
                    const std::uint64_t* words, unsigned count);
void report_verdict(const char* path, const char* argument, int unused, const char* algorithm,
                    const std::uint32_t* words, unsigned count);

// Writes the file error message, which stands in place of the whole report.
void report_file_error();

// Ends every run: the closing line ends, the pause, and the exit status:
// 0 after a report that reached standard output, 1 when `result` (the
// driver's) was a failure, 2 when the report or the pause's prompt could
// not be written. `usage`: the program's name ("hash256") when it was
// started without any argument, nullptr otherwise: then, on a console, how
// it is used is shown on standard error before the pause (verdict_usage).
int report_close(int result, const char* usage);

// What the three programs write: the digest report, the file error message,
// the elapsed time of hash384, the verdict, and the closing line ends and
// pause.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm.h"

// The digest's text: the first `algorithm.digits` hexadecimal digits of
// `words` (each word's high digit first) in lowercase, with a NUL, into
// hex[0..algorithm.digits]. Returns hex.
template <typename Word>
const char* report_hex(const Word* words, const Algorithm& algorithm, char* hex)
{
    constexpr std::size_t per_word = sizeof(Word) * 2;
    for (std::size_t i = 0; i < algorithm.digits; ++i) {
        const unsigned shift = static_cast<unsigned>(4 * (per_word - 1 - i % per_word));
        hex[i] = "0123456789abcdef"[(words[i / per_word] >> shift) & 0xFU];
    }
    hex[algorithm.digits] = '\0';
    return hex;
}

// Writes the path, an empty line, then the digest's text, with no line end
// after it.
void report_digest(const char* path, const char* digest);

// Writes a line end, the seconds that `ticks` milliseconds make, with six
// decimals, and the Japanese unit.
void report_seconds(std::int32_t ticks);

// After a report: when standard error is a console, says there whether the
// `algorithm` digest `digest` (report_hex) is the one the file is expected
// to have (verdict.h); `argument` is the program's second, or nullptr, and
// `unused` counts the arguments after it.
void report_verdict(const char* path, const char* argument, int unused, const Algorithm& algorithm,
                    const char* digest);

// Writes the file error message, which stands in place of the whole report.
void report_file_error();

// Ends every run: the closing line ends, the pause, and the exit status:
// 0 after a report that reached standard output, 1 when `result` (the
// driver's) was a failure, 2 when the report or the pause's prompt could
// not be written. `usage`: the program's name ("hash256") when it was
// started without any argument, nullptr otherwise: then, on a console, how
// it is used is shown on standard error before the pause (verdict_usage).
int report_close(int result, const char* usage);

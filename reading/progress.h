// A progress line for long runs: while a driver reads a file, and standard
// error is a terminal (a console on Windows), one line there shows how far
// the work has got, rewritten in place; it is erased before the driver
// returns, so nothing of it stays on the screen. Elsewhere nothing is shown.
#pragma once

#include <cstdint>
#include <cstdio>

// One driver call's progress, on the driver's stack.
struct ProgressLine {
    std::uint64_t next_look; // byte total at which to look at the clock again
    std::int64_t size;       // bytes in the file, or -1 when not known
    std::int32_t start_ms;   // platform_clock_ms() when the reading began
    std::int32_t shown_ms;   // when the line was last written
    unsigned shown_length;   // characters of the line on the screen, 0 for none
};

// Starts the progress of reading `file` (just opened): shown only when
// standard error is a terminal; the percentage only when the file's size is
// known (a regular file).
void progress_start(ProgressLine& progress, std::FILE* file);

// Shows the line for `done` bytes, when it is due.
void progress_show(ProgressLine& progress, std::uint64_t done);

// Called after every read with the byte total so far. Costs one comparison:
// the clock is looked at once a MiB, and only on a terminal.
inline void progress_update(ProgressLine& progress, std::uint64_t done)
{
    if (done >= progress.next_look) {
        progress_show(progress, done);
    }
}

// Erases the line, if one was shown. Call before the driver returns.
void progress_end(ProgressLine& progress);

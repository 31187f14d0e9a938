// The progress line: when to show it, what it says, and erasing it.
#include "progress.h"

#include <cstring>

#include "platform.h"

namespace {

constexpr std::uint64_t look_every = std::uint64_t{1} << 20; // bytes between clock looks
constexpr std::uint64_t never = ~std::uint64_t{0};
constexpr std::int32_t first_after_ms = 1000; // quiet for short runs
constexpr std::int32_t every_ms = 250;        // at most four lines a second

std::int32_t since(std::int32_t start, std::int32_t now)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now) -
                                     static_cast<std::uint32_t>(start));
}

// `bytes` as "12.3 MiB" or "1.23 GiB" into text[0..size-1].
void format_bytes(char* text, std::size_t size, double bytes)
{
    constexpr double mib = 1024.0 * 1024.0;
    if (bytes < 1024.0 * mib) {
        std::snprintf(text, size, "%.1f MiB", bytes / mib);
    } else {
        std::snprintf(text, size, "%.2f GiB", bytes / (1024.0 * mib));
    }
}

// Writes `line` over the one on the screen, blanking what it does not cover.
void write_over(platform_progress& progress, const char* line)
{
    const auto length = static_cast<unsigned>(std::strlen(line));
    std::fprintf(
        stderr, "\r%s%*s", line,
        progress.shown_length > length ? static_cast<int>(progress.shown_length - length) : 0, "");
    std::fflush(stderr);
    progress.shown_length = length;
}

} // namespace

void platform_progress_start(platform_progress& progress, std::FILE* file)
{
    progress.shown_length = 0;
    progress.start_ms = platform_clock_ms();
    progress.shown_ms = progress.start_ms;
    if (!platform_stderr_is_terminal()) {
        progress.next_look = never;
        progress.size = -1;
        return;
    }
    progress.next_look = look_every;
    progress.size = platform_file_size(file);
}

void platform_progress_show(platform_progress& progress, std::uint64_t done)
{
    progress.next_look = done + look_every;
    const std::int32_t now = platform_clock_ms();
    const std::int32_t elapsed = since(progress.start_ms, now);
    if (elapsed < first_after_ms ||
        (progress.shown_length != 0 && since(progress.shown_ms, now) < every_ms)) {
        return;
    }
    progress.shown_ms = now;

    // Bytes done and the rate; with a known size, the share done before
    // them and the time left after them.
    const double rate = static_cast<double>(done) * 1000.0 / static_cast<double>(elapsed);
    char bytes[32];
    char speed[32];
    format_bytes(bytes, sizeof bytes, static_cast<double>(done));
    format_bytes(speed, sizeof speed, rate);
    char line[128];
    if (progress.size > 0 && done <= static_cast<std::uint64_t>(progress.size)) {
        const auto size = static_cast<double>(progress.size);
        const auto left = static_cast<unsigned long>((size - static_cast<double>(done)) /
                                                     (rate > 0.0 ? rate : 1.0));
        std::snprintf(line, sizeof line, "%3d%%  %s  %s/s  %lu:%02lu left",
                      static_cast<int>(static_cast<double>(done) * 100.0 / size), bytes, speed,
                      left / 60, left % 60);
    } else {
        std::snprintf(line, sizeof line, "%s  %s/s", bytes, speed);
    }
    write_over(progress, line);
}

void platform_progress_end(platform_progress& progress)
{
    if (progress.shown_length == 0) {
        return;
    }
    // Blank the whole line and return to its start, where the report goes.
    write_over(progress, "");
    std::fputs("\r", stderr);
    std::fflush(stderr);
    progress.shown_length = 0;
}

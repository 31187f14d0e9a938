// The progress line: when to show it, what it says, and erasing it.
#include "progress.h"

#include <cstring>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/terminal.h"

namespace
{

constexpr std::uint64_t look_every = std::uint64_t{1} << 20; // bytes between clock looks
constexpr std::uint64_t never = ~std::uint64_t{0};
constexpr std::int32_t first_after_ms = 1000; // quiet for short runs
constexpr std::int32_t every_ms = 250;        // at most four lines a second

std::int32_t since(std::int32_t start, std::int32_t now)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(now)
                                     - static_cast<std::uint32_t>(start));
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
// The line is at most one character shorter than the screen is wide, so
// that it never wraps and a carriage return always gets back to its start.
// The handlers that erase the line when a signal ends the program stand,
// covering the wider of the two lines, before its first character goes out.
void write_over(ProgressLine& progress, const char* line)
{
    const unsigned room = platform_stderr_columns() - 1;
    unsigned length = static_cast<unsigned>(std::strlen(line));
    length = length < room ? length : room;
    const unsigned shown = progress.shown_length < room ? progress.shown_length : room;
    platform_guard_line(shown > length ? shown : length);
    std::fprintf(stderr, "\r%.*s%*s", static_cast<int>(length), line,
                 shown > length ? static_cast<int>(shown - length) : 0, "");
    std::fflush(stderr);
    progress.shown_length = length;
    platform_guard_line(length);
}

} // namespace

void progress_start(ProgressLine& progress, std::FILE* file)
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

void progress_show(ProgressLine& progress, std::uint64_t done)
{
    progress.next_look = done + look_every;
    const std::int32_t now = platform_clock_ms();
    const std::int32_t elapsed = since(progress.start_ms, now);
    if (elapsed < first_after_ms
        || (progress.shown_length != 0 && since(progress.shown_ms, now) < every_ms)) {
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
    // The parts in order of importance; on a narrow screen the line keeps
    // as many whole parts as fit, and at least a cut first one.
    char share[16] = "";
    char left[32] = "";
    if (progress.size > 0 && done <= static_cast<std::uint64_t>(progress.size)) {
        const auto size = static_cast<double>(progress.size);
        const auto seconds = static_cast<unsigned long>((size - static_cast<double>(done))
                                                        / (rate > 0.0 ? rate : 1.0));
        std::snprintf(share, sizeof share, "%3d%%",
                      static_cast<int>(static_cast<double>(done) * 100.0 / size));
        std::snprintf(left, sizeof left, "%lu:%02lu left", seconds / 60, seconds % 60);
    }
    std::snprintf(speed + std::strlen(speed), sizeof speed - std::strlen(speed), "/s");
    const char* const parts[] = {share[0] != '\0' ? share : bytes, share[0] != '\0' ? bytes : speed,
                                 share[0] != '\0' ? speed : "", left};
    const unsigned room = platform_stderr_columns() - 1;
    char line[128] = "";
    for (const char* part : parts) {
        if (part[0] == '\0') {
            continue;
        }
        const std::size_t length = std::strlen(line);
        const std::size_t more = (length > 0 ? 2 : 0) + std::strlen(part);
        if (length > 0 && length + more > room) {
            break;
        }
        std::snprintf(line + length, sizeof line - length, "%s%s", length > 0 ? "  " : "", part);
    }
    write_over(progress, line);
}

void progress_end(ProgressLine& progress)
{
    if (progress.shown_length == 0) {
        return;
    }
    // Blank the whole line and return to its start, where the report goes.
    write_over(progress, "");
    std::fputs("\r", stderr);
    std::fflush(stderr);
    progress.shown_length = 0;
    platform_guard_line(0);
}

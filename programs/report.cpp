// Report output shared by hash512, hash384 and hash256.
#include "report.h"

#include <cstdio>

#include "platform.h"

namespace {

// "ファイルエラーが発生しました" in Shift-JIS (code page 932).
constexpr char file_error_message[] =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B"
    "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

// A line end, the seconds, and "秒" in Shift-JIS.
constexpr char seconds_format[] = "\n%f\x95\x62";

// Room for a stored text converted to UTF-8 (at most 3 bytes a character).
constexpr unsigned text_room = 2 * sizeof(file_error_message);

void write_path(const char* path)
{
    std::printf("%s\n\n", path);
}

} // namespace

void report_digest(const char* path, const std::uint64_t* words, unsigned count)
{
    write_path(path);
    for (unsigned i = 0; i < count; ++i) {
        std::printf("%08x", static_cast<unsigned>(words[i] >> 32));
        std::printf("%08x", static_cast<unsigned>(words[i] & 0xffffffffU));
    }
}

void report_digest(const char* path, const std::uint32_t* words, unsigned count)
{
    write_path(path);
    for (unsigned i = 0; i < count; ++i) {
        std::printf("%08x", static_cast<unsigned>(words[i]));
    }
}

void report_seconds(std::int32_t ticks)
{
    // The tick count is divided as a float by 1000.0f and printed as a double.
    const float seconds = static_cast<float>(ticks) / 1000.0F;
    char text[text_room];
    std::printf(platform_text(seconds_format, text, sizeof text), static_cast<double>(seconds));
}

void report_file_error()
{
    // The message holds no conversion, so fputs writes what printf would.
    char text[text_room];
    std::fputs(platform_text(file_error_message, text, sizeof text), stdout);
}

int report_close(int result)
{
    std::puts("\n");
    const bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    platform_pause();
    if (result != 0) {
        return 1;
    }
    return written ? 0 : 2;
}

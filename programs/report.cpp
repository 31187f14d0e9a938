// Report output shared by hash512, hash384 and hash256.
#include "report.h"

#include <cstdio>

#include "platform/process.h"
#include "platform/terminal.h"
#include "verdict.h"

namespace
{

// "ファイルエラーが発生しました": the stored Shift-JIS bytes (code page 932)
// and the UTF-8 form, for consoles that use it.
constexpr char file_error_sjis[] = "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B"
                                   "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";
constexpr char file_error_utf8[] =
    "\xE3\x83\x95\xE3\x82\xA1\xE3\x82\xA4\xE3\x83\xAB\xE3\x82\xA8\xE3\x83\xA9\xE3\x83\xBC"
    "\xE3\x81\x8C\xE7\x99\xBA\xE7\x94\x9F\xE3\x81\x97\xE3\x81\xBE\xE3\x81\x97\xE3\x81\x9F";

// "秒", the unit after the seconds, in Shift-JIS and in UTF-8.
constexpr char unit_sjis[] = "\x95\x62";
constexpr char unit_utf8[] = "\xE7\xA7\x92";

// The room of the verdict: the programs' fixed buffers for reading lists
// and composing its lines.
VerdictRoom verdict_room;

} // namespace

void report_digest(const char* path, const char* digest)
{
    platform_write_path(path);
    std::fputs("\n\n", stdout);
    std::fputs(digest, stdout);
}

void report_verdict(const char* path, const char* argument, int unused, const Algorithm& algorithm,
                    const char* digest)
{
    // The digest reaches the terminal before any lookup.
    std::fflush(stdout);
    verdict_show(path, argument, unused, algorithm, digest, verdict_room);
}

void report_seconds(std::int32_t ticks)
{
    // The tick count is divided as a float by 1000.0f and printed as a double.
    const float seconds = static_cast<float>(ticks) / 1000.0F;
    std::printf("\n%f", static_cast<double>(seconds));
    platform_write_text(unit_sjis, unit_utf8);
}

void report_file_error()
{
    platform_write_text(file_error_sjis, file_error_utf8);
}

int report_close(int result, const char* usage)
{
    std::puts("\n");
    bool written = std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (usage != nullptr) {
        verdict_usage(usage, verdict_room);
    }
    platform_pause();
    // The prompt is part of the output too: one cut off is a failed write.
    written = written && std::fflush(stdout) == 0 && std::ferror(stdout) == 0;
    if (result != 0) {
        return 1;
    }
    return written ? 0 : 2;
}

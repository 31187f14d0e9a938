// The process on Linux: SIGPIPE and SIGXFSZ ignored, the arguments as
// given, the monotonic clock, and Japanese texts in the locale's character
// set.
#include "platform/process.h"

#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

namespace
{

// True when the user's locale (LC_CTYPE from the environment) stores text in
// any flavour of Shift-JIS: SHIFT_JIS, SJIS, CP932, WINDOWS-31J, MS_KANJI,
// SHIFT_JISX0213, ... Names are compared without case, '-' or '_'.
bool locale_is_shift_jis()
{
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return false;
    }
    char name[32];
    std::size_t length = 0;
    for (const char* c = nl_langinfo_l(CODESET, user); *c != '\0' && length + 1 < sizeof name;
         ++c) {
        if (*c != '-' && *c != '_') {
            name[length++] = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        }
    }
    name[length] = '\0';
    freelocale(user);
    static constexpr const char* exact[] = {"SJIS", "CP932", "WINDOWS31J", "MSKANJI", "CSSHIFTJIS"};
    for (const char* candidate : exact) {
        if (std::strcmp(name, candidate) == 0) {
            return true;
        }
    }
    return std::strncmp(name, "SHIFTJIS", 8) == 0;
}

} // namespace

void platform_start()
{
    // A reader that has gone makes the write fail with EPIPE, and a write
    // past a file size limit with EFBIG, which the report sees, instead of a
    // SIGPIPE or SIGXFSZ that would end the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

void platform_arguments(int argc, char* argv[], const char*& path, const char*& expected,
                        int& unused)
{
    path = argc > 1 ? argv[1] : nullptr;
    expected = argc > 2 ? argv[2] : nullptr;
    unused = argc > 3 ? argc - 3 : 0;
}

std::int32_t platform_clock_ms()
{
    // clock() counts processor time here; the report means wall time.
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000U
                    + static_cast<std::uint64_t>(now.tv_nsec) / 1000000U;
    // Keep the low 32 bits as a signed count, as a 32-bit clock() would.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms));
}

void platform_write_path(const char* path)
{
    std::fputs(path, stdout);
}

const char* platform_text(const char* sjis, const char* utf8)
{
    return locale_is_shift_jis() ? sjis : utf8;
}

void platform_write_text(const char* sjis, const char* utf8)
{
    std::fputs(platform_text(sjis, utf8), stdout);
}

bool platform_stdout_is_terminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

bool platform_has_explorer()
{
    return false;
}

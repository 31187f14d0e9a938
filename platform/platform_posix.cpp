// Linux side of the platform: a pause of our own on the terminal, the
// monotonic clock, and Shift-JIS texts shown in the locale's character set.
#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <strings.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Reads one byte from standard input, retrying when a signal interrupts the
// wait. Returns the byte, or -1 at end of input or on an error.
int read_byte()
{
    unsigned char c = 0;
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, &c, 1);
        if (n == 1) {
            return c;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return -1;
    }
}

// True when the user's locale (LC_CTYPE from the environment) stores text
// in Shift-JIS or its Windows variant, code page 932.
bool locale_is_shift_jis()
{
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return false;
    }
    const char* codeset = nl_langinfo_l(CODESET, user);
    bool sjis = false;
    static constexpr const char* names[] = {"SHIFT_JIS", "SHIFT-JIS", "SJIS",
                                            "CP932",     "WINDOWS-31J", "MS_KANJI"};
    for (const char* name : names) {
        if (strcasecmp(codeset, name) == 0) {
            sjis = true;
        }
    }
    freelocale(user);
    return sjis;
}

} // namespace

void platform_pause()
{
    // The prompt, and the report before it, must be visible while we wait.
    std::fputs("Press any key to continue . . . ", stdout);
    std::fflush(stdout);

    // Not a terminal: one byte or the end of input ends the wait.
    termios saved{};
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) {
        read_byte();
        std::fputs("\n", stdout);
        std::fflush(stdout);
        return;
    }

    // A terminal: take one key without Enter and without echo. Signal keys
    // arrive as plain bytes, so the settings are put back before an
    // interrupt or quit key takes effect.
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    const int key = read_byte();
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);

    std::fputs("\n", stdout);
    std::fflush(stdout);
    if (key >= 0 && key == saved.c_cc[VINTR] && saved.c_cc[VINTR] != _POSIX_VDISABLE) {
        std::raise(SIGINT);
    } else if (key >= 0 && key == saved.c_cc[VQUIT] && saved.c_cc[VQUIT] != _POSIX_VDISABLE) {
        std::raise(SIGQUIT);
    }
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

const char* platform_text(const char* sjis, char* buffer, std::size_t size)
{
    if (locale_is_shift_jis() || size == 0) {
        return sjis;
    }

    // Any other locale: convert to UTF-8, the common terminal encoding.
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr): iconv's error value
        return sjis;
    }
    char* in = const_cast<char*>(sjis);
    std::size_t in_left = std::strlen(sjis);
    char* out = buffer;
    std::size_t out_left = size - 1;
    const std::size_t done = iconv(cd, &in, &in_left, &out, &out_left);
    iconv_close(cd);
    if (done == static_cast<std::size_t>(-1) || in_left != 0) {
        return sjis;
    }
    *out = '\0';
    return buffer;
}

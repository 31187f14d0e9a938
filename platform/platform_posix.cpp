// Linux side of the platform: a pause of our own on the terminal, the
// monotonic clock, Japanese texts in the locale's character set, and the
// files and terminal output of the verdict.
#include "platform.h"
#include "progress.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include <fcntl.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr char prompt[] = "Press any key to continue . . . ";

// How long the pause keeps reading after a key's first byte: the rest of a
// key that sends several bytes (an arrow, a function key, a non-ASCII
// character) follows within this time, and is taken with it.
constexpr int key_rest_ms = 50;

// The signals that end the program during the pause; each first puts the
// terminal back.
constexpr int ending_signals[] = {SIGINT, SIGQUIT, SIGTERM, SIGHUP};

// The terminal settings found by the pause, for its signal handler.
termios settings_to_restore;

extern "C" void restore_terminal_and_end(int signal_number)
{
    // tcsetattr, sigaction and raise are safe in a signal handler. The
    // signal is blocked here, so the raised one ends the program as soon
    // as the handler returns, as it would have without the handler.
    tcsetattr(STDIN_FILENO, TCSANOW, &settings_to_restore);
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    raise(signal_number);
}

// Waits until standard input has something to read, or `timeout_ms` has
// passed (-1: no limit). True when there is something (or its end).
bool wait_for_input(int timeout_ms)
{
    pollfd watch{STDIN_FILENO, POLLIN, 0};
    for (;;) {
        const int ready = poll(&watch, 1, timeout_ms);
        if (ready >= 0) {
            return ready > 0;
        }
        if (errno != EINTR) {
            return true; // let the read that follows report the error
        }
    }
}

// Reads up to `size` bytes from standard input, waiting for them also when
// the descriptor is non-blocking, and retrying when a signal interrupts the
// wait. Returns the count, 0 at end of input, -1 on an error.
ssize_t read_input(unsigned char* bytes, std::size_t size)
{
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, bytes, size);
        if (n >= 0) {
            return n;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            wait_for_input(-1);
        } else if (errno != EINTR) {
            return -1;
        }
    }
}

// Takes one key from the terminal, whole: its first byte, then whatever
// else it sent. Returns the first byte, or -1 at end of input or on an error.
int take_key()
{
    unsigned char first = 0;
    if (read_input(&first, 1) != 1) {
        return -1;
    }
    unsigned char rest[64];
    while (wait_for_input(key_rest_ms) && read_input(rest, sizeof rest) > 0) {
    }
    return first;
}

// Installs the terminal-restoring handler for every ending signal that is
// not ignored, keeping the previous actions in `previous`.
void guard_terminal(const termios& saved, struct sigaction (&previous)[std::size(ending_signals)])
{
    settings_to_restore = saved;
    struct sigaction guard {};
    guard.sa_handler = restore_terminal_and_end;
    sigemptyset(&guard.sa_mask);
    for (const int signal_number : ending_signals) {
        sigaddset(&guard.sa_mask, signal_number);
    }
    for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
        sigaction(ending_signals[i], nullptr, &previous[i]);
        if (previous[i].sa_handler != SIG_IGN) {
            sigaction(ending_signals[i], &guard, nullptr);
        }
    }
}

void unguard_terminal(const struct sigaction (&previous)[std::size(ending_signals)])
{
    for (std::size_t i = 0; i < std::size(ending_signals); ++i) {
        sigaction(ending_signals[i], &previous[i], nullptr);
    }
}

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
    for (const char* c = nl_langinfo_l(CODESET, user); *c != '\0' && length + 1 < sizeof name; ++c) {
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
    // A reader that has gone makes the write fail with EPIPE, which the
    // report sees, instead of a SIGPIPE that would end the program.
    std::signal(SIGPIPE, SIG_IGN);
}

void platform_pause()
{
    // Not a terminal: one byte or the end of input ends the wait.
    termios saved{};
    if (isatty(STDIN_FILENO) == 0 || tcgetattr(STDIN_FILENO, &saved) != 0) {
        std::fputs(prompt, stdout);
        std::fflush(stdout);
        unsigned char byte = 0;
        read_input(&byte, 1);
        std::fputs("\n", stdout);
        std::fflush(stdout);
        return;
    }

    // A terminal: take one key without Enter and without echo, in settings
    // made before the prompt shows, so no key pressed at the prompt is
    // echoed. Signal keys arrive as plain bytes; signals sent otherwise put
    // the settings back before they end the program.
    struct sigaction previous[std::size(ending_signals)];
    guard_terminal(saved, previous);
    termios raw = saved;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);

    std::fputs(prompt, stdout);
    std::fflush(stdout);
    const int key = take_key();

    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    unguard_terminal(previous);
    std::fputs("\n", stdout);
    std::fflush(stdout);

    // Ctrl-C and Ctrl-\ keep their meaning, now that the terminal is back.
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

const char* platform_text(const char* sjis, const char* utf8)
{
    return locale_is_shift_jis() ? sjis : utf8;
}

bool platform_stderr_is_terminal()
{
    return isatty(STDERR_FILENO) != 0;
}

bool platform_stdout_is_terminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

std::size_t platform_file_name(const char* path, char* name, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const char* own = slash != nullptr ? slash + 1 : path;
    const std::size_t length = std::strlen(own);
    if (length == 0 || length >= size) {
        return 0;
    }
    std::memcpy(name, own, length + 1);
    return length;
}

long platform_read_beside(const char* path, const char* name, unsigned char* buffer, std::size_t size)
{
    // The folder of `path` (nothing for a bare name: the current folder),
    // then `name`.
    char beside[4096];
    const char* slash = std::strrchr(path, '/');
    const std::size_t folder = slash != nullptr ? static_cast<std::size_t>(slash - path) + 1 : 0;
    const std::size_t length = std::strlen(name);
    if (folder + length >= sizeof beside) {
        return -1;
    }
    std::memcpy(beside, path, folder);
    std::memcpy(beside + folder, name, length + 1);

    // Opening a FIFO without O_NONBLOCK would wait for a writer; it and any
    // device are closed unread.
    const int fd = open(beside, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {};
    long count = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        count = 0;
        while (static_cast<std::size_t>(count) < size) {
            const ssize_t n = read(fd, buffer + count, size - static_cast<std::size_t>(count));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                count = -1;
            }
            if (n <= 0) {
                break;
            }
            count += n;
        }
    }
    close(fd);
    return count;
}

std::size_t platform_clipboard_text(char* /*text*/, std::size_t /*size*/)
{
    return 0;
}

void platform_console_verdict(const char* utf8, const char* sjis, Tone tone, bool after_report)
{
    // ANSI colours, unless the terminal is a dumb one or the user asked for
    // none (NO_COLOR).
    const char* term = std::getenv("TERM");
    const char* no_color = std::getenv("NO_COLOR");
    const bool colour = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0
                        && (no_color == nullptr || *no_color == '\0');
    const char* on = tone == Tone::match ? "\033[32m" : tone == Tone::mismatch ? "\033[31m" : "\033[33m";
    std::fflush(stdout);
    std::fprintf(stderr, "%s%s%s%s%s", after_report ? "\n" : "", colour ? on : "",
                 platform_text(sjis, utf8), colour ? "\033[0m" : "", after_report ? "" : "\n");
    std::fflush(stderr);
}

std::int64_t platform_file_size(std::FILE* file)
{
    struct stat info {};
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

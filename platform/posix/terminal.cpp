// The terminal on Linux: its width, the progress line's guard, the pause
// of our own, and the verdict's line in ANSI colours.
#include "platform/terminal.h"
#include "platform/posix/signals.h"
#include "platform/process.h"

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr char prompt[] = "Press any key to continue . . . ";

// How long the pause keeps reading after a key's first byte: the rest of a
// key that sends several bytes (an arrow, a function key, a non-ASCII
// character) follows within this time, and is taken with it.
constexpr int key_rest_ms = 50;

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

} // namespace

bool platform_stderr_is_terminal()
{
    return isatty(STDERR_FILENO) != 0;
}

unsigned platform_stderr_columns()
{
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return 80;
    }
    return size.ws_col;
}

void platform_guard_line(unsigned columns)
{
    // The handlers stand only while a line is on the screen.
    line_columns = static_cast<sig_atomic_t>(columns);
    if (columns > 0) {
        guard_screen(false);
    } else {
        unguard_screen(false);
    }
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
    // echoed, and only a key pressed at the prompt: what was typed before it
    // (while the file was read) is discarded. Signal keys arrive as plain
    // bytes; signals sent otherwise put the settings back before they end or
    // stop the program.
    settings_to_restore = saved;
    raw_settings = saved;
    raw_settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG);
    raw_settings.c_cc[VMIN] = 1;
    raw_settings.c_cc[VTIME] = 0;
    restore_settings = 1;
    guard_screen(true);
    tcsetattr(STDIN_FILENO, TCSANOW, &raw_settings);
    tcflush(STDIN_FILENO, TCIFLUSH);

    std::fputs(prompt, stdout);
    std::fflush(stdout);
    const int key = take_key();

    // No handler may run between the restore and the clearing of its flag:
    // a SIGCONT there would take the terminal again, an ending signal would
    // restore it twice. What comes meanwhile is handled once the handlers
    // before the pause are back.
    sigset_t guarded_signals = ending_mask();
    sigaddset(&guarded_signals, SIGTSTP);
    sigaddset(&guarded_signals, SIGCONT);
    sigset_t before;
    sigprocmask(SIG_BLOCK, &guarded_signals, &before);
    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    restore_settings = 0;
    unguard_screen(true);
    sigprocmask(SIG_SETMASK, &before, nullptr);
    std::fputs("\n", stdout);
    std::fflush(stdout);

    // Ctrl-C and Ctrl-\ keep their meaning, now that the terminal is back.
    if (key >= 0 && key == saved.c_cc[VINTR] && saved.c_cc[VINTR] != _POSIX_VDISABLE) {
        std::raise(SIGINT);
    } else if (key >= 0 && key == saved.c_cc[VQUIT] && saved.c_cc[VQUIT] != _POSIX_VDISABLE) {
        std::raise(SIGQUIT);
    }
}

void platform_console_verdict(const char* utf8, const char* sjis, VerdictLabel label, Tone tone,
                              bool after_report)
{
    // ANSI colours, unless the terminal is a dumb one or the user asked for
    // none (NO_COLOR): the label black on green, white on red, black on
    // yellow, and back to the terminal's own colours after it.
    const char* term = std::getenv("TERM");
    const char* no_color = std::getenv("NO_COLOR");
    const bool colour = term != nullptr && *term != '\0' && std::strcmp(term, "dumb") != 0
                        && (no_color == nullptr || *no_color == '\0');
    const char* on = tone == Tone::match      ? "\033[30;42m"
                     : tone == Tone::mismatch ? "\033[97;41m"
                                              : "\033[30;43m";
    const char* text = platform_text(sjis, utf8);
    const std::size_t length = std::strlen(text);
    std::size_t at = text == sjis ? label.sjis_at : label.utf8_at;
    std::size_t count = text == sjis ? label.sjis_length : label.utf8_length;
    at = at < length ? at : length;
    count = count < length - at ? count : length - at;
    std::fflush(stdout);
    std::fprintf(stderr, "%s%.*s%s%.*s%s%s%s", after_report ? "\n" : "", static_cast<int>(at), text,
                 colour && count > 0 ? on : "", static_cast<int>(count), text + at,
                 colour && count > 0 ? "\033[0m" : "", text + at + count, after_report ? "" : "\n");
    std::fflush(stderr);
}

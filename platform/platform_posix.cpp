// Linux side of the platform: the file to hash and a reading thread on
// POSIX threads, a pause of our own on the terminal, the monotonic clock,
// Japanese texts in the locale's character set, and the files and terminal
// output of the verdict.
#include "platform.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iterator>

#include <dirent.h>
#include <fcntl.h>
#include <iconv.h>
#include <langinfo.h>
#include <locale.h>
#include <poll.h>
#include <pthread.h>
#include <semaphore.h>
#include <setjmp.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace
{

constexpr char prompt[] = "Press any key to continue . . . ";

// How long the pause keeps reading after a key's first byte: the rest of a
// key that sends several bytes (an arrow, a function key, a non-ASCII
// character) follows within this time, and is taken with it.
constexpr int key_rest_ms = 50;

// The signals whose default action ends the program, and which another
// process (or the terminal) may send: while the screen is not as the user
// left it (raw settings at the pause, a progress line on standard error),
// each first puts it right. Realtime signals are added at run time.
constexpr int ending_signals[] = {SIGHUP,    SIGINT,  SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM,
                                  SIGVTALRM, SIGPROF, SIGXCPU, SIGXFSZ, SIGIO,   SIGPWR};

// What the handlers put right: the terminal's settings found by the pause
// (while `restore_settings` is set) and the width of the progress line on
// standard error (0: none). The raw settings are the pause's own, taken
// again after a stop.
termios settings_to_restore;
termios raw_settings;
volatile sig_atomic_t restore_settings = 0;
volatile sig_atomic_t line_columns = 0;

// Ending and stop signals that had an action of their own before the guard
// (ignored ones stay ignored and get no handler).
constexpr int realtime_count = 32;
struct sigaction previous_actions[std::size(ending_signals) + realtime_count];
struct sigaction previous_stop;
struct sigaction previous_continue;
bool guarded = false;

// Blanks the progress line and returns to its start, with write() only,
// which a signal handler may call.
void erase_line()
{
    static constexpr char spaces[64] = {
        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
    (void)!write(STDERR_FILENO, "\r", 1);
    for (auto left = static_cast<std::size_t>(line_columns); left > 0;) {
        const std::size_t count = left < sizeof spaces ? left : sizeof spaces;
        (void)!write(STDERR_FILENO, spaces, count);
        left -= count;
    }
    (void)!write(STDERR_FILENO, "\r", 1);
}

extern "C" void put_screen_right_and_end(int signal_number)
{
    // tcsetattr, write, sigaction and raise are safe in a signal handler.
    // The signal is blocked here, so the raised one ends the program as
    // soon as the handler returns, as it would have without the handler.
    if (line_columns > 0) {
        erase_line();
    }
    if (restore_settings != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &settings_to_restore);
    }
    struct sigaction default_action {
    };
    default_action.sa_handler = SIG_DFL;
    sigemptyset(&default_action.sa_mask);
    sigaction(signal_number, &default_action, nullptr);
    raise(signal_number);
}

// A stop (Ctrl-Z from a job-control shell, kill -TSTP) during the pause:
// the terminal goes back to the user's settings while the program stands,
// and the pause takes it again when it goes on. In the background that
// stops it once more, as reading a terminal there does.
extern "C" void stop_with_terminal_back(int /*signal_number*/)
{
    const int saved_errno = errno;
    tcsetattr(STDIN_FILENO, TCSANOW, &settings_to_restore);
    struct sigaction stop {
    };
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    struct sigaction guard {
    };
    sigaction(SIGTSTP, &stop, &guard);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, SIGTSTP);
    sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    raise(SIGTSTP);
    // Here once the program goes on.
    sigaction(SIGTSTP, &guard, nullptr);
    tcsetattr(STDIN_FILENO, TCSANOW, &raw_settings);
    errno = saved_errno;
}

// Going on after any stop (SIGSTOP too): take the terminal again.
extern "C" void take_terminal_again(int /*signal_number*/)
{
    const int saved_errno = errno;
    if (restore_settings != 0) {
        tcsetattr(STDIN_FILENO, TCSANOW, &raw_settings);
    }
    errno = saved_errno;
}

// Installs `handler` for `signal_number` unless it is ignored, keeping the
// previous action.
void install(int signal_number, void (*handler)(int), const sigset_t& mask,
             struct sigaction& previous)
{
    sigaction(signal_number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) {
        struct sigaction action {
        };
        action.sa_handler = handler;
        action.sa_mask = mask;
        sigaction(signal_number, &action, nullptr);
    }
}

// Puts the handlers in place, for the pause or the progress line; the pause
// also guards against stops.
void guard_screen(bool stops)
{
    if (stops) {
        sigset_t none;
        sigemptyset(&none);
        install(SIGTSTP, stop_with_terminal_back, none, previous_stop);
        install(SIGCONT, take_terminal_again, none, previous_continue);
    }
    if (guarded) {
        return;
    }
    guarded = true;
    sigset_t mask;
    sigemptyset(&mask);
    for (const int signal_number : ending_signals) {
        sigaddset(&mask, signal_number);
    }
    std::size_t i = 0;
    for (const int signal_number : ending_signals) {
        install(signal_number, put_screen_right_and_end, mask, previous_actions[i++]);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX && i < std::size(previous_actions);
         ++signal_number) {
        install(signal_number, put_screen_right_and_end, mask, previous_actions[i++]);
    }
}

void unguard_screen(bool stops)
{
    if (stops) {
        sigaction(SIGTSTP, &previous_stop, nullptr);
        sigaction(SIGCONT, &previous_continue, nullptr);
    }
    if (!guarded) {
        return;
    }
    guarded = false;
    std::size_t i = 0;
    for (const int signal_number : ending_signals) {
        sigaction(signal_number, &previous_actions[i++], nullptr);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX && i < std::size(previous_actions);
         ++signal_number) {
        sigaction(signal_number, &previous_actions[i++], nullptr);
    }
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

// `name` in the folder of `path` (nothing for a bare name: the current
// folder) into out[0..size-1].
bool beside(const char* path, const char* name, char* out, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const std::size_t folder = slash != nullptr ? static_cast<std::size_t>(slash - path) + 1 : 0;
    const std::size_t length = std::strlen(name);
    if (folder + length >= size) {
        return false;
    }
    std::memcpy(out, path, folder);
    std::memcpy(out + folder, name, length + 1);
    return true;
}

bool is_utf8(const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length;) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t count = c < 0x80             ? 1
                                  : (c & 0xE0) == 0xC0 ? 2
                                  : (c & 0xF0) == 0xE0 ? 3
                                  : (c & 0xF8) == 0xF0 ? 4
                                                       : 0;
        if (count == 0 || i + count > length) {
            return false;
        }
        for (std::size_t k = 1; k < count; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += count;
    }
    return true;
}

// Converts a name between UTF-8 and the locale's character set (to it
// where `to_locale` is set), when that is not UTF-8. Returns the length
// written into out[0..size-1] with a NUL, or 0.
std::size_t convert_name(const char* name, std::size_t length, bool to_locale, char* out,
                         std::size_t size)
{
    locale_t user = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr)) {
        return 0;
    }
    char charset[64];
    std::snprintf(charset, sizeof charset, "%s", nl_langinfo_l(CODESET, user));
    freelocale(user);
    if (strcasecmp(charset, "UTF-8") == 0 || strcasecmp(charset, "UTF8") == 0) {
        return 0;
    }
    iconv_t converter = to_locale ? iconv_open(charset, "UTF-8") : iconv_open("UTF-8", charset);
    // iconv_open's failure value is (iconv_t)-1.
    if (converter == reinterpret_cast<iconv_t>(-1)) { // NOLINT(performance-no-int-to-ptr)
        return 0;
    }
    char* in = const_cast<char*>(name);
    std::size_t in_left = length;
    char* at = out;
    std::size_t out_left = size - 1;
    const std::size_t result = iconv(converter, &in, &in_left, &at, &out_left);
    iconv_close(converter);
    if (result == static_cast<std::size_t>(-1) || in_left != 0) {
        return 0;
    }
    *at = '\0';
    return static_cast<std::size_t>(at - out);
}

} // namespace

void platform_arguments(int argc, char* argv[], const char*& path, const char*& expected,
                        int& unused)
{
    path = argc > 1 ? argv[1] : nullptr;
    expected = argc > 2 ? argv[2] : nullptr;
    unused = argc > 3 ? argc - 3 : 0;
}

void platform_write_path(const char* path)
{
    std::fputs(path, stdout);
}

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

    tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    restore_settings = 0;
    unguard_screen(true);
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

void platform_write_text(const char* sjis, const char* utf8)
{
    std::fputs(platform_text(sjis, utf8), stdout);
}

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

bool platform_stdout_is_terminal()
{
    return isatty(STDOUT_FILENO) != 0;
}

bool platform_names_ignore_case()
{
    return false;
}

std::size_t platform_file_name(const char* path, char* name, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const char* own = slash != nullptr ? slash + 1 : path;
    const std::size_t length = std::strlen(own);
    if (length == 0 || length >= size) {
        return 0;
    }
    if (!is_utf8(own, length)) {
        const std::size_t converted = convert_name(own, length, false, name, size);
        if (converted > 0) {
            return converted;
        }
    }
    std::memcpy(name, own, length + 1);
    return length;
}

std::size_t platform_legacy_name(const char* path, char* name, std::size_t size)
{
    const char* slash = std::strrchr(path, '/');
    const char* own = slash != nullptr ? slash + 1 : path;
    const std::size_t length = std::strlen(own);
    if (length == 0 || length >= size) {
        return 0;
    }
    if (is_utf8(own, length)) {
        return convert_name(own, length, true, name, size);
    }
    std::memcpy(name, own, length + 1);
    return length;
}

bool platform_list_folder(const char* path,
                          void (*each)(void* context, const char* name, std::size_t length),
                          void* context)
{
    char folder[4096];
    if (!beside(path, ".", folder, sizeof folder)) {
        return false;
    }
    DIR* listing = opendir(folder);
    if (listing == nullptr) {
        return false;
    }
    while (const dirent* entry = readdir(listing)) {
        const std::size_t length = std::strlen(entry->d_name);
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0
            && (entry->d_type == DT_REG || entry->d_type == DT_LNK
                || entry->d_type == DT_UNKNOWN)) {
            each(context, entry->d_name, length);
        }
    }
    closedir(listing);
    return true;
}

std::int64_t platform_list_time(const char* path, const char* name)
{
    char file[4096];
    struct stat info {
    };
    if (!beside(path, name, file, sizeof file) || stat(file, &info) != 0
        || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

int platform_read_list(const char* path, const char* name, std::uint64_t limit,
                       unsigned char* buffer, std::size_t size,
                       void (*consume)(void* context, const unsigned char* bytes,
                                       std::size_t count),
                       void* context)
{
    char file[4096];
    if (name == nullptr ? std::strlen(path) >= sizeof file
                        : !beside(path, name, file, sizeof file)) {
        return -1;
    }
    // Only a regular file is opened: opening a device can act on it (a
    // serial line's control lines), and a FIFO would wait for a writer. The
    // descriptor is checked again, in case the name changed in between.
    struct stat named {
    };
    if (stat(name == nullptr ? path : file, &named) != 0 || !S_ISREG(named.st_mode)) {
        return -1;
    }
    const int fd =
        open(name == nullptr ? path : file, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info {
    };
    int result = -1;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
        && static_cast<std::uint64_t>(info.st_size) <= limit) {
        std::uint64_t total = 0;
        for (;;) {
            const ssize_t n = read(fd, buffer, size);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                result = n == 0 ? 1 : 0;
                break;
            }
            if (total + static_cast<std::uint64_t>(n) > limit) {
                result = 0; // grown past the limit: a list no more
                break;
            }
            total += static_cast<std::uint64_t>(n);
            consume(context, buffer, static_cast<std::size_t>(n));
        }
    }
    close(fd);
    return result;
}

std::size_t platform_clipboard_text(char* /*text*/, std::size_t /*size*/)
{
    return 0;
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

bool platform_has_explorer()
{
    return false;
}

std::int64_t platform_file_size(std::FILE* file)
{
    struct stat info {
    };
    if (fstat(fileno(file), &info) != 0 || !S_ISREG(info.st_mode)) {
        return -1;
    }
    return static_cast<std::int64_t>(info.st_size);
}

std::FILE* platform_open_file(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (file != nullptr) {
        // Read in order from start to end: the system may read further ahead
        // on a file not yet in its cache.
        posix_fadvise(fileno(file), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    return file;
}

std::size_t platform_read(void* buffer, std::size_t size, std::FILE* file)
{
    // glibc's fread takes the stream's lock on every call.
#if defined(__GLIBC__)
    return fread_unlocked(buffer, 1, size, file);
#else
    return std::fread(buffer, 1, size, file);
#endif
}

namespace
{

// The reading thread's stack: it only reads.
constexpr std::size_t thread_stack = 64 * 1024;

sem_t semaphores[2];
pthread_t thread;
void (*thread_body)() = nullptr;

extern "C" void* thread_main(void* /*unused*/)
{
    thread_body();
    return nullptr;
}

} // namespace

bool platform_thread_start(void (*body)(), unsigned first, unsigned second)
{
    if (sem_init(&semaphores[0], 0, first) != 0) {
        return false;
    }
    if (sem_init(&semaphores[1], 0, second) != 0) {
        sem_destroy(&semaphores[0]);
        return false;
    }
    thread_body = body;
    // Signals go to the main thread, which handles them (the progress line,
    // the pause): the thread starts with them blocked, all but SIGTTIN and
    // SIGTTOU. Those keep their default action, so that reading the terminal
    // from the background stops the job, as for any reader, instead of
    // failing with EIO.
    sigset_t all;
    sigset_t before;
    sigfillset(&all);
    sigdelset(&all, SIGTTIN);
    sigdelset(&all, SIGTTOU);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    pthread_attr_t attributes;
    bool started = pthread_attr_init(&attributes) == 0;
    if (started) {
        pthread_attr_setstacksize(&attributes, thread_stack);
        started = pthread_create(&thread, &attributes, thread_main, nullptr) == 0;
        pthread_attr_destroy(&attributes);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    if (!started) {
        sem_destroy(&semaphores[0]);
        sem_destroy(&semaphores[1]);
    }
    return started;
}

void platform_semaphore_wait(unsigned semaphore)
{
    while (sem_wait(&semaphores[semaphore]) != 0 && errno == EINTR) {
    }
}

void platform_semaphore_post(unsigned semaphore)
{
    sem_post(&semaphores[semaphore]);
}

void platform_thread_join()
{
    pthread_join(thread, nullptr);
    sem_destroy(&semaphores[0]);
    sem_destroy(&semaphores[1]);
}

const unsigned char* platform_map(std::FILE* file, std::uint64_t offset, std::size_t length)
{
    // A 32-bit process maps the first 4 GiB only, and the stream reads on:
    // qemu's user-mode emulation of 32-bit x86 (Debian 12's) keeps only the
    // low 32 bits of a mapping's offset, which would map the wrong bytes.
    if (sizeof(void*) < 8 && offset + length > (std::uint64_t{1} << 32)) {
        return nullptr;
    }
    void* view =
        mmap(nullptr, length, PROT_READ, MAP_SHARED, fileno(file), static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        return nullptr;
    }
    // In order, start to end: the system reads ahead and drops what is done.
    madvise(view, length, MADV_SEQUENTIAL);
    return static_cast<const unsigned char*>(view);
}

void platform_unmap(const unsigned char* view, std::size_t length)
{
    munmap(const_cast<unsigned char*>(view), length);
}

namespace
{

// Where a fault on a mapped page returns to, while work on a mapping runs.
sigjmp_buf mapped_fault;
volatile sig_atomic_t mapped_work_runs = 0;

// A page of the mapping that the file no longer holds: back to the start of
// the work, which then fails. Any other SIGBUS ends the program as usual.
extern "C" void end_mapped_work(int signal_number)
{
    if (mapped_work_runs != 0) {
        siglongjmp(mapped_fault, 1);
    }
    std::signal(signal_number, SIG_DFL);
    raise(signal_number);
}

} // namespace

bool platform_run_mapped(void (*work)(void* context), void* context, const unsigned char* /*view*/,
                         std::size_t /*length*/)
{
    struct sigaction action {
    };
    action.sa_handler = end_mapped_work;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {
    };
    sigaction(SIGBUS, &action, &previous);
    volatile bool finished = false;
    if (sigsetjmp(mapped_fault, 1) == 0) {
        mapped_work_runs = 1;
        work(context);
        finished = true;
    }
    mapped_work_runs = 0;
    sigaction(SIGBUS, &previous, nullptr);
    return finished;
}

bool platform_seek(std::FILE* file, std::uint64_t offset)
{
    return fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

// The ending signals on Linux: one handler for them all, which puts the
// screen right (the terminal's settings, the progress line) and ends the
// program as the signal would, or sends a fault on the mapped file back to
// the work on it; and the stop's handlers of the pause.
#include "platform/posix/signals.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iterator>

#include <setjmp.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// The signals whose default action ends the program, sent by another
// process or the terminal or raised by a fault: while the screen is not as
// the user left it (raw settings at the pause, a progress line on standard
// error), each first puts it right. Realtime signals are added at run time.
// SIGXFSZ is not among them: it is ignored, so that a write past a file
// size limit fails and is reported.
constexpr int ending_signals[] = {
    SIGHUP,    SIGINT, SIGQUIT, SIGTERM, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU,
    SIGIO,     SIGPWR, SIGABRT, SIGSEGV, SIGBUS,  SIGFPE,  SIGILL,  SIGSYS,    SIGTRAP,
#if defined(SIGSTKFLT)
    SIGSTKFLT,
#endif
};

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

// Whether a SIGBUS is the file's own: a page of the mapping being hashed
// that the file no longer holds or cannot give, and not a signal sent by
// another process or a fault elsewhere.
bool is_mapped_file_fault(int signal_number, const siginfo_t* info)
{
    if (signal_number != SIGBUS || mapped_work_runs == 0 || info == nullptr
        || info->si_code != BUS_ADRERR) {
        return false;
    }
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    const auto start = reinterpret_cast<std::uintptr_t>(mapped_view);
    return address >= start && address - start < mapped_length;
}

// The one handler of every ending signal. A fault on the mapped file goes
// back to the start of the work on it, which then fails; anything else
// puts the screen right and ends the program by the signal's default action,
// so that the exit status and any core dump stay the system's.
extern "C" void put_screen_right_and_end(int signal_number, siginfo_t* info, void* /*context*/)
{
    if (is_mapped_file_fault(signal_number, info)) {
        siglongjmp(mapped_fault, 1);
    }
    // tcsetattr, write, sigaction and raise are safe in a signal handler.
    // The signal is blocked here, so the raised one ends the program as
    // soon as the handler returns, as it would have without the handler; a
    // fault that was not sent comes again at once, with the default action.
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

// Installs the ending signals' handler for `signal_number` unless it is
// ignored, keeping the previous action.
void install_ending(int signal_number, struct sigaction& previous)
{
    sigaction(signal_number, nullptr, &previous);
    if (previous.sa_handler != SIG_IGN) {
        const struct sigaction action = ending_action();
        sigaction(signal_number, &action, nullptr);
    }
}

} // namespace

termios settings_to_restore;
termios raw_settings;
volatile sig_atomic_t restore_settings = 0;
volatile sig_atomic_t line_columns = 0;

sigjmp_buf mapped_fault;
volatile sig_atomic_t mapped_work_runs = 0;
const unsigned char* volatile mapped_view = nullptr;
volatile std::size_t mapped_length = 0;

// The ending signals, each blocked while any of them is handled.
sigset_t ending_mask()
{
    sigset_t mask;
    sigemptyset(&mask);
    for (const int signal_number : ending_signals) {
        sigaddset(&mask, signal_number);
    }
    return mask;
}

// The ending signals' handler, as an action.
struct sigaction ending_action()
{
    struct sigaction action {
    };
    action.sa_sigaction = put_screen_right_and_end;
    action.sa_flags = SA_SIGINFO;
    action.sa_mask = ending_mask();
    return action;
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
    std::size_t i = 0;
    for (const int signal_number : ending_signals) {
        install_ending(signal_number, previous_actions[i++]);
    }
    for (int signal_number = SIGRTMIN; signal_number <= SIGRTMAX && i < std::size(previous_actions);
         ++signal_number) {
        install_ending(signal_number, previous_actions[i++]);
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

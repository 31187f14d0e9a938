// Running the programs as a user runs them, for the program-level suites:
// a child with chosen standard streams and environment, a pseudo-terminal
// as a shell leaves it, and waits on /proc for the state a test checks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include <sys/types.h>
#include <termios.h>

// What the programs write: the pause's prompt and the file error message.
extern const std::string prompt;
extern const std::string message_utf8;
extern const std::string message_sjis;

// A finished run: standard output, standard error, and the exit status,
// or 128 + the number of the signal that ended it.
struct Outcome {
    std::string out;
    std::string err;
    int status;
};

// The exit status of a wait status, or 128 + the signal's number.
int decode(int wait_status);

// Reads `fd` until it ends, or nothing came for 20 s.
std::string drain(int fd);

// How a program can be started: as usual, with standard input or output
// closed, with standard output a pipe whose reader has gone, on a 32 KiB
// stack, with standard error a terminal, or with a 1 KiB file size limit.
enum class Streams {
    usual,
    stdin_closed,
    stdout_closed,
    reader_gone,
    small_stack,
    stderr_terminal,
    file_limit
};

// Width of the terminal that standard error is on in stderr_terminal runs:
// narrow, so that a line that does not fit would show.
constexpr unsigned short terminal_columns = 30;

// Runs while the program does, with its pid, the descriptor its standard
// error is read from, and the text read from it so far, to add to.
using During = std::function<void(pid_t pid, int err_fd, std::string& err)>;

// Runs `args` (program first) with standard input from /dev/null, the given
// environment only, standard output into a pipe, or into `out_path`, and
// standard error into a pipe; `streams` can start it with standard input or
// output closed instead, and so on. The programs write nothing to standard
// error but the progress line on a terminal: that is checked here, for
// every other run.
Outcome run(std::vector<std::string> args, std::vector<std::string> env = {},
            const char* out_path = nullptr, Streams streams = Streams::usual,
            const During& during = nullptr);

// The whole standard output of a report, and of the file error message.
std::string report(const std::string& path, const std::string& digest);
std::string failure(const std::string& message);

// The three programs, each with its digest's name in libcrypto.
struct Program {
    const char* exe;
    const char* digest;
};
extern const Program programs[3];

// hash384 puts a line end, the seconds (digits, a point, six decimals) and
// the unit between the digest and the closing line ends; this takes them
// out, or returns `out` unchanged when they are not there.
std::string without_seconds(const std::string& out, const std::string& unit);

// Waits, for 20 s at most, until `done` holds.
bool eventually(const std::function<bool()>& done);

// The state letter of `pid` in /proc ('T' stopped, 'Z' ended, ...), or '?'.
char state_of(pid_t pid);

// True once `pid` sleeps in poll(), as a program waiting for input does, or
// with `in_read`, in a read() of standard input; false when it ended first
// (it is then reaped, its status in `status`).
bool wait_until_polling(pid_t pid, int& status, bool in_read = false);

// How far `pid` has read the file at `path`: the offset of the descriptor it
// has open on it, or -1 while it has none.
long long read_offset(pid_t pid, const std::string& path);

// Whether `pid` has some of the file at `path` mapped (/proc/PID/maps).
bool maps_file(pid_t pid, const std::string& path);

// Waits until `pid` has read some of the file at `path` through its
// descriptor or has mapped it, or has ended.
void wait_until_reading(pid_t pid, const std::string& path);

// Settings of a terminal as a shell leaves it: line mode, echo, signal keys.
termios shell_terminal();

// How hash512 is started on its terminal: as it is; with standard input in
// non-blocking mode; under a parent that, once the program has ended, exits
// 99 when the program left input unread on the terminal; or as a
// job-control shell starts a job, in a process group of its own.
enum class Launch { plain, nonblocking_input, count_leftover, job };

// Starts hash512 on `path` (with no argument when it is empty) with a new
// pseudo-terminal (in shell settings) as its controlling terminal and
// standard streams; `master` is the other side.
pid_t start_on_terminal(const std::string& path, Launch launch, int& master);

// Starts hash512 as start_on_terminal does (Launch::plain), with the shared
// library `library` preloaded into it; a sanitizer's runtime then does not
// come first, which it is told to allow.
pid_t start_on_terminal_preloaded(const std::string& path, const char* library, int& master);

// Standard error of a terminal run as one line: the terminal's CR LF and
// the layout's line breaks become spaces, or nothing between two Japanese
// characters.
std::string unwrapped(std::string text);

// Reads the terminal's output into `seen` until the prompt has shown.
bool wait_for_prompt(int master, std::string& seen);

// The rest of a terminal run: everything written after the prompt, the
// exit status, and the terminal's settings once the program has ended.
struct TerminalEnd {
    std::string after_prompt;
    int status;
    termios settings;
};
TerminalEnd finish_on_terminal(pid_t pid, int master, std::string seen);

// Expects the terminal's settings to be those of shell_terminal().
void expect_settings_restored(const termios& after);

// True when the terminal is in the pause's raw mode: no line mode, no echo.
bool raw(int master);

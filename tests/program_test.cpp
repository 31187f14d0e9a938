// The programs run as a user runs them: exact standard output and exit
// status for success and every failure, locales, and the pause on a terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <openssl/evp.h>

#include "progress.h"
#include "support.h"

namespace {

const std::string prompt = "Press any key to continue . . . ";
const std::string message_utf8 = "ファイルエラーが発生しました";
const std::string message_sjis =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B"
    "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

struct Outcome {
    std::string out;
    std::string err;
    int status; // exit status, or 128 + signal number
};

int decode(int wait_status)
{
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

// Reads everything from the descriptors in `fds` into `texts` until each
// has ended, or nothing came for 20 s.
void drain(const std::vector<int>& fds, std::vector<std::string*> texts)
{
    std::vector<pollfd> watch;
    for (const int fd : fds) {
        watch.push_back({fd, POLLIN, 0});
    }
    std::size_t open_count = fds.size();
    char chunk[4096];
    while (open_count > 0 && poll(watch.data(), watch.size(), 20000) > 0) {
        for (std::size_t i = 0; i < watch.size(); ++i) {
            if (watch[i].fd < 0 || watch[i].revents == 0) {
                continue;
            }
            const ssize_t n = read(watch[i].fd, chunk, sizeof chunk);
            if (n <= 0) {
                watch[i].fd = -1;
                --open_count;
            } else {
                texts[i]->append(chunk, static_cast<std::size_t>(n));
            }
        }
    }
}

std::string drain(int fd)
{
    std::string text;
    drain({fd}, {&text});
    return text;
}

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> list;
    list.reserve(texts.size() + 1);
    for (auto& text : texts) {
        list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
}

// The sanitizers' settings of the test run reach the programs too, whatever
// environment a test gives them.
std::vector<std::string> with_sanitizer_options(std::vector<std::string> env)
{
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            env.push_back(std::string(name) + "=" + value);
        }
    }
    return env;
}

// How a program can be started: as usual, with standard input or output
// closed, with standard output a pipe whose reader has gone, on a 32 KiB
// stack, or with standard error a terminal.
enum class Streams { usual, stdin_closed, stdout_closed, reader_gone, small_stack, stderr_terminal, file_limit };

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
            const During& during = nullptr)
{
    int out_pipe[2];
    int err_pipe[2];
    winsize size{};
    size.ws_row = 24;
    size.ws_col = terminal_columns;
    const bool err_ok = streams == Streams::stderr_terminal
                            ? openpty(&err_pipe[0], &err_pipe[1], nullptr, nullptr, &size) == 0
                            : pipe(err_pipe) == 0;
    if (pipe(out_pipe) != 0 || !err_ok) {
        throw std::runtime_error("pipe failed");
    }
    env = with_sanitizer_options(env);
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = out_path != nullptr ? open(out_path, O_WRONLY) : out_pipe[1];
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(err_pipe[1], STDERR_FILENO);
        for (const int fd : {out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1], in}) {
            close(fd);
        }
        if (streams == Streams::stdin_closed) {
            close(STDIN_FILENO);
        } else if (streams == Streams::stdout_closed) {
            close(STDOUT_FILENO);
        } else if (streams == Streams::reader_gone) {
            int gone[2];
            if (pipe(gone) != 0 || close(gone[0]) != 0 || dup2(gone[1], STDOUT_FILENO) < 0) {
                _exit(126);
            }
        } else if (streams == Streams::small_stack) {
            const rlimit stack{32 * 1024, 32 * 1024};
            setrlimit(RLIMIT_STACK, &stack);
        } else if (streams == Streams::file_limit) {
            // `ulimit -f 1` with SIGXFSZ ignored: writes past 1 KiB fail.
            const rlimit file{1024, 1024};
            setrlimit(RLIMIT_FSIZE, &file);
            signal(SIGXFSZ, SIG_IGN);
        }
        execve(args[0].c_str(), pointers(args).data(), pointers(env).data());
        _exit(127);
    }
    close(out_pipe[1]);
    close(err_pipe[1]);
    Outcome outcome{"", "", 0};
    if (during) {
        during(pid, err_pipe[0], outcome.err);
    }
    drain({out_pipe[0], err_pipe[0]}, {&outcome.out, &outcome.err});
    close(out_pipe[0]);
    close(err_pipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = decode(status);
    if (streams != Streams::stderr_terminal) {
        EXPECT_EQ(outcome.err, "") << "standard error of " << args[0];
    }
    return outcome;
}

std::string report(const std::string& path, const std::string& digest)
{
    return path + "\n\n" + digest + "\n\n" + prompt + "\n";
}

std::string failure(const std::string& message)
{
    return message + "\n\n" + prompt + "\n";
}

struct Program {
    const char* exe;
    const char* digest; // libcrypto's name
};

const Program programs[] = {
    {HASH512_PATH, "SHA512"}, {HASH384_PATH, "SHA384"}, {HASH256_PATH, "SHA256"}};

// hash384 puts a line end, the seconds (digits, a point, six decimals) and
// the unit between the digest and the closing line ends; this takes them
// out, or returns `out` unchanged when they are not there.
std::string without_seconds(const std::string& out, const std::string& unit)
{
    const auto at = out.rfind(unit);
    if (at == std::string::npos || at < 8 || out.compare(at - 7, 1, ".") != 0) {
        return out;
    }
    std::size_t start = at - 7;
    for (std::size_t i = start + 1; i < at; ++i) {
        if (std::isdigit(static_cast<unsigned char>(out[i])) == 0) {
            return out;
        }
    }
    while (start > 0 && std::isdigit(static_cast<unsigned char>(out[start - 1])) != 0) {
        --start;
    }
    if (start == at - 7 || start == 0 || out[start - 1] != '\n') {
        return out;
    }
    return out.substr(0, start - 1) + out.substr(at + unit.size());
}

} // namespace

TEST(Programs, ReportTheDigestOfAFile)
{
    const TempDir dir;
    for (std::size_t size : {0U, 1000U}) {
        const auto bytes = random_bytes(size, 7);
        const std::string path = dir.write("data" + std::to_string(size), bytes);
        for (const Program& program : programs) {
            const Outcome outcome = run({program.exe, path});
            const std::string expected = report(path, oracle_hex(program.digest, bytes.data(), size));
            EXPECT_EQ(outcome.status, 0) << program.exe;
            if (std::string(program.digest) == "SHA384") {
                EXPECT_NE(outcome.out, without_seconds(outcome.out, "秒")) << "no seconds line";
                EXPECT_EQ(without_seconds(outcome.out, "秒"), expected);
            } else {
                EXPECT_EQ(outcome.out, expected);
            }
        }
    }
}

// The path is printed as given, never used as a format; further arguments
// change nothing.
TEST(Programs, PathIsPrintedLiterallyAndExtraArgumentsAreIgnored)
{
    const TempDir dir;
    const auto bytes = random_bytes(300, 8);
    const std::string path = dir.write("100%s %n%d", bytes);
    const Outcome outcome = run({HASH512_PATH, path, "--help", "other"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, report(path, oracle_hex("SHA512", bytes.data(), bytes.size())));
}

// A missing file, a directory and no argument show the message only, and
// exit 1; hash384 prints no time then.
TEST(Programs, FailuresShowTheMessageAndExitOne)
{
    const TempDir dir;
    for (const Program& program : programs) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{program.exe, dir.path + "/missing"},
              std::vector<std::string>{program.exe, dir.path}, std::vector<std::string>{program.exe}}) {
            const Outcome outcome = run(args);
            EXPECT_EQ(outcome.status, 1) << args.back();
            EXPECT_EQ(outcome.out, failure(message_utf8)) << args.back();
        }
    }
}

TEST(Programs, UnwritableReportIsAFailure)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 9));
    for (const Program& program : programs) {
        EXPECT_NE(run({program.exe, path}, {}, "/dev/full").status, 0);
    }
}

// Shift-JIS locales get the stored bytes, UTF-8 ones the converted text.
class Locales : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        dir = new TempDir;
        for (const char* charmap : charmaps) {
            const std::string command = std::string("localedef --no-warnings=ascii -c -i ja_JP -f ")
                                        + charmap + " " + dir->path + "/ja_JP." + charmap
                                        + " >/dev/null 2>&1";
            if (std::system(command.c_str()) != 0) {
                continue; // the test says which locale is missing
            }
        }
    }
    static void TearDownTestSuite() { delete dir; }
    static TempDir* dir;
    static constexpr const char* charmaps[] = {"SHIFT_JIS", "WINDOWS-31J", "SHIFT_JISX0213"};
};
TempDir* Locales::dir = nullptr;

TEST_F(Locales, MessageAndUnitFollowTheCharacterSet)
{
    const std::string missing = dir->path + "/missing";
    const std::string path = dir->write("data", random_bytes(50, 10));
    const std::string sjis_unit = "\x95\x62";
    for (const char* charmap : charmaps) {
        const std::string locale = std::string("ja_JP.") + charmap;
        const std::vector<std::string> env = {"LOCPATH=" + dir->path, "LC_ALL=" + locale};
        ASSERT_EQ(access((dir->path + "/" + locale).c_str(), F_OK), 0) << "localedef made no " << locale;
        const Outcome missing_file = run({HASH512_PATH, missing}, env);
        EXPECT_EQ(missing_file.status, 1);
        EXPECT_EQ(missing_file.out, failure(message_sjis)) << locale;
        const Outcome timed = run({HASH384_PATH, path}, env);
        EXPECT_EQ(timed.status, 0);
        EXPECT_NE(timed.out, without_seconds(timed.out, sjis_unit)) << locale;
    }
    // The verdict on a terminal too: "一致" in Shift-JIS.
    const Outcome verdict = run({HASH256_PATH, path, oracle_hex("SHA256", "", 0)},
                                {"LOCPATH=" + dir->path, "LC_ALL=ja_JP.SHIFT_JIS"}, nullptr, Streams::stderr_terminal);
    EXPECT_NE(verdict.err.find("\x95s\x88\xEA\x92v [MISMATCH]"), std::string::npos) << verdict.err;
    // A list written in Shift-JIS (Japanese Windows' ANSI code page) names
    // 日本語.bin: read in the locale's character set, whether the file's
    // own name is in UTF-8 or in Shift-JIS.
    const std::string sjis_name = "\x93\xFA\x96\x7B\x8C\xEA.bin";
    for (const std::string &name : {std::string("日本語.bin"), sjis_name}) {
        const TempDir folder;
        const std::string file = folder.write(name, random_bytes(40, 11));
        const std::string list = oracle_hex("SHA256", "", 0) + "  " + sjis_name + "\r\n";
        folder.write("SHA256SUMS", std::vector<unsigned char>(list.begin(), list.end()));
        const Outcome shown = run({HASH256_PATH, file},
                                  {"LOCPATH=" + dir->path, "LC_ALL=ja_JP.SHIFT_JIS", "TERM=dumb"},
                                  nullptr, Streams::stderr_terminal);
        EXPECT_NE(shown.err.find("\x95s\x88\xEA\x92v [MISMATCH]"), std::string::npos) << shown.err;
        const std::string empty = folder.write(name, {});
        const Outcome same = run({HASH256_PATH, empty},
                                 {"LOCPATH=" + dir->path, "LC_ALL=ja_JP.SHIFT_JIS", "TERM=dumb"},
                                 nullptr, Streams::stderr_terminal);
        EXPECT_NE(same.err.find("\x88\xEA\x92v [match]"), std::string::npos) << same.err;
    }
    const Outcome missing_file = run({HASH256_PATH, missing}, {"LANG=C.UTF-8"});
    EXPECT_EQ(missing_file.status, 1);
    EXPECT_EQ(missing_file.out, failure(message_utf8));
    const Outcome timed = run({HASH384_PATH, path}, {"LANG=C.UTF-8"});
    EXPECT_EQ(timed.status, 0);
    EXPECT_NE(timed.out, without_seconds(timed.out, "秒"));
}

namespace {

// Settings of a terminal as a shell leaves it: line mode, echo, signal keys.
termios shell_terminal()
{
    termios settings{};
    cfmakeraw(&settings);
    settings.c_lflag |= ICANON | ECHO | ISIG;
    settings.c_oflag |= OPOST | ONLCR;
    settings.c_cc[VINTR] = 3;
    settings.c_cc[VMIN] = 1;
    return settings;
}

// How hash512 is started on its terminal: as it is; with standard input in
// non-blocking mode; or under a parent that, once the program has ended,
// exits 99 when the program left input unread on the terminal.
enum class Launch { plain, nonblocking_input, count_leftover, job };

// Starts hash512 on `path` with a new pseudo-terminal (in `settings`) as its
// controlling terminal and standard streams; `master` is the other side.
pid_t start_on_terminal(const std::string& path, Launch launch, int& master)
{
    termios settings = shell_terminal();
    const pid_t pid = forkpty(&master, nullptr, &settings, nullptr);
    if (pid != 0) {
        return pid;
    }
    if (launch == Launch::nonblocking_input) {
        fcntl(STDIN_FILENO, F_SETFL, fcntl(STDIN_FILENO, F_GETFL) | O_NONBLOCK);
    }
    const pid_t program = launch == Launch::count_leftover || launch == Launch::job ? fork() : 0;
    if (program == 0) {
        if (launch == Launch::job) {
            // As a job-control shell starts a job: a process group of its
            // own, the terminal's foreground.
            signal(SIGTTOU, SIG_IGN);
            setpgid(0, 0);
            tcsetpgrp(STDIN_FILENO, getpid());
            signal(SIGTTOU, SIG_DFL);
        }
        execl(HASH512_PATH, HASH512_PATH, path.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(program, &status, 0);
    // Out of line mode, input that was left is readable at once.
    termios now{};
    tcgetattr(STDIN_FILENO, &now);
    now.c_lflag &= ~static_cast<tcflag_t>(ICANON);
    now.c_cc[VMIN] = 0;
    now.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &now);
    char rest[64];
    _exit(read(STDIN_FILENO, rest, sizeof rest) > 0 ? 99 : decode(status));
}

// Reads the terminal's output into `seen` until the prompt has shown.
bool wait_for_prompt(int master, std::string& seen)
{
    char chunk[256];
    pollfd watch{master, POLLIN, 0};
    while (seen.find(prompt) == std::string::npos && poll(&watch, 1, 20000) > 0) {
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        seen.append(chunk, static_cast<std::size_t>(n));
    }
    return seen.find(prompt) != std::string::npos;
}

// The rest of a terminal run: everything written after the prompt, the
// exit status, and the terminal's settings once the program has ended.
struct TerminalEnd {
    std::string after_prompt;
    int status;
    termios settings;
};

TerminalEnd finish_on_terminal(pid_t pid, int master, std::string seen)
{
    seen += drain(master);
    int status = 0;
    waitpid(pid, &status, 0);
    TerminalEnd end{seen.substr(seen.find(prompt) + prompt.size()), decode(status), {}};
    tcgetattr(master, &end.settings);
    close(master);
    return end;
}

void expect_settings_restored(const termios& after)
{
    const termios before = shell_terminal();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_cc[VMIN], before.c_cc[VMIN]);
}

// True once `pid` sleeps in poll(), as a program waiting for input does, or
// with `in_read`, in a read() of standard input; false when it ended first
// (it is then reaped, its status in `status`).
bool wait_until_polling(pid_t pid, int& status, bool in_read = false)
{
    const std::string file = "/proc/" + std::to_string(pid) + "/syscall";
    for (int tries = 0; tries < 2000; ++tries) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return false;
        }
        std::ifstream in(file);
        long number = -1;
        std::string fd;
        if (in >> number >> fd
            && (in_read ? number == SYS_read && fd == "0x0" : number == SYS_poll || number == SYS_ppoll)) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

} // namespace

// On a terminal the pause takes one key without echo and puts the settings
// back, also when the key is Ctrl-C (which then interrupts the program).
TEST(Pause, TakesOneKeyOnATerminalAndRestoresIt)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 11));
    for (const char key : {'k', '\x03'}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::plain, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        termios waiting{};
        tcgetattr(master, &waiting);
        EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0U) << "the wait needs no Enter and echoes nothing";
        ASSERT_EQ(write(master, &key, 1), 1);

        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, key == 'k' ? 0 : 128 + SIGINT);
        EXPECT_EQ(end.after_prompt, "\r\n") << "the key was echoed";
        expect_settings_restored(end.settings);
    }
}

// A key that sends several bytes (an arrow, a function key, a non-ASCII
// character) is taken whole: nothing of it is left for the shell.
TEST(Pause, TakesEveryByteOfAKey)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 12));
    for (const std::string key : {"\x1b[A", "\x1b[15~", "\xc3\xa9"}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::count_leftover, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        ASSERT_EQ(write(master, key.data(), key.size()), static_cast<ssize_t>(key.size()));
        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, 0) << "99: part of the key was left unread";
        EXPECT_EQ(end.after_prompt, "\r\n");
    }
}

// A signal that ends the program during the pause, sent from elsewhere,
// first puts the terminal's settings back.
TEST(Pause, EndingSignalsRestoreTheTerminal)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 13));
    for (const int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGUSR1, SIGALRM}) {
        int master = -1;
        const pid_t pid = start_on_terminal(path, Launch::plain, master);
        ASSERT_GE(pid, 0);
        std::string seen;
        ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
        ASSERT_EQ(kill(pid, signal_number), 0);
        const TerminalEnd end = finish_on_terminal(pid, master, seen);
        EXPECT_EQ(end.status, 128 + signal_number);
        expect_settings_restored(end.settings);
    }
}

// A terminal left in non-blocking mode still makes the pause wait for a key.
TEST(Pause, WaitsOnANonBlockingTerminal)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 14));
    int master = -1;
    const pid_t pid = start_on_terminal(path, Launch::nonblocking_input, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    int status = 0;
    ASSERT_TRUE(wait_until_polling(pid, status)) << "ended without a key, status " << decode(status);
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n");
    expect_settings_restored(end.settings);
}

// Keys pressed while the file is read are not taken for the key the pause
// waits for: the pause waits until one is pressed at its prompt.
TEST(Pause, DiscardsKeysPressedBeforeThePrompt)
{
    const TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int master = -1;
    const pid_t pid = start_on_terminal(fifo, Launch::plain, master);
    ASSERT_GE(pid, 0);
    int fd = -1;
    for (int tries = 0; tries < 2000 && fd < 0; ++tries) {
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // fails until the program reads it
        if (fd < 0) {
            usleep(10000);
        }
    }
    ASSERT_GE(fd, 0) << "the program never opened the FIFO";
    ASSERT_EQ(write(master, "x", 1), 1);
    ASSERT_EQ(write(fd, "data", 4), 4);
    close(fd);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    int status = 0;
    ASSERT_TRUE(wait_until_polling(pid, status, true)) << "the pause took an earlier key: " << decode(status);
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n");
}

namespace {

// Waits, for 20 s at most, until `done` holds.
bool eventually(const std::function<bool()>& done)
{
    for (int tries = 0; tries < 2000; ++tries) {
        if (done()) {
            return true;
        }
        usleep(10000);
    }
    return done();
}

// The state letter of `pid` in /proc ('T' stopped, 'Z' ended, ...), or '?'.
char state_of(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string pid_field, name, state;
    stat >> pid_field >> name >> state;
    return state.empty() ? '?' : state[0];
}

bool raw(int master)
{
    termios now{};
    return tcgetattr(master, &now) == 0 && (now.c_lflag & (ICANON | ECHO)) == 0;
}

} // namespace

// A stop at the pause gives the terminal back while the program stands;
// going on, the pause takes it again and waits for one key as before.
TEST(Pause, SurvivesAStop)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 25));
    int master = -1;
    const pid_t pid = start_on_terminal(path, Launch::job, master);
    ASSERT_GE(pid, 0);
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    const pid_t job = tcgetpgrp(master);
    ASSERT_GT(job, 0);
    ASSERT_TRUE(eventually([&] { return raw(master); }));
    ASSERT_EQ(kill(-job, SIGTSTP), 0);
    ASSERT_TRUE(eventually([job] { return state_of(job) == 'T'; })) << "the program did not stop";
    expect_settings_restored([&] { termios now{}; tcgetattr(master, &now); return now; }());
    ASSERT_EQ(kill(-job, SIGCONT), 0);
    ASSERT_TRUE(eventually([&] { return raw(master); })) << "the pause did not take the terminal again";
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(pid, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_EQ(end.after_prompt, "\r\n") << "the key was echoed";
    expect_settings_restored(end.settings);
}

// `hash256 /dev/stdin &` from a job-control shell: reading the terminal in
// the background stops the job (its reading thread too) rather than failing;
// once the shell has given it the terminal and continued it ("fg"), it hashes
// what is typed there up to the end of input.
TEST(Job, ReadingTheTerminalInTheBackgroundStops)
{
    int shell_link[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, shell_link), 0);
    termios settings = shell_terminal();
    settings.c_cc[VEOF] = 4;
    int master = -1;
    const pid_t shell = forkpty(&master, nullptr, &settings, nullptr);
    ASSERT_GE(shell, 0);
    if (shell == 0) {
        // The shell: starts the job in a process group of its own, in the
        // background; on the test's word brings it to the foreground.
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            execl(HASH256_PATH, HASH256_PATH, "/dev/stdin", static_cast<char *>(nullptr));
            _exit(127);
        }
        setpgid(job, job);
        char go = 0;
        if (write(shell_link[1], &job, sizeof job) != sizeof job ||
            read(shell_link[1], &go, 1) != 1) {
            _exit(126);
        }
        tcsetpgrp(STDIN_FILENO, job);
        kill(-job, SIGCONT);
        int status = 0;
        waitpid(job, &status, 0);
        _exit(decode(status));
    }
    close(shell_link[1]);
    pid_t job = 0;
    ASSERT_EQ(read(shell_link[0], &job, sizeof job), static_cast<ssize_t>(sizeof job));
    EXPECT_TRUE(eventually([job] { return state_of(job) == 'T' || state_of(job) == 'Z'; }));
    EXPECT_EQ(state_of(job), 'T') << "the background read did not stop the job";
    ASSERT_EQ(write(shell_link[0], "g", 1), 1);
    close(shell_link[0]);

    const std::string text = "typed in the foreground\n";
    ASSERT_EQ(write(master, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ASSERT_EQ(write(master, "\x04", 1), 1); // the end of input
    std::string seen;
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    ASSERT_EQ(write(master, "k", 1), 1);
    const TerminalEnd end = finish_on_terminal(shell, master, seen);
    EXPECT_EQ(end.status, 0);
    EXPECT_NE(seen.find(oracle_hex("SHA256", text.data(), text.size())), std::string::npos) << seen;
}

// Whatever the shell, file system or caller hands the programs ends in a
// plain outcome: the digest and status 0, or the message and status 1.
TEST(Hostile, SpecialFiles)
{
    const TempDir dir;
    // A FIFO whose writer sends some bytes and goes away.
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto sent = random_bytes(5000, 14);
    for (const Program& program : programs) {
        const pid_t writer = fork();
        if (writer == 0) {
            const int fd = open(fifo.c_str(), O_WRONLY);
            const ssize_t written = write(fd, sent.data(), sent.size());
            _exit(written == static_cast<ssize_t>(sent.size()) ? 0 : 1);
        }
        const Outcome outcome = run({program.exe, fifo});
        int status = 0;
        waitpid(writer, &status, 0);
        EXPECT_EQ(outcome.status, 0) << program.exe;
        EXPECT_EQ(without_seconds(outcome.out, "秒"),
                  report(fifo, oracle_hex(program.digest, sent.data(), sent.size())));
    }
    // A character device that is empty.
    for (const Program& program : programs) {
        const Outcome outcome = run({program.exe, "/dev/null"});
        EXPECT_EQ(outcome.status, 0);
        EXPECT_EQ(without_seconds(outcome.out, "秒"), report("/dev/null", oracle_hex(program.digest, "", 0)));
    }
}

TEST(Hostile, OddPathsArePrintedExactly)
{
    const TempDir dir;
    const auto bytes = random_bytes(70, 15);
    for (const std::string name : {"with spaces and  two", "new\nline", "not utf-8 \xff\xfe\x80", "-dash"}) {
        const std::string path = dir.write(name, bytes);
        const Outcome outcome = run({HASH256_PATH, path});
        EXPECT_EQ(outcome.status, 0) << name;
        EXPECT_EQ(outcome.out, report(path, oracle_hex("SHA256", bytes.data(), bytes.size()))) << name;
    }
}

TEST(Hostile, UnopenablePathsShowTheMessage)
{
    const TempDir dir;
    const std::string loop_a = dir.path + "/a";
    const std::string loop_b = dir.path + "/b";
    ASSERT_EQ(symlink(loop_b.c_str(), loop_a.c_str()), 0);
    ASSERT_EQ(symlink(loop_a.c_str(), loop_b.c_str()), 0);
    const std::string long_name = dir.path + "/" + std::string(300, 'n');
    const std::string long_path = dir.path + std::string(3000, '/') + std::string(2000, 'p');
    for (const std::string& path : {loop_a, long_name, long_path}) {
        for (const Program& program : programs) {
            const Outcome outcome = run({program.exe, path});
            EXPECT_EQ(outcome.status, 1) << program.exe << " " << path.size();
            EXPECT_EQ(outcome.out, failure(message_utf8));
        }
    }
}

// How far `pid` has read the file at `path`: the offset of the descriptor it
// has open on it, or -1 while it has none.
long long read_offset(pid_t pid, const std::string& path)
{
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(fds, error)) {
        std::error_code link_error;
        if (std::filesystem::read_symlink(entry.path(), link_error).string() != path) {
            continue;
        }
        std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" + entry.path().filename().string());
        std::string field;
        long long offset = -1;
        info >> field >> offset; // "pos: N"
        return offset;
    }
    return -1;
}

// Waits until `pid` has read some of the file at `path`, or has ended.
void wait_until_reading(pid_t pid, const std::string& path)
{
    for (int tries = 0; tries < 200000 && read_offset(pid, path) <= 0; ++tries) {
        siginfo_t ended{};
        if (waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 && ended.si_pid == pid) {
            return; // it ended before it was seen reading
        }
    }
}

// A file cut short while it is read: a digest of what was read, or the
// message, never a crash or a hang. The cut comes once the program has
// started reading.
TEST(Hostile, FileShrinkingWhileRead)
{
    const TempDir dir;
    const std::string path = dir.write("shrinking", random_bytes(64 << 20, 16));
    for (const Program& program : programs) {
        const auto cut_while_reading = [&](pid_t pid, int /*err_fd*/, std::string& /*err*/) {
            wait_until_reading(pid, path);
            EXPECT_EQ(truncate(path.c_str(), 1000), 0);
        };
        const Outcome outcome = run({program.exe, path}, {}, nullptr, Streams::usual, cut_while_reading);
        ASSERT_EQ(truncate(path.c_str(), 64 << 20), 0);
        const std::string out = without_seconds(outcome.out, "秒");
        const std::size_t digits = std::string(program.digest) == "SHA384" ? 96 : std::string(program.digest) == "SHA256" ? 64 : 128;
        if (outcome.status == 0) {
            ASSERT_EQ(out.size(), path.size() + 2 + digits + 2 + prompt.size() + 1) << out;
            EXPECT_EQ(out.substr(0, path.size() + 2), path + "\n\n");
        } else {
            EXPECT_EQ(outcome.status, 1);
            EXPECT_EQ(out, failure(message_utf8));
        }
    }
}

// A FIFO fed in small writes of irregular sizes, longer than the reader's
// ring, and a file extended while it is read: the digest of all that came,
// or of what the file held at some point, never a mix.
TEST(Hostile, IrregularFifoAndGrowingFile)
{
    const TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto sent = random_bytes(3 << 20, 26);
    for (const char* exe : {HASH256_PATH, HASH512_PATH}) {
        const pid_t writer = fork();
        if (writer == 0) {
            const int fd = open(fifo.c_str(), O_WRONLY);
            std::size_t done = 0;
            for (unsigned step = 1; done < sent.size(); ++step) {
                const std::size_t size = std::min<std::size_t>(sent.size() - done, (step * 7919) % 9000 + 1);
                if (write(fd, sent.data() + done, size) != static_cast<ssize_t>(size)) {
                    _exit(1);
                }
                done += size;
            }
            _exit(0);
        }
        const Outcome outcome = run({exe, fifo});
        int status = 0;
        waitpid(writer, &status, 0);
        const char* digest = exe == std::string(HASH256_PATH) ? "SHA256" : "SHA512";
        EXPECT_EQ(outcome.status, 0) << exe;
        EXPECT_EQ(outcome.out, report(fifo, oracle_hex(digest, sent.data(), sent.size()))) << exe;
    }

    // 16 MiB, and 4 MiB more four times once the program reads.
    constexpr std::size_t step = 4 << 20;
    const auto bytes = random_bytes(32 << 20, 27);
    const std::string path = dir.write("growing", std::vector<unsigned char>(bytes.begin(), bytes.begin() + (16 << 20)));
    const auto extend = [&](pid_t pid, int /*err_fd*/, std::string& /*err*/) {
        wait_until_reading(pid, path);
        std::ofstream out(path, std::ios::binary | std::ios::app);
        for (std::size_t at = 16 << 20; at < bytes.size(); at += step) {
            out.write(reinterpret_cast<const char*>(bytes.data() + at), static_cast<std::streamsize>(step));
            out.flush();
        }
    };
    const Outcome grown = run({HASH256_PATH, path}, {}, nullptr, Streams::usual, extend);
    EXPECT_EQ(grown.status, 0);
    // An append shows page by page: the digest is of some prefix of whole
    // pages, from 16 MiB to all of it.
    const std::string shown = grown.out.substr(path.size() + 2, 64);
    bool some_prefix = false;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    EVP_MD_CTX* last = EVP_MD_CTX_new();
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    EVP_DigestUpdate(context, bytes.data(), 16 << 20);
    for (std::size_t size = 16 << 20; size <= bytes.size() && !some_prefix; size += 4096) {
        if (size > (16 << 20)) {
            EVP_DigestUpdate(context, bytes.data() + size - 4096, 4096);
        }
        unsigned char md[32];
        unsigned int length = 0;
        EVP_MD_CTX_copy_ex(last, context);
        EVP_DigestFinal_ex(last, md, &length);
        char hex[65];
        for (unsigned i = 0; i < 32; ++i) {
            std::snprintf(hex + 2 * i, 3, "%02x", md[i]);
        }
        some_prefix = shown == hex;
    }
    EVP_MD_CTX_free(last);
    EVP_MD_CTX_free(context);
    EXPECT_TRUE(some_prefix) << "not the digest of what the file held: " << grown.out;
}

// Started with standard input closed the programs still report (the pause
// ends at once); with standard output closed they cannot, and say so in
// their status.
TEST(Hostile, ClosedStandardStreams)
{
    const TempDir dir;
    const auto bytes = random_bytes(300, 17);
    const std::string path = dir.write("data", bytes);
    for (const Program& program : programs) {
        const Outcome no_input = run({program.exe, path}, {}, nullptr, Streams::stdin_closed);
        EXPECT_EQ(no_input.status, 0) << program.exe;
        EXPECT_EQ(without_seconds(no_input.out, "秒"), report(path, oracle_hex(program.digest, bytes.data(), bytes.size())));
        EXPECT_EQ(run({program.exe, path}, {}, nullptr, Streams::stdout_closed).status, 2) << program.exe;
        EXPECT_EQ(run({program.exe, dir.path + "/missing"}, {}, nullptr, Streams::stdout_closed).status, 1);
        EXPECT_EQ(run({program.exe, path}, {}, nullptr, Streams::reader_gone).status, 2) << program.exe;
        EXPECT_EQ(run({program.exe, dir.path + "/missing"}, {}, nullptr, Streams::reader_gone).status, 1);
    }
}

// A prompt cut short by a file size limit is a failed write: status 2.
TEST(Hostile, PromptCutOffIsAFailure)
{
    const TempDir dir;
    // A path whose report (path, two line ends, 128 digits, two line ends)
    // fits in 1 KiB, and whose prompt then does not.
    std::string folder = dir.path;
    while (folder.size() < 700) {
        folder += "/" + std::string(150, 'd');
        ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    }
    const std::string path = folder + "/" + std::string(876 - folder.size() - 1, 'f');
    std::ofstream(path) << "data";
    const std::string out = dir.path + "/out";
    std::ofstream(out).close();
    EXPECT_EQ(run({HASH512_PATH, path}, {}, out.c_str(), Streams::file_limit).status, 2);
}

// The programs need little stack: their buffers are not on it.
TEST(Hostile, SmallStack)
{
    const TempDir dir;
    const auto bytes = random_bytes(10000, 18);
    const std::string path = dir.write("data", bytes);
    for (const Program& program : programs) {
        const Outcome outcome = run({program.exe, path}, {}, nullptr, Streams::small_stack);
        EXPECT_EQ(outcome.status, 0) << program.exe;
        EXPECT_EQ(without_seconds(outcome.out, "秒"), report(path, oracle_hex(program.digest, bytes.data(), bytes.size())));
    }
}

namespace {

// What a terminal shows on the line that `text` (with no line end) was
// written to: carriage returns go back to its start, characters overwrite.
std::string shown_line(const std::string& text)
{
    std::string line;
    std::size_t column = 0;
    for (const char c : text) {
        if (c == '\r') {
            column = 0;
            continue;
        }
        if (column == line.size()) {
            line += c;
        } else {
            line[column] = c;
        }
        ++column;
    }
    return line;
}

bool blank(const std::string& line)
{
    return line.find_first_not_of(' ') == std::string::npos;
}

// True when no line written between carriage returns reaches the edge of
// the terminal, where it would wrap.
bool fits(const std::string& text)
{
    std::size_t column = 0;
    for (const char c : text) {
        column = c == '\r' ? 0 : column + 1;
        if (column >= terminal_columns) {
            return false;
        }
    }
    return true;
}

} // namespace

// A long run on a file of known size shows the share done on a terminal,
// and leaves nothing of it there; with standard error a pipe, nothing is
// written to it. Standard output is the exact report either way.
TEST(Progress, ShownOnATerminalOnlyAndErased)
{
    const TempDir dir;
    const std::string path = dir.path + "/sparse";
    constexpr off_t size = off_t{2} << 30; // over a second's work for any SHA-512 kernel of ours
    ASSERT_EQ(truncate(dir.write("sparse", {}).c_str(), size), 0);
    const std::vector<unsigned char> zeros(1 << 20, 0);
    std::string expected;
    {
        // SHA-512 of those zeros, from libcrypto's streaming interface.
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestInit_ex(context, EVP_sha512(), nullptr);
        for (off_t done = 0; done < size; done += static_cast<off_t>(zeros.size())) {
            EVP_DigestUpdate(context, zeros.data(), zeros.size());
        }
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(context, md, &length);
        EVP_MD_CTX_free(context);
        char digits[3];
        for (unsigned i = 0; i < length; ++i) {
            std::snprintf(digits, sizeof digits, "%02x", md[i]);
            expected += digits;
        }
    }

    const Outcome on_terminal = run({HASH512_PATH, path}, {}, nullptr, Streams::stderr_terminal);
    EXPECT_EQ(on_terminal.status, 0);
    EXPECT_EQ(on_terminal.out, report(path, expected));
    EXPECT_NE(on_terminal.err.find('%'), std::string::npos) << on_terminal.err;
    EXPECT_NE(on_terminal.err.find(" GiB"), std::string::npos) << on_terminal.err;
    EXPECT_TRUE(blank(shown_line(on_terminal.err))) << "left on the screen: " << shown_line(on_terminal.err);
    EXPECT_TRUE(fits(on_terminal.err)) << "wraps on a narrow terminal: " << on_terminal.err;

    const Outcome on_pipe = run({HASH512_PATH, path}); // checks that standard error stays empty
    EXPECT_EQ(on_pipe.status, 0);
    EXPECT_EQ(on_pipe.out, report(path, expected));
}

namespace {

// One write to standard error, and whether SIGTERM had a handler then.
struct Write {
    std::string text;
    bool handled;
};

ssize_t note_write(void* cookie, const char* text, std::size_t size)
{
    struct sigaction action {};
    sigaction(SIGTERM, nullptr, &action);
    static_cast<std::vector<Write>*>(cookie)->push_back(
        {std::string(text, size), action.sa_handler != SIG_DFL});
    return static_cast<ssize_t>(size);
}

} // namespace

// The handlers that erase the line when a signal ends the program stand
// before its first character is written, and until it is erased; then the
// signal's own action is back.
TEST(Progress, ErasingHandlersStandWhileALineShows)
{
    const TempDir dir;
    const std::string path = dir.write("file", {});
    ASSERT_EQ(truncate(path.c_str(), off_t{4} << 20), 0);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    // Standard error on a terminal, its stream noting each write.
    int master = -1;
    int terminal = -1;
    winsize size{};
    size.ws_col = 80;
    ASSERT_EQ(openpty(&master, &terminal, nullptr, nullptr, &size), 0);
    const int saved_fd = dup(STDERR_FILENO);
    dup2(terminal, STDERR_FILENO);
    std::vector<Write> writes;
    std::FILE* const saved_stream = stderr;
    stderr =
        fopencookie(&writes, "w", cookie_io_functions_t{nullptr, note_write, nullptr, nullptr});

    platform_progress progress{};
    platform_progress_start(progress, file);
    progress.start_ms -= 2000; // as after two seconds' work
    platform_progress_show(progress, 1 << 20);
    platform_progress_end(progress);

    std::fclose(stderr);
    stderr = saved_stream;
    dup2(saved_fd, STDERR_FILENO);
    for (const int fd : {saved_fd, terminal, master}) {
        close(fd);
    }
    std::fclose(file);
    std::string all;
    for (const Write& write : writes) {
        all += write.text;
        EXPECT_TRUE(write.handled || write.text.find_first_not_of('\r') == std::string::npos)
            << "written with no handler: " << write.text;
    }
    EXPECT_NE(all.find(" 25%"), std::string::npos) << all;
    EXPECT_TRUE(blank(shown_line(all))) << all;
    struct sigaction after {};
    sigaction(SIGTERM, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL) << "the handler outlived the line";
}

// SIGTERM the moment the line starts to show, again and again, with the
// program, the test and a busy loop sharing one core: the program erases the
// line before it ends.
TEST(Progress, SignalAsTheLineAppearsErasesIt)
{
    const TempDir dir;
    const std::string path = dir.write("sparse", {});
    ASSERT_EQ(truncate(path.c_str(), off_t{8} << 30), 0);
    cpu_set_t all;
    cpu_set_t one;
    ASSERT_EQ(sched_getaffinity(0, sizeof all, &all), 0);
    CPU_ZERO(&one);
    for (std::size_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &all)) {
            CPU_SET(cpu, &one);
            break;
        }
    }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    const pid_t busy = fork();
    if (busy == 0) {
        for (;;) {
        }
    }
    const auto end_once_shown = [](pid_t pid, int err_fd, std::string& err) {
        char text[4096];
        pollfd watch{err_fd, POLLIN, 0};
        if (poll(&watch, 1, 20000) > 0) {
            const ssize_t n = read(err_fd, text, sizeof text);
            err.append(text, n > 0 ? static_cast<std::size_t>(n) : 0);
        }
        kill(pid, SIGTERM);
    };
    for (int i = 0; i < 6; ++i) {
        const Outcome ended =
            run({HASH512_PATH, path}, {}, nullptr, Streams::stderr_terminal, end_once_shown);
        EXPECT_EQ(ended.status, 128 + SIGTERM);
        EXPECT_FALSE(ended.err.empty());
        EXPECT_TRUE(blank(shown_line(ended.err)))
            << "left on the screen: " << shown_line(ended.err);
    }
    kill(busy, SIGKILL);
    waitpid(busy, nullptr, 0);
    sched_setaffinity(0, sizeof all, &all);
}

// A FIFO has no size: the line shows bytes and rate, no percentage. The
// writer keeps feeding until the line has shown.
TEST(Progress, FifoShowsBytesAndRate)
{
    const TempDir dir;
    const std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto chunk = random_bytes(64 << 10, 19);
    std::vector<unsigned char> sent;
    const auto feed_until_shown = [&](pid_t /*pid*/, int err_fd, std::string& err) {
        int fd = -1;
        for (int tries = 0; tries < 6000 && fd < 0; ++tries) {
            fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK); // fails until the program opens it
            if (fd < 0) {
                usleep(10000);
            }
        }
        ASSERT_GE(fd, 0) << "the program never opened the FIFO";
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        char text[4096];
        pollfd watch{err_fd, POLLIN, 0};
        for (int chunks = 0; chunks < 6000 && err.find("/s") == std::string::npos; ++chunks) {
            ASSERT_EQ(write(fd, chunk.data(), chunk.size()), static_cast<ssize_t>(chunk.size()));
            sent.insert(sent.end(), chunk.begin(), chunk.end());
            if (poll(&watch, 1, 10) > 0) {
                const ssize_t n = read(err_fd, text, sizeof text);
                err.append(text, n > 0 ? static_cast<std::size_t>(n) : 0);
            }
        }
        close(fd);
    };
    const Outcome outcome = run({HASH256_PATH, fifo}, {}, nullptr, Streams::stderr_terminal, feed_until_shown);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, report(fifo, oracle_hex("SHA256", sent.data(), sent.size())));
    EXPECT_NE(outcome.err.find(" MiB/s"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('%'), std::string::npos) << outcome.err;
    EXPECT_TRUE(blank(shown_line(outcome.err))) << "left on the screen: " << shown_line(outcome.err);
    EXPECT_TRUE(fits(outcome.err)) << "wraps on a narrow terminal: " << outcome.err;
}

namespace {

// hash512's digest length and its checksum files' algorithm, and so on.
struct Check {
    const Program& program;
    const char* algorithm; // as in list names and BSD tags
};
const Check checks[] = {{programs[0], "SHA512"}, {programs[1], "SHA384"}, {programs[2], "SHA256"}};

std::string lowercase(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

// With standard error on a terminal, the verdict names where the expected
// digest came from and says whether it matches; standard output and the
// status are what they are without it, and a pipe gets no verdict.
TEST(Verdict, ComparesWithEachSourceOnTheTerminalOnly)
{
    for (const Check& check : checks) {
        const TempDir dir;
        const auto bytes = random_bytes(3000, 22);
        const std::string path = dir.write("download.iso", bytes);
        const std::string digest = oracle_hex(check.program.digest, bytes.data(), bytes.size());
        std::string wrong = digest;
        wrong[5] = wrong[5] == '0' ? '1' : '0';
        const std::string algorithm = check.algorithm;
        const std::string plain = without_seconds(run({check.program.exe, path}).out, "秒");

        // Each source, alone in the folder: the argument, the file's own
        // checksum file (a bare digest), a coreutils list, a BSD-tag list.
        struct Source {
            std::string file; // empty: the second argument
            std::string shown;
            std::string text; // with @ for the digest
        };
        const Source sources[] = {
            {"", "引数", ""},
            {"download.iso." + lowercase(algorithm), "download.iso." + lowercase(algorithm), "@\r\n"},
            {algorithm + "SUMS", algorithm + "SUMS", "@  other.iso\n@ *dist/download.iso\n"},
            {"CHECKSUMS", "CHECKSUMS", algorithm + " (download.iso) = @\n"}};
        for (const Source& source : sources) {
            for (const std::string& expected : {digest, wrong}) {
                std::vector<std::string> args = {check.program.exe, path};
                if (source.file.empty()) {
                    args.push_back(" " + expected + " ");
                } else {
                    std::string text = source.text;
                    for (auto at = text.find('@'); at != std::string::npos; at = text.find('@')) {
                        text.replace(at, 1, expected);
                    }
                    dir.write(source.file, std::vector<unsigned char>(text.begin(), text.end()));
                }
                const Outcome shown = run(args, {"LANG=C.UTF-8", "TERM=dumb"}, nullptr, Streams::stderr_terminal);
                const std::string what = std::string(check.program.exe) + " " + source.shown;
                EXPECT_EQ(shown.status, 0) << what;
                EXPECT_EQ(without_seconds(shown.out, "秒"), plain) << what;
                EXPECT_NE(shown.err.find(source.shown), std::string::npos) << what << ": " << shown.err;
                if (expected == digest) {
                    EXPECT_NE(shown.err.find("一致"), std::string::npos) << what << ": " << shown.err;
                    EXPECT_EQ(shown.err.find("不一致"), std::string::npos) << what << ": " << shown.err;
                } else {
                    EXPECT_NE(shown.err.find("不一致"), std::string::npos) << what << ": " << shown.err;
                    EXPECT_NE(shown.err.find(wrong), std::string::npos) << what << ": " << shown.err;
                }
                EXPECT_EQ(shown.err.find('\x1b'), std::string::npos) << "colour on a dumb terminal";

                const Outcome piped = run(args); // checks that standard error stays empty
                EXPECT_EQ(piped.status, 0);
                EXPECT_EQ(without_seconds(piped.out, "秒"), plain);
            }
            if (!source.file.empty()) {
                ASSERT_EQ(unlink((dir.path + "/" + source.file).c_str()), 0);
            }
        }
    }
}

// Lists that cannot give a verdict give none, without blocking or failing:
// a FIFO named like a list, a 100 MiB list of garbage whose entry comes only
// after the part that is read; a list that names the file twice with
// different digests says so, in colour on a terminal that has it.
TEST(Verdict, OddListsGiveAPlainAnswer)
{
    const TempDir dir;
    const auto bytes = random_bytes(500, 23);
    const std::string path = dir.write("a.bin", bytes);
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    const std::string plain = run({HASH256_PATH, path}).out;
    ASSERT_EQ(mkfifo((dir.path + "/a.bin.sha256").c_str(), 0600), 0);
    const auto noise = random_bytes(1 << 20, 24);
    const std::string list = dir.write("SHA256SUMS", noise);
    ASSERT_EQ(truncate(list.c_str(), off_t{100} << 20), 0);
    std::ofstream(list, std::ios::app) << "\n" << digest << "  a.bin\n";

    const Outcome quiet = run({HASH256_PATH, path}, {}, nullptr, Streams::stderr_terminal);
    EXPECT_EQ(quiet.status, 0);
    EXPECT_EQ(quiet.out, plain);
    EXPECT_EQ(quiet.err, "");

    // A list that does not state its algorithm: a difference is yellow.
    std::string other = digest;
    other[0] = other[0] == 'a' ? 'b' : 'a';
    const std::string line = other + "  a.bin\n";
    dir.write("checksums.txt", std::vector<unsigned char>(line.begin(), line.end()));
    const Outcome differs = run({HASH256_PATH, path}, {"LANG=C.UTF-8", "TERM=xterm"}, nullptr,
                                Streams::stderr_terminal);
    EXPECT_EQ(differs.status, 0);
    EXPECT_EQ(differs.out, plain);
    EXPECT_NE(differs.err.find("checksums.txt"), std::string::npos) << differs.err;
    EXPECT_EQ(differs.err.find("一致"), std::string::npos) << differs.err;
    EXPECT_NE(differs.err.find("\x1b[33m"), std::string::npos) << differs.err;
}

namespace
{

// Standard error of a terminal run as one line: the terminal's CR LF and
// the layout's line breaks become spaces.
std::string unwrapped(std::string text)
{
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::vector<unsigned char> bytes_of(const std::string &text)
{
    return {text.begin(), text.end()};
}

} // namespace

// Arguments that are not used are named in yellow, and change neither
// standard output nor the status; the lists then decide. A stale list
// beside a browser's newer copy does not decide.
TEST(Verdict, UnusedArgumentsAndStaleLists)
{
    const TempDir dir;
    const auto bytes = random_bytes(700, 25);
    const std::string path = dir.write("file.iso", bytes);
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    std::string old_digest = digest;
    old_digest[3] = old_digest[3] == 'f' ? 'e' : 'f';
    const std::string stale = dir.write("sha256sums.txt", bytes_of(old_digest + "  file.iso\n"));
    const timespec yesterday[2] = {{time(nullptr) - 86400, 0}, {time(nullptr) - 86400, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), yesterday, 0), 0);
    dir.write("sha256sums (1).txt", bytes_of(digest + "  file.iso\n"));
    const std::string other_file = dir.write("other.iso", random_bytes(10, 26));
    const std::string big_file = dir.write("big.iso", {});
    ASSERT_EQ(truncate(big_file.c_str(), off_t{17} << 20), 0); // too large for a list
    const std::string plain = run({HASH256_PATH, path}).out;
    const std::vector<std::string> env = {"LANG=C.UTF-8", "TERM=dumb"};

    struct Case {
        std::vector<std::string> extra;
        std::string says; // besides the list's match
    };
    for (const Case &c :
         {Case{{}, ""},
          Case{{digest.substr(1)}, "[argument not used]: このプログラムのダイジェストの桁数"},
          Case{{"sha512:" + digest}, "別のアルゴリズム"},
          Case{{"file.iso"}, "ダイジェストではありません"},
          Case{{other_file, dir.path + "/x", "y"}, "3 個の引数は使いませんでした"},
          Case{{digest, "y", "z"}, "2 個の引数は使いませんでした"}}) {
        std::vector<std::string> args = {HASH256_PATH, path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const Outcome shown = run(args, env, nullptr, Streams::stderr_terminal);
        const std::string err = unwrapped(shown.err);
        EXPECT_EQ(shown.status, 0) << err;
        EXPECT_EQ(shown.out, plain) << err;
        EXPECT_NE(err.find(c.extra.empty() || c.extra[0] != digest
                               ? "一致 [match]: sha256sums (1).txt"
                               : "一致 [match]: 引数"),
                  std::string::npos)
            << err;
        EXPECT_EQ(err.find("不一致"), std::string::npos) << err;
        EXPECT_NE(err.find(c.says), std::string::npos) << err;
        EXPECT_EQ(run(args).out, plain); // and nothing on standard error
    }
    // A digest the user gives decides alone, and a list given by its path.
    std::vector<std::string> args = {HASH256_PATH, path, "SHA256: " + old_digest};
    EXPECT_NE(unwrapped(run(args, env, nullptr, Streams::stderr_terminal).err)
                  .find("不一致 [MISMATCH]: 引数"),
              std::string::npos);
    args[2] = stale;
    EXPECT_NE(unwrapped(run(args, env, nullptr, Streams::stderr_terminal).err)
                  .find("不一致 [MISMATCH]: sha256sums.txt"),
              std::string::npos);
}

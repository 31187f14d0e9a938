// The programs run as a user runs them: exact standard output and exit
// status for success and every failure, locales, and the pause on a terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cctype>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "support.h"

namespace {

const std::string prompt = "Press any key to continue . . . ";
const std::string message_utf8 = "ファイルエラーが発生しました";
const std::string message_sjis =
    "\x83\x74\x83\x40\x83\x43\x83\x8B\x83\x47\x83\x89\x81\x5B"
    "\x82\xAA\x94\xAD\x90\xB6\x82\xB5\x82\xDC\x82\xB5\x82\xBD";

struct Outcome {
    std::string out;
    int status; // exit status, or 128 + signal number
};

int decode(int wait_status)
{
    return WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
}

// Reads everything from fd until end of input or a 20 s silence.
std::string drain(int fd)
{
    std::string text;
    char chunk[4096];
    pollfd watch{fd, POLLIN, 0};
    while (poll(&watch, 1, 20000) > 0) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
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

// Standard streams a program can be started with.
enum class Streams { usual, stdin_closed, stdout_closed };

// Runs `args` (program first) with standard input from /dev/null, the given
// environment only, and standard output into a pipe, or into `out_path`;
// `streams` can start it with standard input or output closed instead.
Outcome run(std::vector<std::string> args, std::vector<std::string> env = {},
            const char* out_path = nullptr, Streams streams = Streams::usual)
{
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = out_path != nullptr ? open(out_path, O_WRONLY) : pipe_fds[1];
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        close(pipe_fds[0]);
        close(pipe_fds[1]);
        close(in);
        if (streams == Streams::stdin_closed) {
            close(STDIN_FILENO);
        } else if (streams == Streams::stdout_closed) {
            close(STDOUT_FILENO);
        }
        execve(args[0].c_str(), pointers(args).data(), pointers(env).data());
        _exit(127);
    }
    close(pipe_fds[1]);
    Outcome outcome{drain(pipe_fds[0]), 0};
    close(pipe_fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    outcome.status = decode(status);
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
        for (const char* charmap : {"SHIFT_JIS", "WINDOWS-31J"}) {
            const std::string command = std::string("localedef --no-warnings=ascii -c -i ja_JP -f ")
                                        + charmap + " " + dir->path + "/ja_JP." + charmap
                                        + " >/dev/null 2>&1";
            (void)std::system(command.c_str());
        }
    }
    static void TearDownTestSuite() { delete dir; }
    static TempDir* dir;
};
TempDir* Locales::dir = nullptr;

TEST_F(Locales, MessageAndUnitFollowTheCharacterSet)
{
    const std::string missing = dir->path + "/missing";
    const std::string path = dir->write("data", random_bytes(50, 10));
    const std::string sjis_unit = "\x95\x62";
    for (const char* charmap : {"SHIFT_JIS", "WINDOWS-31J"}) {
        const std::string locale = std::string("ja_JP.") + charmap;
        const std::vector<std::string> env = {"LOCPATH=" + dir->path, "LC_ALL=" + locale};
        ASSERT_EQ(access((dir->path + "/" + locale).c_str(), F_OK), 0) << "localedef made no " << locale;
        EXPECT_EQ(run({HASH512_PATH, missing}, env).out, failure(message_sjis)) << locale;
        EXPECT_EQ(run({HASH256_PATH}, env).out, failure(message_sjis)) << locale;
        const Outcome timed = run({HASH384_PATH, path}, env);
        EXPECT_NE(timed.out, without_seconds(timed.out, sjis_unit)) << locale;
    }
    EXPECT_EQ(run({HASH384_PATH, missing}, {"LANG=C.UTF-8"}).out, failure(message_utf8));
    const Outcome timed = run({HASH384_PATH, path}, {"LANG=C.UTF-8"});
    EXPECT_NE(timed.out, without_seconds(timed.out, "秒"));
}

// On a terminal the pause takes one key without echo and puts the settings
// back, also when the key is Ctrl-C (which then interrupts the program).
TEST(Pause, TakesOneKeyOnATerminalAndRestoresIt)
{
    const TempDir dir;
    const std::string path = dir.write("data", random_bytes(10, 11));
    for (const char key : {'k', '\x03'}) {
        termios settings{};
        cfmakeraw(&settings);
        settings.c_lflag |= ICANON | ECHO | ISIG;
        settings.c_oflag |= OPOST | ONLCR;
        settings.c_cc[VINTR] = 3;
        settings.c_cc[VMIN] = 1;
        int master = -1;
        const pid_t pid = forkpty(&master, nullptr, &settings, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl(HASH512_PATH, HASH512_PATH, path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        // Wait for the prompt, then press the key.
        std::string seen;
        char chunk[256];
        pollfd watch{master, POLLIN, 0};
        while (seen.find(prompt) == std::string::npos && poll(&watch, 1, 20000) > 0) {
            const ssize_t n = read(master, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            seen.append(chunk, static_cast<std::size_t>(n));
        }
        ASSERT_NE(seen.find(prompt), std::string::npos) << seen;
        termios waiting{};
        tcgetattr(master, &waiting);
        EXPECT_EQ(waiting.c_lflag & (ICANON | ECHO), 0U) << "the wait needs no Enter and echoes nothing";
        ASSERT_EQ(write(master, &key, 1), 1);

        seen += drain(master);
        int status = 0;
        waitpid(pid, &status, 0);
        termios after{};
        tcgetattr(master, &after);
        close(master);

        EXPECT_EQ(decode(status), key == 'k' ? 0 : 128 + SIGINT);
        EXPECT_EQ(seen.substr(seen.find(prompt) + prompt.size()), "\r\n") << "the key was echoed";
        EXPECT_EQ(after.c_lflag, settings.c_lflag);
        EXPECT_EQ(after.c_iflag, settings.c_iflag);
        EXPECT_EQ(after.c_cc[VMIN], settings.c_cc[VMIN]);
    }
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

// A file cut short while it is read: a digest of what was read, or the
// message, never a crash or a hang.
TEST(Hostile, FileShrinkingWhileRead)
{
    const TempDir dir;
    const std::string path = dir.write("shrinking", random_bytes(64 << 20, 16));
    for (const Program& program : programs) {
        const pid_t cutter = fork();
        if (cutter == 0) {
            usleep(2000);
            _exit(truncate(path.c_str(), 1000) == 0 ? 0 : 1);
        }
        const Outcome outcome = run({program.exe, path});
        int status = 0;
        waitpid(cutter, &status, 0);
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
    }
}

// The programs run as a user runs them: exact standard output and exit
// status for success and every failure, locales, and the pause on a terminal.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include <fcntl.h>
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
    for (auto& text : texts) {
        list.push_back(text.data());
    }
    list.push_back(nullptr);
    return list;
}

// Runs `args` (program first) with standard input from /dev/null, the given
// environment only, and standard output into a pipe, or into `out_path`.
Outcome run(std::vector<std::string> args, std::vector<std::string> env = {},
            const char* out_path = nullptr)
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

// hash384 puts the seconds between the digest and the closing line ends.
std::string without_seconds(const std::string& out, const std::string& unit)
{
    static const std::regex seconds("\n[0-9]+\\.[0-9]{6}");
    std::smatch match;
    const auto at = out.rfind(unit);
    if (at == std::string::npos || !std::regex_search(out.begin(), out.begin() + static_cast<long>(at), match, seconds)) {
        return out;
    }
    return out.substr(0, static_cast<std::size_t>(match.position(0))) + out.substr(at + unit.size());
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

// The progress line on a terminal: shown on long runs only there, within
// the terminal's width, erased before the report and by an ending signal.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <openssl/evp.h>

#include "progress.h"
#include "runner.h"
#include "support.h"

namespace
{

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
    EXPECT_TRUE(blank(shown_line(on_terminal.err)))
        << "left on the screen: " << shown_line(on_terminal.err);
    EXPECT_TRUE(fits(on_terminal.err)) << "wraps on a narrow terminal: " << on_terminal.err;

    const Outcome on_pipe = run({HASH512_PATH, path}); // checks that standard error stays empty
    EXPECT_EQ(on_pipe.status, 0);
    EXPECT_EQ(on_pipe.out, report(path, expected));
}

namespace
{

// One write to standard error, and whether SIGTERM had a handler then.
struct Write {
    std::string text;
    bool handled;
};

ssize_t note_write(void* cookie, const char* text, std::size_t size)
{
    struct sigaction action {
    };
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

    ProgressLine progress{};
    progress_start(progress, file);
    progress.start_ms -= 2000; // as after two seconds' work
    progress_show(progress, 1 << 20);
    progress_end(progress);

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
    struct sigaction after {
    };
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
    const Outcome outcome =
        run({HASH256_PATH, fifo}, {}, nullptr, Streams::stderr_terminal, feed_until_shown);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, report(fifo, oracle_hex("SHA256", sent.data(), sent.size())));
    EXPECT_NE(outcome.err.find(" MiB/s"), std::string::npos) << outcome.err;
    EXPECT_EQ(outcome.err.find('%'), std::string::npos) << outcome.err;
    EXPECT_TRUE(blank(shown_line(outcome.err)))
        << "left on the screen: " << shown_line(outcome.err);
    EXPECT_TRUE(fits(outcome.err)) << "wraps on a narrow terminal: " << outcome.err;
}

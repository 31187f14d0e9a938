// Whatever the shell, the file system or the caller hands the programs:
// special files, odd and unopenable paths, closed standard streams, a
// prompt cut short, a small stack; each ends in a plain outcome.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "runner.h"
#include "support.h"

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
        EXPECT_EQ(without_seconds(outcome.out, "秒"),
                  report("/dev/null", oracle_hex(program.digest, "", 0)));
    }
}

TEST(Hostile, OddPathsArePrintedExactly)
{
    const TempDir dir;
    const auto bytes = random_bytes(70, 15);
    for (const std::string name :
         {"with spaces and  two", "new\nline", "not utf-8 \xff\xfe\x80", "-dash"}) {
        const std::string path = dir.write(name, bytes);
        const Outcome outcome = run({HASH256_PATH, path});
        EXPECT_EQ(outcome.status, 0) << name;
        EXPECT_EQ(outcome.out, report(path, oracle_hex("SHA256", bytes.data(), bytes.size())))
            << name;
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
        EXPECT_EQ(without_seconds(no_input.out, "秒"),
                  report(path, oracle_hex(program.digest, bytes.data(), bytes.size())));
        EXPECT_EQ(run({program.exe, path}, {}, nullptr, Streams::stdout_closed).status, 2)
            << program.exe;
        EXPECT_EQ(
            run({program.exe, dir.path + "/missing"}, {}, nullptr, Streams::stdout_closed).status,
            1);
        EXPECT_EQ(run({program.exe, path}, {}, nullptr, Streams::reader_gone).status, 2)
            << program.exe;
        EXPECT_EQ(
            run({program.exe, dir.path + "/missing"}, {}, nullptr, Streams::reader_gone).status, 1);
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
        EXPECT_EQ(without_seconds(outcome.out, "秒"),
                  report(path, oracle_hex(program.digest, bytes.data(), bytes.size())));
    }
}

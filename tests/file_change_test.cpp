// Files that change while they are read: one cut short, a FIFO fed in
// irregular writes, one that grows. A digest of what was read or the
// message, never a mix, a crash or a hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <openssl/evp.h>

#include "runner.h"
#include "support.h"

// A file cut short while it is read: the digest of all it held before the
// cut, or the message, never a digest of bytes it did not hold, a crash or
// a hang. The cut comes once the program has started reading or mapping it.
TEST(Hostile, FileShrinkingWhileRead)
{
    const TempDir dir;
    const auto bytes = random_bytes(64 << 20, 16);
    const std::string path = dir.write("shrinking", bytes);
    for (const Program& program : programs) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        const auto cut_while_reading = [&](pid_t pid, int /*err_fd*/, std::string& /*err*/) {
            wait_until_reading(pid, path);
            EXPECT_EQ(truncate(path.c_str(), 1000), 0);
        };
        const Outcome outcome =
            run({program.exe, path}, {}, nullptr, Streams::usual, cut_while_reading);
        const std::string out = without_seconds(outcome.out, "秒");
        if (outcome.status == 0) {
            EXPECT_EQ(out, report(path, oracle_hex(program.digest, bytes.data(), bytes.size())));
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
                const std::size_t size =
                    std::min<std::size_t>(sent.size() - done, (step * 7919) % 9000 + 1);
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
    const std::string path =
        dir.write("growing", std::vector<unsigned char>(bytes.begin(), bytes.begin() + (16 << 20)));
    const auto extend = [&](pid_t pid, int /*err_fd*/, std::string& /*err*/) {
        wait_until_reading(pid, path);
        std::ofstream out(path, std::ios::binary | std::ios::app);
        for (std::size_t at = 16 << 20; at < bytes.size(); at += step) {
            out.write(reinterpret_cast<const char*>(bytes.data() + at),
                      static_cast<std::streamsize>(step));
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

// A SIGBUS sent by another process while the file's mapping is hashed is not
// the file's fault: it ends the program by the signal, never as a file error.
TEST(Hostile, SentBusErrorIsNoFileError)
{
    const TempDir dir;
    const std::string path = dir.path + "/large";
    {
        std::ofstream(path, std::ios::binary).close();
        ASSERT_EQ(truncate(path.c_str(), off_t{2} << 30), 0); // sparse: quick to make
    }
    const rlimit no_core{0, 0};
    ASSERT_EQ(setrlimit(RLIMIT_CORE, &no_core), 0);
    // Stopped with its mapping in place, the program takes the signal where
    // it stands once it goes on.
    const auto send_bus = [&](pid_t pid, int /*err_fd*/, std::string& /*err*/) {
        ASSERT_TRUE(eventually([&] { return maps_file(pid, path) || state_of(pid) == 'Z'; }));
        kill(pid, SIGSTOP);
        ASSERT_TRUE(eventually([&] { return state_of(pid) == 'T' || state_of(pid) == 'Z'; }));
        kill(pid, SIGBUS);
        kill(pid, SIGCONT);
    };
    const Outcome outcome = run({HASH512_PATH, path}, {}, nullptr, Streams::usual, send_bus);
    EXPECT_EQ(outcome.status, 128 + SIGBUS) << outcome.out;
}

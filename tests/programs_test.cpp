// The report of each program as a user sees it: exact standard output and
// exit status for a file, a literal path, each failure, an unwritable report.
#include <gtest/gtest.h>

#include <string>

#include "runner.h"
#include "support.h"

TEST(Programs, ReportTheDigestOfAFile)
{
    const TempDir dir;
    for (std::size_t size : {0U, 1000U}) {
        const auto bytes = random_bytes(size, 7);
        const std::string path = dir.write("data" + std::to_string(size), bytes);
        for (const Program& program : programs) {
            const Outcome outcome = run({program.exe, path});
            const std::string expected =
                report(path, oracle_hex(program.digest, bytes.data(), size));
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
              std::vector<std::string>{program.exe, dir.path},
              std::vector<std::string>{program.exe}}) {
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

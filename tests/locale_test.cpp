// The message, the seconds' unit and the verdict in the locale's character
// set: the stored Shift-JIS bytes under Shift-JIS locales, UTF-8 elsewhere.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <unistd.h>

#include "runner.h"
#include "support.h"

// Shift-JIS locales get the stored bytes, UTF-8 ones the converted text.
class Locales : public ::testing::Test
{
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
        ASSERT_EQ(access((dir->path + "/" + locale).c_str(), F_OK), 0)
            << "localedef made no " << locale;
        const Outcome missing_file = run({HASH512_PATH, missing}, env);
        EXPECT_EQ(missing_file.status, 1);
        EXPECT_EQ(missing_file.out, failure(message_sjis)) << locale;
        const Outcome timed = run({HASH384_PATH, path}, env);
        EXPECT_EQ(timed.status, 0);
        EXPECT_NE(timed.out, without_seconds(timed.out, sjis_unit)) << locale;
    }
    // The verdict on a terminal too: "一致" in Shift-JIS.
    const Outcome verdict =
        run({HASH256_PATH, path, oracle_hex("SHA256", "", 0)},
            {"LOCPATH=" + dir->path, "LC_ALL=ja_JP.SHIFT_JIS"}, nullptr, Streams::stderr_terminal);
    EXPECT_NE(verdict.err.find("\x95s\x88\xEA\x92v [MISMATCH]"), std::string::npos) << verdict.err;
    // A list written in Shift-JIS (Japanese Windows' ANSI code page) names
    // 日本語.bin: read in the locale's character set, whether the file's
    // own name is in UTF-8 or in Shift-JIS.
    const std::string sjis_name = "\x93\xFA\x96\x7B\x8C\xEA.bin";
    for (const std::string& name : {std::string("日本語.bin"), sjis_name}) {
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

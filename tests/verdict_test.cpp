// The verdict on the terminal: where the expected digest came from and
// whether it matches, standard output and status unchanged, and plain
// answers for lists that cannot give one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runner.h"
#include "support.h"

namespace
{

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
            {"download.iso." + lowercase(algorithm), "download.iso." + lowercase(algorithm),
             "@\r\n"},
            {algorithm + "SUMS", algorithm + "SUMS", "@  other.iso\n@ *download.iso\n"},
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
                const Outcome shown =
                    run(args, {"LANG=C.UTF-8", "TERM=dumb"}, nullptr, Streams::stderr_terminal);
                const std::string what = std::string(check.program.exe) + " " + source.shown;
                EXPECT_EQ(shown.status, 0) << what;
                EXPECT_EQ(without_seconds(shown.out, "秒"), plain) << what;
                EXPECT_NE(shown.err.find(source.shown), std::string::npos)
                    << what << ": " << shown.err;
                if (expected == digest) {
                    EXPECT_NE(shown.err.find("一致"), std::string::npos)
                        << what << ": " << shown.err;
                    EXPECT_EQ(shown.err.find("不一致"), std::string::npos)
                        << what << ": " << shown.err;
                } else {
                    EXPECT_NE(shown.err.find("不一致"), std::string::npos)
                        << what << ": " << shown.err;
                    EXPECT_NE(shown.err.find(wrong), std::string::npos)
                        << what << ": " << shown.err;
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
    EXPECT_NE(differs.err.find("\x1b[30;43m違います [differs]\x1b[0m:"), std::string::npos)
        << differs.err;
}

// In colour, only the label is a block with its own background, black on
// green, white on red, black on yellow; the rest of the line keeps the
// terminal's colours. NO_COLOR leaves all of it plain.
TEST(Verdict, OnlyTheLabelIsABlockOfColour)
{
    const TempDir dir;
    const auto bytes = random_bytes(600, 27);
    const std::string path = dir.write("c.bin", bytes);
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    std::string wrong = digest;
    wrong[9] = wrong[9] == '0' ? '1' : '0';
    struct Case {
        std::vector<std::string> extra;
        std::string block; // the label with its colours
    };
    for (const Case& c :
         {Case{{digest}, "\x1b[30;42m一致 [match]\x1b[0m:"},
          Case{{wrong}, "\n\x1b[97;41m不一致 [MISMATCH]\x1b[0m:"},
          Case{{"xyz"}, "\x1b[30;43m引数は使いませんでした [argument not used]\x1b[0m:"},
          Case{{digest, "y", "z"},
               "\x1b[30;43m2個の引数は使いませんでした [arguments not used]\x1b[0m:"}}) {
        std::vector<std::string> args = {HASH256_PATH, path};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        for (const char* no_color : {"NO_COLOR=", "NO_COLOR=1"}) {
            const Outcome shown = run(args, {"LANG=C.UTF-8", "TERM=xterm", no_color}, nullptr,
                                      Streams::stderr_terminal);
            std::string err = shown.err;
            err.erase(std::remove(err.begin(), err.end(), '\r'), err.end());
            if (std::string(no_color) == "NO_COLOR=") {
                const auto at = err.find(c.block);
                EXPECT_NE(at, std::string::npos) << err;
                // A colour set and a reset for each line shown: the block's.
                EXPECT_EQ(std::count(err.begin(), err.end(), '\x1b'), c.extra.size() == 3 ? 4 : 2)
                    << err;
            } else {
                EXPECT_EQ(err.find('\x1b'), std::string::npos) << err;
            }
        }
    }
}

namespace
{

std::vector<unsigned char> bytes_of(const std::string& text)
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
    for (const Case& c :
         {Case{{}, ""},
          Case{{digest.substr(1)}, "[argument not used]: このプログラムのダイジェストの桁数"},
          Case{{"sha512:" + digest}, "別のアルゴリズム"},
          Case{{"file.iso"}, "ダイジェストではありません"},
          Case{{other_file, dir.path + "/x", "y"}, "3個の引数は使いませんでした"},
          Case{{digest, "y", "z"}, "2個の引数は使いませんでした"}}) {
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
    // A digest labelled with this algorithm decides alone; a list given by
    // its path that differs does not outweigh a list beside the file that
    // matches.
    std::vector<std::string> args = {HASH256_PATH, path, "SHA256: " + old_digest};
    EXPECT_NE(unwrapped(run(args, env, nullptr, Streams::stderr_terminal).err)
                  .find("不一致 [MISMATCH]: 引数"),
              std::string::npos);
    args[2] = stale;
    const std::string err = unwrapped(run(args, env, nullptr, Streams::stderr_terminal).err);
    EXPECT_NE(err.find("一致 [match]: sha256sums (1).txt"), std::string::npos) << err;
    EXPECT_NE(err.find("違います [differs]: 引数のダイジェストと違います"), std::string::npos)
        << err;
}

namespace
{

// A list beside the file: its name, its text with @ for the intact file's
// digest and # for another, and its last write in hours from the file's.
struct Fixture {
    std::string name;
    std::string text;
    long hours;
};

// A folder, the arguments after the file (@ and # as above), and what the
// verdict says of the intact file and of a copy with one byte changed.
struct Proof {
    const char* what;
    std::vector<Fixture> lists;
    std::vector<std::string> extra;
    std::vector<std::string> intact;
    std::vector<std::string> changed;
};

std::string filled(std::string text, const std::string& digest, const std::string& another)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '@' || text[at] == '#') {
            const std::string& put = text[at] == '@' ? digest : another;
            text.replace(at, 1, put);
            at += put.size() - 1;
        }
    }
    return text;
}

void set_time(const std::string& path, time_t when)
{
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

} // namespace

// Red only on proof, and any equal entry matches: for each folder, the
// verdict on the intact file and on a one-byte-changed copy.
TEST(Verdict, RedOnlyOnProof)
{
    const auto bytes = random_bytes(900, 31);
    auto broken = bytes;
    broken[100] ^= 1U;
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    const std::string other = std::string(64, 'c');
    const std::string differs = "違います [differs]";
    std::vector<Fixture> many;
    for (int i = 1; i <= 65; ++i) {
        many.push_back({"SHA256SUMS (" + std::to_string(i) + ")", "@  putty.exe\n", 0});
    }
    const Proof proofs[] = {
        {"fresh list",
         {{"SHA256SUMS", "@ *putty.exe\n", -3}},
         {},
         {"一致 [match]: SHA256SUMS"},
         {"不一致 [MISMATCH]: SHA256SUMS"}},
        {"stale list",
         {{"sha256sums", "@  putty.exe\n", -200 * 24}},
         {},
         {"一致 [match]: sha256sums"},
         {differs, "一覧がファイルより200日古いです [list 200 days older than the file]"}},
        {"newer list",
         {{"SHA256SUMS", "@  putty.exe\n", 13}},
         {},
         {"一致 [match]"},
         {differs, "1日新しいです [list 1 day newer than the file]"}},
        {"a folder's equal entry",
         {{"SHA256SUMS", "# *putty.exe\n@ *w64/putty.exe\n", 0}},
         {},
         {"一致 [match]: SHA256SUMS (w64/putty.exe)"},
         {"不一致 [MISMATCH]"}},
        {"across lists",
         {{"SHA256SUMS", "# *putty.exe\n", 0}, {"sha256sums.txt", "@  w64/putty.exe\n", 1}},
         {},
         {"一致 [match]: sha256sums.txt (w64/putty.exe)"},
         {"不一致 [MISMATCH]"}},
        {"folders only",
         {{"SHA256SUMS", "#  arm64/putty.exe\n", 0}},
         {},
         {differs, "ほかのフォルダー"},
         {differs, "[only entries for other folders]"}},
        {"bare argument",
         {{"SHA256SUMS", "@  putty.exe\n", 0}},
         {"#"},
         {"一致 [match]: SHA256SUMS", "違います [differs]: 引数のダイジェストと違います"},
         {"不一致 [MISMATCH]: SHA256SUMS", "違います [differs]: 引数のダイジェストと違います"}},
        {"labelled argument",
         {{"SHA256SUMS", "@  putty.exe\n", 0}},
         {"SHA-256: #"},
         {"不一致 [MISMATCH]: 引数"},
         {"不一致 [MISMATCH]: 引数"}},
        {"too many lists", many, {}, {"一致 [match]"}, {differs, "[too many lists]"}},
    };
    const std::vector<std::string> env = {"LANG=C.UTF-8", "TERM=dumb"};
    for (const Proof& proof : proofs) {
        const TempDir dir;
        const time_t now = time(nullptr) - 86400 * 300;
        for (const Fixture& list : proof.lists) {
            const std::string text = filled(list.text, digest, other);
            set_time(dir.write(list.name, bytes_of(text)), now + list.hours * 3600);
        }
        for (const bool intact : {true, false}) {
            const std::string path = dir.write("putty.exe", intact ? bytes : broken);
            set_time(path, now);
            std::vector<std::string> args = {HASH256_PATH, path};
            for (const std::string& extra : proof.extra) {
                args.push_back(filled(extra, digest, other));
            }
            const Outcome shown = run(args, env, nullptr, Streams::stderr_terminal);
            const std::string err = unwrapped(shown.err);
            EXPECT_EQ(shown.status, 0);
            for (const std::string& says : intact ? proof.intact : proof.changed) {
                EXPECT_NE(err.find(says), std::string::npos)
                    << proof.what << (intact ? ", intact: " : ", changed: ") << err;
            }
            if (intact && proof.intact[0].find("[MISMATCH]") == std::string::npos) {
                EXPECT_EQ(err.find("[MISMATCH]"), std::string::npos) << proof.what << ": " << err;
            }
        }
    }
}

// A list that cannot be opened leaves any difference yellow, with why.
TEST(Verdict, AnUnreadableListLeavesNoRed)
{
    if (geteuid() == 0) {
        GTEST_SKIP() << "every file opens for root";
    }
    const TempDir dir;
    const auto bytes = random_bytes(400, 32);
    const std::string path = dir.write("a.iso", random_bytes(400, 33));
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    dir.write("SHA256SUMS", bytes_of(digest + "  a.iso\n"));
    const std::string closed = dir.write("sha256sums.txt", bytes_of(digest + "  a.iso\n"));
    ASSERT_EQ(chmod(closed.c_str(), 0), 0);
    const std::string err = unwrapped(
        run({HASH256_PATH, path}, {"LANG=C.UTF-8", "TERM=dumb"}, nullptr, Streams::stderr_terminal)
            .err);
    EXPECT_NE(err.find("[list not read: no permission]"), std::string::npos) << err;
    EXPECT_EQ(err.find("[MISMATCH]"), std::string::npos) << err;
}

// The digest reaches the terminal before the lists beside the file are
// looked for: stopped as its lookup starts, the program has shown it.
TEST(Verdict, DigestShownBeforeTheLookup)
{
    const TempDir dir;
    const auto bytes = random_bytes(1000, 70);
    const std::string path = dir.write("data.bin", bytes);
    dir.write("SHA512SUMS", std::vector<unsigned char>{'x', '\n'});
    int master = -1;
    const pid_t pid = start_on_terminal_preloaded(path, STOP_AT_LOOKUP_PATH, master);
    ASSERT_GE(pid, 0);
    ASSERT_TRUE(eventually([pid] { return state_of(pid) == 'T'; })) << "no lookup";
    std::string seen;
    char chunk[4096];
    for (pollfd watch{master, POLLIN, 0}; poll(&watch, 1, 0) > 0;) {
        const ssize_t n = read(master, chunk, sizeof chunk);
        if (n <= 0) {
            break;
        }
        seen.append(chunk, static_cast<std::size_t>(n));
    }
    EXPECT_NE(seen.find(oracle_hex("SHA512", bytes.data(), bytes.size())), std::string::npos)
        << seen;
    ASSERT_EQ(kill(pid, SIGCONT), 0);
    ASSERT_TRUE(wait_for_prompt(master, seen)) << seen;
    ASSERT_EQ(write(master, "k", 1), 1);
    EXPECT_EQ(finish_on_terminal(pid, master, seen).status, 0);
}

// A list given by its path is read as a list, also where its folder's name
// looks like base64 (a long run of letters) beside a file's name.
TEST(Verdict, ListPathThatLooksLikeADigest)
{
    const TempDir dir;
    const std::string folder = dir.path + "/" + std::string(60, 'p');
    ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
    const auto bytes = random_bytes(1000, 71);
    const std::string path = dir.write("data.bin", bytes);
    const std::string list = folder + "/list.txt";
    std::ofstream(list) << oracle_hex("SHA256", bytes.data(), bytes.size()) << "  data.bin\n";
    const Outcome shown = run({HASH256_PATH, path, list}, {"LANG=C.UTF-8", "TERM=dumb"}, nullptr,
                              Streams::stderr_terminal);
    EXPECT_NE(shown.err.find("一致 [match]: list.txt"), std::string::npos) << shown.err;
    EXPECT_EQ(shown.err.find("[argument not used]"), std::string::npos) << shown.err;
}

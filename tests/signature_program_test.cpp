// The signature line as the user sees it: on the terminal only, with the
// system's gpgv by its own path, never one planted beside the file, and
// standard output and the status unchanged.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "runner.h"
#include "support.h"

// A list signed by a key that the user's keyrings lack: the line names its
// full fingerprint; a gpgv planted in the folder and on PATH is not run.
TEST(SignatureLine, MissingKeyOnTheTerminalOnly)
{
    const TempDir keys;
    const TempDir dir;
    const auto bytes = random_bytes(900, 51);
    const std::string path = dir.write("image.iso", bytes);
    const std::string digest = oracle_hex("SHA256", bytes.data(), bytes.size());
    std::ofstream(dir.path + "/SHA256SUMS") << digest << "  image.iso\n";
    const std::string gpg = "GNUPGHOME=" + keys.path
                            + " gpg --batch --no-tty --quiet --pinentry-mode loopback "
                              "--passphrase '' ";
    ASSERT_EQ(std::system((gpg
                           + "--quick-gen-key 'Publisher <p@example.org>' ed25519 sign 0 "
                             "2>/dev/null && "
                           + gpg + "--detach-sign -o " + dir.path + "/SHA256SUMS.gpg " + dir.path
                           + "/SHA256SUMS 2>/dev/null && " + gpg
                           + "--with-colons --list-keys p@example.org | awk -F: '/^fpr/ {print "
                             "$10; exit}' > "
                           + keys.path + "/fpr")
                              .c_str()),
              0);
    EXPECT_EQ(std::system(("GNUPGHOME=" + keys.path + " gpgconf --kill gpg-agent").c_str()), 0);
    std::string fingerprint;
    std::ifstream(keys.path + "/fpr") >> fingerprint;
    ASSERT_EQ(fingerprint.size(), 40U);
    for (const char* planted : {"/gpgv", "/gpgv.exe"}) {
        const std::string fake = dir.path + planted;
        std::ofstream(fake) << "#!/bin/sh\ntouch " << dir.path << "/planted-ran\n";
        ASSERT_EQ(chmod(fake.c_str(), 0755), 0);
    }

    const std::string plain = run({HASH256_PATH, path}).out;
    const std::vector<std::string> env = {"LANG=C.UTF-8", "TERM=dumb",
                                          "PATH=" + dir.path + ":/usr/bin:/bin"};
    const Outcome shown = run({HASH256_PATH, path}, env, nullptr, Streams::stderr_terminal);
    EXPECT_EQ(shown.status, 0);
    EXPECT_EQ(shown.out, plain);
    std::string err = shown.err;
    err.erase(std::remove(err.begin(), err.end(), '\r'), err.end());
    std::replace(err.begin(), err.end(), '\n', ' ');
    EXPECT_NE(err.find("一致 [match]"), std::string::npos) << err;
    EXPECT_NE(err.find("SHA256SUMS.gpg"), std::string::npos) << err;
    EXPECT_NE(err.find(fingerprint), std::string::npos) << err;
    EXPECT_NE(err.find("[key missing]"), std::string::npos) << err;
    EXPECT_NE(access((dir.path + "/planted-ran").c_str(), F_OK), 0);

    const Outcome piped = run({HASH256_PATH, path}, env); // checks that standard error is empty
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, plain);

    // The list given as the second argument, from another folder, and its
    // signature beside it.
    const TempDir elsewhere;
    for (const char* name : {"/SHA256SUMS", "/SHA256SUMS.gpg"}) {
        ASSERT_EQ(std::rename((dir.path + name).c_str(), (elsewhere.path + name).c_str()), 0);
    }
    const Outcome given = run({HASH256_PATH, path, elsewhere.path + "/SHA256SUMS"}, env, nullptr,
                              Streams::stderr_terminal);
    EXPECT_EQ(given.status, 0);
    EXPECT_EQ(given.out, plain);
    EXPECT_NE(given.err.find(fingerprint), std::string::npos) << given.err;
    EXPECT_NE(given.err.find("[key missing]"), std::string::npos) << given.err;
}

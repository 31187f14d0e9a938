// The list's signature checked by the real gpgv, with keys made for the test
// in a temporary home: what each kind of signature comes to, the
// clear-signed text's rules, and gpgv absent or hung.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "signature.h"
#include "support.h"

namespace
{

// The keys' home for gpg, the home whose .gnupg the check reads, and an
// empty folder for the system's keyrings, made once for the suite.
struct Keys {
    TempDir maker;
    TempDir home;
    TempDir system;
    std::string good, unknown, expired, revoked, old; // fingerprints
};
Keys* keys = nullptr;

// Runs a shell command; true when it exits 0.
bool shell(const std::string& command)
{
    return std::system(command.c_str()) == 0;
}

std::string gpg_command()
{
    return "GNUPGHOME=" + keys->maker.path
           + "/g gpg --batch --no-tty --quiet --pinentry-mode "
             "loopback --passphrase '' ";
}

bool gpg(const std::string& arguments)
{
    return shell(gpg_command() + arguments + " 2>/dev/null");
}

// The fingerprint of the key with the e-mail address `who`.
std::string fingerprint(const std::string& who)
{
    const std::string command = gpg_command() + "--with-colons --list-keys " + who
                                + " | awk -F: '/^fpr/ {print $10; exit}'";
    FILE* pipe = popen(command.c_str(), "r");
    char line[128] = "";
    if (pipe != nullptr) {
        if (std::fgets(line, sizeof line, pipe) == nullptr) {
            line[0] = '\0';
        }
        pclose(pipe);
    }
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

bool make_key(const std::string& name, const std::string& algorithm, const char* extra = "",
              const char* expiry = "0")
{
    return gpg(std::string(extra) + " --quick-gen-key '" + name + " <" + name + "@example.org>' "
               + algorithm + " sign " + expiry);
}

std::string text_of(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

class Signature : public testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        keys = new Keys;
        const std::string g = keys->maker.path + "/g";
        ASSERT_EQ(mkdir(g.c_str(), 0700), 0);
        ASSERT_EQ(mkdir((keys->home.path + "/.gnupg").c_str(), 0700), 0);
        ASSERT_TRUE(make_key("good", "ed25519"));
        ASSERT_TRUE(make_key("unknown", "ed25519"));
        ASSERT_TRUE(make_key("revoked", "ed25519"));
        ASSERT_TRUE(make_key("old", "rsa2048"));
        // Made and valid for a day in 2020, long expired now.
        ASSERT_TRUE(make_key("expired", "ed25519", "--faked-system-time 20200101T000000!", "1d"));
        keys->good = fingerprint("good@example.org");
        keys->unknown = fingerprint("unknown@example.org");
        keys->expired = fingerprint("expired@example.org");
        keys->revoked = fingerprint("revoked@example.org");
        keys->old = fingerprint("old@example.org");
        ASSERT_EQ(keys->good.size(), 40U);
        ASSERT_EQ(keys->revoked.size(), 40U);
    }

    static void TearDownTestSuite()
    {
        shell("GNUPGHOME=" + keys->maker.path + "/g gpgconf --kill gpg-agent 2>/dev/null");
        delete keys;
        keys = nullptr;
    }

    // The file to hash and its list, SHA256SUMS, in the test's folder.
    void SetUp() override
    {
        const auto bytes = random_bytes(700, 41);
        path = folder.write("file.iso", bytes);
        digest = oracle_hex("SHA256", bytes.data(), bytes.size());
        list = folder.path + "/SHA256SUMS";
        write_text(list, digest + "  file.iso\n" + std::string(64, '0') + "  other.iso\n");
    }

    // Puts the public keys of `who` (e-mail names) into `keyring`.
    static bool export_keys(const std::string& who, const std::string& keyring, bool armor = false)
    {
        return gpg(std::string(armor ? "--armor " : "") + "--export " + who + " > " + keyring);
    }

    // The user's keyring: the good, expired, revoked and old keys.
    static bool user_keyring()
    {
        return export_keys("good@example.org expired@example.org revoked@example.org "
                           "old@example.org",
                           keys->home.path + "/.gnupg/pubring.gpg");
    }

    // Checks the signature of SHA256SUMS, as the verdict does once its
    // lists have decided.
    SignatureVerdict check(const VerifySetup& setup)
    {
        const ChecksumTarget target{algorithm_sha256, digest.c_str(), "file.iso", 8, nullptr, 0,
                                    NameRule::exact};
        static VerdictRoom room;
        room = VerdictRoom{};
        verdict_lookup(path.c_str(), target, room, verdict_limits);
        SignatureVerdict verdict{};
        EXPECT_NE(room.tally.rank, rank_none);
        for (std::size_t i = 0; i < room.lists.count; ++i) {
            if (std::strcmp(room.lists.lists[i].name, "SHA256SUMS") == 0) {
                signature_check(path.c_str(), room.lists.lists[i], target, room.tally, room, setup,
                                verdict);
            }
        }
        return verdict;
    }

    SignatureVerdict check()
    {
        return check(
            VerifySetup{"/usr/bin/gpgv", keys->home.path.c_str(), keys->system.path.c_str(), 0});
    }

    TempDir folder;
    std::string path;
    std::string digest;
    std::string list;
};

} // namespace

// A detached signature, binary or armored, from a key of each keyring: the
// signer, the full fingerprint and the keyring that vouched; the system's
// armored keyring is read de-armored.
TEST_F(Signature, GoodDetachedFromEachKeyring)
{
    ASSERT_TRUE(user_keyring());
    ASSERT_TRUE(gpg("-u good@example.org --detach-sign -o " + list + ".gpg " + list));
    SignatureVerdict verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_STREQ(verdict.signer, "good <good@example.org>");
    EXPECT_EQ(verdict.fingerprint, keys->good);
    EXPECT_EQ(verdict.keyring, Keyring::user);
    EXPECT_STREQ(verdict.file, "SHA256SUMS.gpg");

    // gpgv's own trusted keys come first.
    ASSERT_TRUE(export_keys("good@example.org", keys->home.path + "/.gnupg/trustedkeys.gpg"));
    ASSERT_EQ(std::remove((list + ".gpg").c_str()), 0);
    ASSERT_TRUE(gpg("-u good@example.org --armor --detach-sign -o " + list + ".asc " + list));
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_EQ(verdict.keyring, Keyring::trusted);
    EXPECT_STREQ(verdict.file, "SHA256SUMS.asc");

    std::remove((keys->home.path + "/.gnupg/trustedkeys.gpg").c_str());
    std::remove((keys->home.path + "/.gnupg/pubring.gpg").c_str());
    ASSERT_TRUE(export_keys("good@example.org", keys->system.path + "/test-archive.asc", true));
    verdict = check();
    std::remove((keys->system.path + "/test-archive.asc").c_str());
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_EQ(verdict.keyring, Keyring::system);
}

// A key in no keyring: its full fingerprint, to compare before importing.
// Beside a good signature, an unknown one changes nothing; a bad one adds
// a note.
TEST_F(Signature, MissingKeyAndTwoSigners)
{
    ASSERT_TRUE(user_keyring());
    ASSERT_TRUE(gpg("-u unknown@example.org --detach-sign -o " + list + ".sig " + list));
    SignatureVerdict verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::missing);
    EXPECT_EQ(verdict.fingerprint, keys->unknown);

    ASSERT_TRUE(gpg("--yes -u unknown@example.org -u good@example.org --detach-sign -o " + list
                    + ".sig " + list));
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_EQ(verdict.fingerprint, keys->good);
    EXPECT_FALSE(verdict.bad_beside);
}

// Signatures that do not count: expired, revoked, SHA-1, dated in the
// future, and a list changed after signing.
TEST_F(Signature, WhatDoesNotCount)
{
    ASSERT_TRUE(gpg("--faked-system-time 20200101T010000! -u expired@example.org --detach-sign "
                    "-o "
                    + list + ".gpg " + list));
    ASSERT_TRUE(user_keyring());
    SignatureVerdict verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::expired);
    EXPECT_EQ(verdict.fingerprint, keys->expired);

    ASSERT_TRUE(gpg("--yes -u old@example.org --digest-algo SHA1 --detach-sign -o " + list + ".gpg "
                    + list));
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::weak);
    EXPECT_EQ(verdict.fingerprint, keys->old);

    // Signed, then the key revoked by its own certificate.
    ASSERT_TRUE(gpg("--yes -u revoked@example.org --detach-sign -o " + list + ".gpg " + list));
    ASSERT_TRUE(shell("sed 's/^:-----/-----/' " + keys->maker.path + "/g/openpgp-revocs.d/"
                      + keys->revoked + ".rev | " + gpg_command() + "--import 2>/dev/null"));
    ASSERT_TRUE(user_keyring());
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::revoked);
    EXPECT_EQ(verdict.fingerprint, keys->revoked);

    // Dated a year ahead of the clock: gpgv calls it good.
    ASSERT_TRUE(gpg("--yes --faked-system-time " + std::to_string(std::time(nullptr) + 31536000)
                    + " -u good@example.org --detach-sign -o " + list + ".gpg " + list));
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::future);
    EXPECT_EQ(verdict.fingerprint, keys->good);

    ASSERT_TRUE(gpg("--yes -u good@example.org --detach-sign -o " + list + ".gpg " + list));
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::good);
    std::ofstream(list, std::ios::app) << std::string(64, '1') << "  new.iso\n";
    verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::bad);
}

// Of two lists that hold the file's digest, the one whose signature is
// good speaks, whichever the lookup names first.
TEST_F(Signature, MatchingListWithGoodSignatureChosen)
{
    ASSERT_TRUE(user_keyring());
    const std::string other = folder.path + "/sha256sum.txt";
    write_text(other, digest + "  file.iso\n");
    const ChecksumTarget target{algorithm_sha256, digest.c_str(), "file.iso", 8, nullptr, 0,
                                NameRule::exact};
    const VerifySetup setup{"/usr/bin/gpgv", keys->home.path.c_str(), keys->system.path.c_str(), 0};
    for (const bool good_first : {true, false}) {
        const std::string& good = good_first ? list : other;
        const std::string& unknown = good_first ? other : list;
        ASSERT_TRUE(gpg("--yes -u good@example.org --detach-sign -o " + good + ".sig " + good));
        ASSERT_TRUE(
            gpg("--yes -u unknown@example.org --detach-sign -o " + unknown + ".sig " + unknown));
        static VerdictRoom room;
        room = VerdictRoom{};
        verdict_lookup(path.c_str(), target, room, verdict_limits);
        ASSERT_TRUE(room.tally.matched);
        SignatureVerdict verdict{};
        std::size_t chosen = verdict_max_lists;
        signature_check_matching(path.c_str(), room.lists.lists, target, room, setup, verdict,
                                 chosen);
        EXPECT_EQ(verdict.state, SignatureState::good);
        EXPECT_EQ(verdict.fingerprint, keys->good);
        ASSERT_LT(chosen, room.lists.count);
        EXPECT_EQ(folder.path + "/" + room.lists.lists[chosen].name, good);
    }
}

// The user's keys in a keyboxd store, which gpgv cannot read: the gpg
// beside gpgv checks with them (here a gpg that reads the keyring in its
// place, as no keyboxd may be installed), and only then.
TEST_F(Signature, KeyboxdStoreCheckedByGpg)
{
    const TempDir tools;
    const std::string ran = tools.path + "/gpg-ran";
    write_text(tools.path + "/gpgv", "#!/bin/sh\nexec /usr/bin/gpgv \"$@\"\n");
    write_text(tools.path + "/gpg", "#!/bin/sh\ntouch " + ran + "\nexec /usr/bin/gpg \"$@\"\n");
    for (const char* name : {"/gpgv", "/gpg"}) {
        ASSERT_EQ(chmod((tools.path + name).c_str(), 0755), 0);
    }
    const std::string gpgv = tools.path + "/gpgv";
    const VerifySetup setup{gpgv.c_str(), keys->home.path.c_str(), keys->system.path.c_str(), 0};
    ASSERT_TRUE(user_keyring());
    ASSERT_TRUE(gpg("--yes -u good@example.org --detach-sign -o " + list + ".sig " + list));
    SignatureVerdict verdict = check(setup);
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_NE(access(ran.c_str(), F_OK), 0);

    const std::string store = keys->home.path + "/.gnupg/public-keys.d";
    ASSERT_EQ(mkdir(store.c_str(), 0700), 0);
    write_text(store + "/pubring.db", "SQLite format 3");
    verdict = check(setup);
    std::remove((store + "/pubring.db").c_str());
    rmdir(store.c_str());
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_EQ(verdict.keyring, Keyring::user);
    EXPECT_EQ(verdict.fingerprint, keys->good);
    EXPECT_EQ(access(ran.c_str(), F_OK), 0);
}

// A clear-signed list counts only for entries inside its signed text, and
// only when nothing but blank lines stands outside it.
TEST_F(Signature, ClearSignedText)
{
    ASSERT_TRUE(user_keyring());
    const std::string plain = text_of(list);
    ASSERT_TRUE(gpg("-u good@example.org --clearsign -o " + list + ".signed " + list));
    const std::string signed_list = text_of(list + ".signed");
    ASSERT_EQ(std::remove((list + ".signed").c_str()), 0);

    write_text(list, "\n" + signed_list + "\n");
    SignatureVerdict verdict = check();
    EXPECT_EQ(verdict.state, SignatureState::good);
    EXPECT_STREQ(verdict.file, "SHA256SUMS");

    write_text(list, "junk\n" + signed_list);
    EXPECT_EQ(check().state, SignatureState::refused);

    // The file's entry only after the signature.
    write_text(folder.path + "/notes.txt", "Release notes\n");
    ASSERT_TRUE(gpg("-u good@example.org --clearsign -o " + list + ".signed " + folder.path
                    + "/notes.txt"));
    write_text(list, text_of(list + ".signed") + plain);
    ASSERT_EQ(std::remove((list + ".signed").c_str()), 0);
    EXPECT_EQ(check().state, SignatureState::outside);
}

// No gpgv: the list is signed and nothing here checks it; a gpgv that hangs
// is killed when its time is up; minisign's signature is named, not checked.
TEST_F(Signature, NoOrHungGpgvAndOtherSchemes)
{
    ASSERT_TRUE(gpg("-u good@example.org --detach-sign -o " + list + ".gpg " + list));
    EXPECT_EQ(check(VerifySetup{"/nonexistent/gpgv", keys->home.path.c_str(),
                                keys->system.path.c_str(), 0})
                  .state,
              SignatureState::absent);

    ASSERT_TRUE(export_keys("good@example.org", keys->system.path + "/test.gpg"));
    const std::string hang = folder.path + "/hang";
    write_text(hang, "#!/bin/sh\nexec sleep 60\n");
    ASSERT_EQ(chmod(hang.c_str(), 0755), 0);
    const SignatureVerdict hung =
        check(VerifySetup{hang.c_str(), keys->home.path.c_str(), keys->system.path.c_str(), 300});
    std::remove((keys->system.path + "/test.gpg").c_str());
    EXPECT_EQ(hung.state, SignatureState::timed_out);

    ASSERT_EQ(std::remove((list + ".gpg").c_str()), 0);
    write_text(list + ".minisig", "untrusted comment: signature from minisign secret key\nRW\n");
    const SignatureVerdict minisign = check();
    EXPECT_EQ(minisign.state, SignatureState::scheme);
    EXPECT_STREQ(minisign.scheme, "minisign");
}

// Status lines as gpgv writes them: a user ID's escapes undone and its
// control and bidirectional characters shown as '?'; a weak hash; garbage.
TEST(SignatureStatusLines, ParsedAndCleaned)
{
    SignatureStatus status{};
    signature_parse("[GNUPG:] NEWSIG\n"
                    "[GNUPG:] GOODSIG 0123456789ABCDEF Eve %1B[31m\xE2\x80\xAEgro.elpmaxe <e@x>\n"
                    "[GNUPG:] VALIDSIG AAAA 2024-01-01 1 0 4 0 22 10 00 BBBB\n"
                    "[GNUPG:] NEWSIG\n"
                    "[GNUPG:] GOODSIG 1111111111111111 Old\n"
                    "[GNUPG:] VALIDSIG CCCC 2024-01-01 1 0 4 0 1 2 00 CCCC\n"
                    "[GNUPG:] ERRSIG 2222222222222222 22 8 00 1 9 DDDD\n"
                    "[GNUPG:] NO_PUBKEY 2222222222222222\n"
                    "garbage\n[GNUPG:] VALIDSIG\n[GNUPG:] \n",
                    status);
    const SignatureFound& good = status.found[static_cast<int>(Finding::good)];
    EXPECT_TRUE(good.seen);
    EXPECT_STREQ(good.signer, "Eve ?[31m?gro.elpmaxe <e@x>");
    EXPECT_STREQ(good.fingerprint, "BBBB");
    EXPECT_TRUE(status.found[static_cast<int>(Finding::weak)].seen);
    EXPECT_STREQ(status.found[static_cast<int>(Finding::missing)].fingerprint, "DDDD");
    EXPECT_FALSE(status.found[static_cast<int>(Finding::bad)].seen);
}

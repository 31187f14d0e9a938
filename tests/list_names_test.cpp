// Which files of a folder are checksum lists, and the forms a digest takes
// as the second argument or on the clipboard.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "argument.h"
#include "checksum_digests.h"
#include "list_names.h"

// Which files of a folder are lists, for which file and algorithm.
TEST(Checksum, ListNames)
{
    const ChecksumTarget target{algorithm_sha256, d256.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    const auto kind = [&](const std::string& name) {
        const ListName list = checksum_list_name(name.data(), name.size(), target);
        return list.kind == ListKind::none
                   ? std::string("none")
                   : std::string(list.kind == ListKind::own ? "own" : "list")
                         + (list.states_algorithm ? "+" : "") + (list.armored ? " armored" : "")
                         + (list.describes_other ? " other" : "");
    };
    struct Case {
        const char* name;
        const char* kind;
    };
    for (const Case& c :
         std::initializer_list<Case>{{"SHA256SUMS", "list+"},
                                     {"SHA256SUMS (1)", "list+"},
                                     {"sha256sums (2).txt", "list+"},
                                     {"SHA256SUMS(1)", "list+"},
                                     {"SHA256SUMS.txt", "list+"},
                                     {"sha256sum.txt", "list+"},
                                     {"SHASUMS256.txt", "list+"},
                                     {"SHA256", "list+"},
                                     {"terraform_1.9.2_SHA256SUMS", "list+"},
                                     {"CHECKSUM.SHA256-FreeBSD-14.1-RELEASE-amd64", "list+"},
                                     {"veracrypt-1.26.7-sha256sum.txt", "list+"},
                                     {"checksums.txt", "list"},
                                     {"CHECKSUMS", "list"},
                                     {"CHECKSUM", "list"},
                                     {"gh_2.52.0_checksums.txt", "list"},
                                     {"Fedora-Workstation-40-1.14-x86_64-CHECKSUM", "list"},
                                     {"SIGNATURES-4.2.5.txt", "list"},
                                     {"a.iso.sha256", "own+"},
                                     {"a.iso.sha256sum", "own+"},
                                     {"a.iso (1).sha256", "own+"},
                                     {"a.iso.DIGEST", "own"},
                                     {"a.iso.CHECKSUM", "own"},
                                     {"b.iso.sha256", "none"},
                                     {"b.iso.DIGEST", "none"},
                                     {"b.iso.CHECKSUM", "none"},
                                     {"SHA256SUMS.asc", "list+ armored"},
                                     {"SHA256SUMS.sig", "none"},
                                     {"SHA256SUMS.gpg", "none"},
                                     {"sha256sums.txt.asc", "list+ armored"},
                                     {"a.iso.asc", "none"},
                                     {"a.iso.sha256.asc", "own+ armored"},
                                     {"CHECKSUM.SHA512", "none"},
                                     {"checksums.sha256", "list+"},
                                     {"hashes.sha256", "list+"},
                                     {"hashes.txt", "list"},
                                     {"sha-256.txt", "list+"},
                                     {"SHA256-hashes.txt", "list+"},
                                     {"a.iso-sha256.txt", "own+"},
                                     {"a-sha256.txt", "own+"},
                                     {"sha256.sum", "list+"},
                                     {"tool-1.0-checksums-amd64.sha256", "list+"},
                                     {"npp.8.6.9.checksums.sha256", "list+"},
                                     {"blender-4.1.1.sha256", "list+"},
                                     {"app-1.0-SHA-256.txt", "list+"},
                                     {"manifest.txt", "list"},
                                     {"signed-hashes.txt", "list"},
                                     {"latest.yml", "list"},
                                     {"checksums.json", "list"},
                                     {"sha256sums-unsigned-build.txt", "list+ other"},
                                     {"SHA256SUMS.old.txt", "list+ other"},
                                     {"sha256sums.exe", "none"},
                                     {"hashcat-6.2.6.7z", "none"},
                                     {"summary.txt", "none"},
                                     {"SHA512SUMS", "none"},
                                     {"CHECKSUM.SHA512-FreeBSD", "none"},
                                     {"a.iso.sha512", "none"},
                                     {"sha3-256sums.txt", "none"},
                                     {"b2sums.txt", "none"},
                                     {"MD5SUMS", "none"},
                                     {"a.iso", "none"},
                                     {"readme.txt", "none"},
                                     {"sharp.txt", "none"}}) {
        EXPECT_EQ(kind(c.name), c.kind) << c.name;
    }
}

// The second argument and the clipboard: a digest in any of the forms
// people paste, or why it is not one.
TEST(Checksum, ArgumentForms)
{
    const ChecksumTarget target{algorithm_sha256, d256.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    static ChecksumScan scan;
    const auto argument = [&](const std::string& text, std::string& digest) {
        char expected[algorithm_max_digits + 1] = "";
        const Argument kind = checksum_argument(text.data(), text.size(), target, scan, expected);
        digest = kind == Argument::digest || kind == Argument::labelled ? expected : "";
        return kind;
    };
    struct Case {
        std::string text;
        Argument kind;
    };
    std::string digest;
    for (const Case& c :
         {Case{" " + upper(other) + "\r\n", Argument::digest},
          Case{other.substr(0, 32) + " " + other.substr(32), Argument::digest},
          Case{"sha256:" + other, Argument::labelled}, Case{"SHA256: " + other, Argument::labelled},
          Case{"SHA-256 " + upper(other), Argument::labelled},
          Case{other + "  a.iso\n", Argument::digest},
          Case{other + " *dist/a.iso", Argument::digest},
          Case{"SHA256 (a.iso) = " + other, Argument::digest},
          Case{other.substr(0, 32) + "\r\n" + other.substr(32) + "\r\n", Argument::digest}}) {
        EXPECT_EQ(argument(c.text, digest), c.kind) << c.text;
        EXPECT_EQ(digest, other) << c.text;
    }
    for (const Case& c :
         {Case{other.substr(1), Argument::wrong_length}, Case{d512, Argument::wrong_length},
          Case{other + "0", Argument::wrong_length},
          Case{"sha512:" + other, Argument::other_algorithm},
          Case{"SHA1: " + other.substr(0, 40), Argument::other_algorithm},
          Case{other + "  b.iso", Argument::other_file},
          Case{"SHA256 (b.iso) = " + other, Argument::other_file},
          Case{"SHA256SUMS", Argument::none}, Case{"b.iso", Argument::none},
          Case{"SHA256SUMS (1)", Argument::none}, Case{"dl/sha256sums (2).txt", Argument::none},
          Case{"", Argument::none}, Case{std::string(64, 'g'), Argument::none}}) {
        EXPECT_EQ(argument(c.text, digest), c.kind) << c.text;
    }
}

// The forms people paste from pages, package files and tools: labelled
// with this algorithm, bare, another algorithm's, another file's.
TEST(Checksum, PastedForms)
{
    static ChecksumScan scan;
    const auto argument = [&](const std::string& text, const ChecksumTarget& target,
                              std::string& digest) {
        char expected[algorithm_max_digits + 1] = "";
        const Argument kind = checksum_argument(text.data(), text.size(), target, scan, expected);
        digest = kind == Argument::digest || kind == Argument::labelled ? expected : "";
        return kind;
    };
    const ChecksumTarget sha256{algorithm_sha256, d256.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    const std::string bytes_b64 = "YDA64iuZiGG847KPM+7BvnWKITyGyTwHbb6fVYwRx1I=";
    std::string colons;
    std::string spaced;
    for (std::size_t i = 0; i < other.size(); i += 2) {
        colons += (i > 0 ? ":" : "") + other.substr(i, 2);
        spaced += (i > 0 ? " " : "") + other.substr(i, 2);
    }
    struct Case {
        std::string text;
        Argument kind;
    };
    std::string digest;
    for (const Case& c : {
             Case{"0x" + other, Argument::digest},
             Case{colons, Argument::digest},
             Case{"SHA256: " + upper(colons), Argument::labelled},
             Case{bytes_b64, Argument::digest},
             Case{"sha256-" + bytes_b64, Argument::labelled},
             Case{"<script integrity=\"sha256-" + bytes_b64 + "\">", Argument::labelled},
             Case{"SHA-256 hash: " + other, Argument::labelled},
             Case{"SHA256 checksum: " + other, Argument::labelled},
             Case{"sha256=" + other, Argument::labelled},
             Case{"--hash=sha256:" + other, Argument::labelled},
             Case{"SHA-256\xEF\xBC\x9A" + other, Argument::labelled},
             Case{"  sha256 \"" + other + "\"", Argument::labelled},
             Case{"checksum64: " + upper(other), Argument::digest},
             Case{"| a.iso | 1.2 MB | " + other + " |", Argument::digest},
             Case{"a.iso\t" + other + "\t2024-06-01", Argument::digest},
             Case{"\"" + other + "\"", Argument::digest},
             Case{"[" + other + "]", Argument::digest},
             Case{other + ".", Argument::digest},
             Case{"\xC2\xA0" + other + "\xE3\x80\x80", Argument::digest},
             Case{other.substr(0, 30) + "\xE2\x80\x8B" + other.substr(30), Argument::digest},
             Case{"SHA256 hash of a.iso:\r\n" + spaced
                      + "\r\nCertUtil: -hashfile command completed successfully.\r\n",
                  Argument::digest},
             Case{other + " (SHA-256)", Argument::labelled},
             Case{"BLAKE2B: " + third + "\nSHA256: " + other + "\n", Argument::labelled},
             Case{"SHA-256 hash:\n" + other, Argument::labelled},
         }) {
        EXPECT_EQ(argument(c.text, sha256, digest), c.kind) << c.text;
        EXPECT_EQ(digest, other) << c.text;
    }
    for (const Case& c : {
             Case{"SHA3-256: " + other, Argument::other_algorithm},
             Case{"BLAKE2b-256: " + other, Argument::other_algorithm},
             Case{"MD5: " + other.substr(0, 32), Argument::other_algorithm},
             Case{"sha512-" + bytes_b64 + bytes_b64, Argument::other_algorithm},
             Case{"| b.iso | " + other + " |", Argument::other_file},
             Case{"SHA256 hash of b.iso:\n" + spaced + "\n", Argument::other_file},
             Case{"SHA256 (README) = " + other, Argument::other_file},
             Case{"sha256-" + bytes_b64.substr(1), Argument::none},
             Case{"MD5SUMS", Argument::none},
             Case{"notes: see the release page", Argument::none},
             Case{other + " " + third, Argument::wrong_length},
         }) {
        EXPECT_EQ(argument(c.text, sha256, digest), c.kind) << c.text;
    }
    // A .DIGESTS block pasted whole: the expected digest is this algorithm's.
    const ChecksumTarget sha512{algorithm_sha512, d512.c_str(), "a.iso", 5, nullptr, 0,
                                NameRule::exact};
    const std::string blake = std::string(64, 'c') + std::string(64, '5');
    const std::string other512 = std::string(64, 'b') + std::string(64, '3');
    EXPECT_EQ(
        argument("# BLAKE2B HASH\n" + blake + "  a.iso\n# SHA512 HASH\n" + other512 + "  a.iso\n",
                 sha512, digest),
        Argument::digest);
    EXPECT_EQ(digest, other512);
    EXPECT_EQ(argument("BLAKE2B " + blake + "\nSHA512 " + other512 + "\n", sha512, digest),
              Argument::labelled);
    EXPECT_EQ(digest, other512);
}

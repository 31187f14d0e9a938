// Checksum lists: each publisher's layout read as it is written, which
// entry decides, what is passed over, and lists in the legacy character set.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "checksum_digests.h"
#include "list_text.h"
#include "support.h"

namespace
{

// UTF-16 with a byte order mark, little- or big-endian, from UTF-8 text of
// the Basic Multilingual Plane.
std::string utf16(const std::string& text, bool big_endian = false)
{
    std::string out = big_endian ? "\xFE\xFF" : "\xFF\xFE";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        unsigned point = c;
        std::size_t count = 1;
        if (c >= 0xE0) {
            point = ((c & 0x0FU) << 12U) | ((static_cast<unsigned char>(text[i + 1]) & 0x3FU) << 6U)
                    | (static_cast<unsigned char>(text[i + 2]) & 0x3FU);
            count = 3;
        } else if (c >= 0xC0) {
            point = ((c & 0x1FU) << 6U) | (static_cast<unsigned char>(text[i + 1]) & 0x3FU);
            count = 2;
        }
        const char low = static_cast<char>(point & 0xFFU);
        const char high = static_cast<char>(point >> 8U);
        out += big_endian ? std::string{high, low} : std::string{low, high};
        i += count;
    }
    return out;
}

// The verdict a tally gives: no entry, a match, red or yellow.
enum class Says { none, match, red, yellow };

Says says(const ChecksumTally& tally)
{
    return tally.rank == 0 ? Says::none
           : tally.matched ? Says::match
           : tally.proof   ? Says::red
                           : Says::yellow;
}

struct File {
    File(std::string name_, std::string digest_, std::string algorithm_ = "SHA256",
         std::string legacy_ = "", NameRule rule_ = NameRule::exact)
        : name(std::move(name_)), digest(std::move(digest_)), algorithm(std::move(algorithm_)),
          legacy(std::move(legacy_)), rule(rule_)
    {
    }
    std::string name;
    std::string digest; // printed
    std::string algorithm;
    std::string legacy;
    NameRule rule;
};

// Reads `text` as the list `list_name` for the file, in pieces of `piece`
// bytes; `whole`: the text is the list's whole text.
ChecksumTally read(const std::string& list_name, const std::string& text, const File& file,
                   std::size_t piece = 7, bool whole = true)
{
    const ChecksumTarget target{file.algorithm == "SHA512" ? algorithm_sha512 : algorithm_sha256,
                                file.digest.c_str(),
                                file.name.data(),
                                file.name.size(),
                                file.legacy.empty() ? nullptr : file.legacy.data(),
                                file.legacy.size(),
                                file.rule};
    ListName kind = checksum_list_name(list_name.data(), list_name.size(), target);
    EXPECT_NE(kind.kind, ListKind::none) << list_name << " is not taken for a list";
    static ChecksumScan scan;
    checksum_scan_start(scan, target, kind);
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::string part = text.substr(at, piece);
        checksum_scan_feed(scan, reinterpret_cast<const unsigned char*>(part.data()), part.size());
    }
    checksum_scan_end(scan, whole);
    return scan.tally;
}

// One publisher's list: its name, its text with @ for the file's digest
// (% in upper case), the file, what a changed copy gets, the algorithm and
// the encoding.
struct Layout {
    const char* publisher;
    std::string list;
    std::string text;
    std::string file;
    Says changed;
    std::string algorithm = "SHA256";
    int encoding = 0; // 0 as written, 1 UTF-16 LE, 2 UTF-16 BE (with @ and % in place)
};

const std::string clear_signed_start = "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA256\n\n";
const std::string signature = "-----BEGIN PGP SIGNATURE-----\n\niQIzBAEBCAAdFiEEo3T+"
                              + other.substr(0, 40) + "\n=Ab1c\n-----END PGP SIGNATURE-----\n";

std::string gpg_groups(const std::string& digest, const std::string& name)
{
    // gpg --print-md: upper-case groups of 8, wrapped under the first.
    std::string text = name + ":";
    const std::string indent(name.size() + 1, ' ');
    for (std::size_t i = 0; i < digest.size(); i += 8) {
        text += (i > 0 && i % 48 == 0 ? "\n" + indent : "") + " " + upper(digest.substr(i, 8));
    }
    return text + "\n";
}

const std::string firefox = "Firefox Setup 128.0.exe";

const Layout layouts[] = {
    {"Debian", "SHA256SUMS",
     other + "  debian-edu-12.5.0-amd64-netinst.iso\n@  debian-12.5.0-amd64-netinst.iso\n",
     "debian-12.5.0-amd64-netinst.iso", Says::red},
    {"Debian SHA-512", "SHA512SUMS", d512 + "  debian-edu.iso\n@  debian.iso\n", "debian.iso",
     Says::red, "SHA512"},
    {"Ubuntu, VirtualBox", "SHA256SUMS",
     "@ *ubuntu-24.04-desktop-amd64.iso\n" + other + " *ubuntu-24.04-live-server-amd64.iso\n",
     "ubuntu-24.04-desktop-amd64.iso", Says::red},
    {"Arch", "sha256sums.txt",
     "@  archlinux-2024.07.01-x86_64.iso\n" + other + "  archlinux-bootstrap-x86_64.tar.zst\n",
     "archlinux-2024.07.01-x86_64.iso", Says::red},
    {"Mint", "sha256sum.txt",
     other + " *linuxmint-22-mate-64bit.iso\n@ *linuxmint-22-cinnamon-64bit.iso\n",
     "linuxmint-22-cinnamon-64bit.iso", Says::red},
    {"Alpine, Rust (own file)", "alpine-standard-3.20.1-x86_64.iso.sha256",
     "@  alpine-standard-3.20.1-x86_64.iso\n", "alpine-standard-3.20.1-x86_64.iso", Says::red},
    {"openSUSE (bare)", "openSUSE-Leap-15.6-DVD-x86_64-Media.iso.sha256", "@\n",
     "openSUSE-Leap-15.6-DVD-x86_64-Media.iso", Says::red},
    {"goreleaser", "checksums.txt",
     other + "  tool_1.0_linux_amd64.tar.gz\n@  tool_1.0_windows_amd64.zip\n",
     "tool_1.0_windows_amd64.zip", Says::yellow},
    {"Get-FileHash .Hash", "a.zip.sha256", "%\r\n", "a.zip", Says::red, "SHA256", 1},
    {"Fedora", "Fedora-Workstation-40-1.14-x86_64-CHECKSUM",
     clear_signed_start
         + "# Fedora-Workstation-Live-x86_64-40-1.14.iso: 2295853056 bytes\n"
           "SHA256 (Fedora-Workstation-Live-x86_64-40-1.14.iso) = @\n"
         + signature,
     "Fedora-Workstation-Live-x86_64-40-1.14.iso", Says::red},
    {"Rocky", "CHECKSUM",
     "# Rocky-9.4-x86_64-minimal.iso: 1862270976 bytes\nSHA256 (Rocky-9.4-x86_64-minimal.iso) = @\n"
     "# Rocky-9.4-x86_64-dvd.iso: 10468982784 bytes\nSHA256 (Rocky-9.4-x86_64-dvd.iso) = "
         + other + "\n",
     "Rocky-9.4-x86_64-minimal.iso", Says::red},
    {"AlmaLinux own", "AlmaLinux-9.4-x86_64-boot.iso.CHECKSUM",
     clear_signed_start
         + "# AlmaLinux-9.4-x86_64-boot.iso: 1017118720 bytes\nSHA256 "
           "(AlmaLinux-9.4-x86_64-boot.iso) = @\n"
         + signature,
     "AlmaLinux-9.4-x86_64-boot.iso", Says::red},
    {"FreeBSD", "CHECKSUM.SHA256-FreeBSD-14.1-RELEASE-amd64",
     "SHA256 (FreeBSD-14.1-RELEASE-amd64-bootonly.iso) = " + other
         + "\nSHA256 (FreeBSD-14.1-RELEASE-amd64-disc1.iso) = @\n",
     "FreeBSD-14.1-RELEASE-amd64-disc1.iso", Says::red},
    {"FreeBSD SHA-512", "CHECKSUM.SHA512-FreeBSD-14.1-RELEASE-amd64",
     "SHA512 (FreeBSD-14.1-RELEASE-amd64-disc1.iso) = @\n", "FreeBSD-14.1-RELEASE-amd64-disc1.iso",
     Says::red, "SHA512"},
    {"OpenBSD", "SHA256", "SHA256 (INSTALL.amd64) = " + other + "\nSHA256 (install75.img) = @\n",
     "install75.img", Says::red},
    {"Node.js", "SHASUMS256.txt",
     other + "  node-v20.15.0-x64.msi\n@  win-x64/node.exe\n" + third + "  win-x86/node.exe\n",
     "node.exe", Says::yellow},
    {"HashiCorp", "terraform_1.9.2_SHA256SUMS",
     other + "  terraform_1.9.2_linux_amd64.zip\n@  terraform_1.9.2_windows_amd64.zip\n",
     "terraform_1.9.2_windows_amd64.zip", Says::red},
    {"goreleaser default", "gh_2.52.0_checksums.txt",
     "@  gh_2.52.0_windows_amd64.msi\n" + other + "  gh_2.52.0_macOS_arm64.zip\n",
     "gh_2.52.0_windows_amd64.msi", Says::yellow},
    {"VeraCrypt", "veracrypt-1.26.7-sha256sum.txt",
     other + "  veracrypt-1.26.7-setup.dmg\n@  VeraCrypt Setup 1.26.7.exe\n",
     "VeraCrypt Setup 1.26.7.exe", Says::red},
    {"KeePassXC", "KeePassXC-2.7.9-Win64.msi.DIGEST", "@  KeePassXC-2.7.9-Win64.msi\n",
     "KeePassXC-2.7.9-Win64.msi", Says::yellow},
    {"Apache Kafka", "kafka_2.13-3.7.0.tgz.sha512", gpg_groups(d512, "kafka_2.13-3.7.0.tgz"),
     "kafka_2.13-3.7.0.tgz", Says::red, "SHA512"},
    {"Wireshark", "SIGNATURES-4.2.5.txt",
     clear_signed_start
         + "Wireshark-4.2.5-x64.exe: 86220144 bytes\nSHA256(Wireshark-4.2.5-x64.exe)=@\n"
           "SHA1(Wireshark-4.2.5-x64.exe)="
         + other.substr(0, 40)
         + "\n\nWireshark-4.2.5-arm64.exe: 1 bytes\n"
           "SHA256(Wireshark-4.2.5-arm64.exe)="
         + other + "\n" + signature,
     "Wireshark-4.2.5-x64.exe", Says::red},
    {"OpenSSL SHA2-256", "SHA256SUMS", "SHA2-256(a.iso)= @\n", "a.iso", Says::red},
    {"PowerShell table", "setup.exe.sha256",
     "\r\nAlgorithm       Hash                                                                   "
     "Path\r\n"
     "---------       ----                                                                   "
     "----\r\n"
     "SHA256          %       C:\\Users\\me\\Downloads\\setup.exe\r\n\r\n\r\n",
     "setup.exe", Says::red, "SHA256", 1},
    {"PowerShell table, cut path", "setup.exe.sha256",
     "Algorithm Hash Path\r\n--------- ---- ----\r\nSHA256    % C:\\Users\\me\\Downloads\\Very "
     "long f...\r\n",
     "setup.exe", Says::red, "SHA256", 1},
    {"PowerShell list (Deno)", "deno-x86_64-pc-windows-msvc.zip.sha256sum",
     "\r\n\r\nAlgorithm : SHA256\r\nHash      : %\r\nPath      : "
     "D:\\a\\deno\\deno\\target\\release\\deno-"
     "x86_64-pc-windows-msvc.zip\r\n\r\n\r\n",
     "deno-x86_64-pc-windows-msvc.zip", Says::red, "SHA256", 1},
    {"UTF-16 BE", "SHA256SUMS", "@  a.iso\r\n", "a.iso", Says::red, "SHA256", 2},
    {"Firefox", "SHA256SUMS (1)",
     other + "  win32/en-US/" + firefox + "\n@  win64/en-US/" + firefox + "\n" + third
         + "  win64/de/" + firefox + "\n",
     firefox, Says::yellow},
};

} // namespace

// Every publisher's layout, with other entries beside the file's: the
// intact file matches, a changed copy is red where the list ties the
// digest to the file and this algorithm, yellow where it does not.
TEST(Checksum, EveryPublisherLayout)
{
    for (const Layout& layout : layouts) {
        const std::size_t digits = layout.algorithm == "SHA512" ? 128 : 64;
        const std::string digest = digits == 128 ? d512 : d256;
        std::string changed = digest;
        changed[7] = changed[7] == '1' ? '2' : '1';
        const std::string text =
            replace_all(replace_all(layout.text, "@", digest), "%", upper(digest));
        const std::string list_text =
            layout.encoding == 0 ? text : utf16(text, layout.encoding == 2);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{5}, list_text.size()}) {
            const ChecksumTally intact =
                read(layout.list, list_text, {layout.file, digest, layout.algorithm}, piece);
            EXPECT_EQ(says(intact), Says::match) << layout.publisher << ", pieces of " << piece;
            const ChecksumTally changed_copy =
                read(layout.list, list_text, {layout.file, changed, layout.algorithm}, piece);
            EXPECT_EQ(says(changed_copy), layout.changed)
                << layout.publisher << ", pieces of " << piece;
            if (changed_copy.one_expected) {
                EXPECT_EQ(changed_copy.expected, digest) << layout.publisher;
            }
        }
    }
}

// Which entry decides: any entry equal to the digest matches, at any rank
// (a match in a folder names its path); a difference is red only from an
// entry naming the file itself, never from folders alone.
TEST(Checksum, AnyEqualEntryMatches)
{
    const File file{"a.iso", d256};
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  a.iso\n" + other + "  old/a.iso\n", file)),
              Says::match);
    const ChecksumTally folder_match =
        read("SHA256SUMS", other + "  ./a.iso\n" + d256 + "  w64/a.iso\n", file);
    EXPECT_EQ(says(folder_match), Says::match);
    EXPECT_EQ(std::string(folder_match.match_path), "w64/a.iso");
    EXPECT_EQ(says(read("SHA256SUMS", other + "  ./a.iso\n" + third + "  old/a.iso\n", file)),
              Says::red);
    EXPECT_EQ(says(read("SHA256SUMS", other + "  a.iso\n" + d256 + "  a.iso\n", file)),
              Says::match);
    const ChecksumTally firefox_tally =
        read("SHA256SUMS",
             other + "  win64/de/" + firefox + "\n" + d256 + "  win64/en-US/" + firefox + "\n",
             {firefox, d256});
    EXPECT_EQ(std::string(firefox_tally.match_path), "win64/en-US/" + firefox);
    const ChecksumTally two =
        read("SHA256SUMS", other + "  x/a.iso\n" + third + "  y/a.iso\n", {"a.iso", d256});
    EXPECT_EQ(says(two), Says::yellow);
    EXPECT_EQ(two.why.doubt, Doubt::folders_only);
    EXPECT_EQ(two.differing, 2U);
    EXPECT_FALSE(two.one_expected);

    // Over several lists: a stale list beside the new one (a browser's
    // copy) does not decide; the first list merged with a match is named.
    const ListFacts whole_list{true, {Doubt::none, 0}, false};
    ChecksumTally total{};
    checksum_tally_clear(total);
    checksum_tally_merge(total, read("sha256sums (1).txt", d256 + "  a.iso\n", file), whole_list,
                         0);
    checksum_tally_merge(total, read("sha256sums.txt", other + "  a.iso\n", file), whole_list, 1);
    checksum_tally_merge(total, read("SHA256SUMS", d256 + "  a.iso\n", file), whole_list, 2);
    EXPECT_EQ(says(total), Says::match);
    EXPECT_EQ(total.match_list, 0U);
    // A list not read whole, or one that does not state its algorithm,
    // never makes a difference red.
    for (const bool whole : {true, false}) {
        ChecksumTally mixed{};
        checksum_tally_clear(mixed);
        checksum_tally_merge(mixed, read("SHA256SUMS", other + "  a.iso\n", file),
                             ListFacts{whole, {Doubt::none, 0}, false}, 0);
        checksum_tally_merge(mixed, read("checksums.txt", third + "  a.iso\n", file), whole_list,
                             1);
        EXPECT_EQ(says(mixed), whole ? Says::red : Says::yellow);
        EXPECT_EQ(mixed.why.doubt, whole ? Doubt::unstated : Doubt::cut);
        EXPECT_TRUE(mixed.several_lists); // the line names the first "and others"
    }
}

// Lists that could seem to contradict an intact file give no red: another
// algorithm of the same length, a line cut by the read limit, a folder whose
// name ends in a non-ASCII character.
TEST(Checksum, NoFalseAlarm)
{
    const File file{"file.iso", d256};
    // A list that names no algorithm, holding another algorithm's digests
    // of the same length (BLAKE2, SHA-3): yellow at most.
    EXPECT_EQ(says(read("checksums.txt", other + "  file.iso\n", file)), Says::yellow);
    EXPECT_EQ(says(read("CHECKSUMS", other + "  file.iso\n", file)), Says::yellow);
    // Tags of other algorithms are no entries.
    EXPECT_EQ(
        says(read("CHECKSUMS",
                  "SHA3-256 (file.iso) = " + other + "\nBLAKE2s-256 (file.iso) = " + other + "\n",
                  file)),
        Says::none);
    // A line cut where reading stopped is passed over.
    const std::string cut = d256 + "  file.iso\n" + other + "  z/file.iso";
    EXPECT_EQ(says(read("SHA256SUMS", cut, file, 3, false)), Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", other + "  z/file.iso", file, 3, false)), Says::none);
    // ... and a list cut anywhere gives no red.
    EXPECT_EQ(says(read("SHA256SUMS", other + "  file.iso\n" + third, file, 3, false)), Says::red);
    ChecksumTally total{};
    checksum_tally_clear(total);
    checksum_tally_merge(total, read("SHA256SUMS", other + "  file.iso\n" + third, file, 3, false),
                         ListFacts{false, {Doubt::none, 0}, false}, 0);
    EXPECT_EQ(says(total), Says::yellow);
    // A folder whose name ends in a non-ASCII character, in a UTF-8 list:
    // its backslash is a separator, so the entry counts beside another.
    const std::string folders = "SHA256  " + d256 + "  C:\\data\\写真\\a.iso\nSHA256  " + other
                                + "  C:\\data\\old\\a.iso\n";
    EXPECT_EQ(says(read("CHECKSUMS", folders, File{"a.iso", d256})), Says::match);
    EXPECT_EQ(says(read("CHECKSUMS", d256 + "  新しいフォルダー\\a.iso\n",
                        File{"a.iso", d256, "SHA256", "", NameRule::windows})),
              Says::match);
}

// Lines of other files, algorithms, lengths and forms are passed over; a
// name is compared whole, under the platform's rule.
TEST(Checksum, PassesOverWhatIsNotAnEntry)
{
    const File file{"a.iso", d256};
    for (const std::string& text :
         {d256 + "  b.iso\n", d256 + "  xa.iso\n", d256 + "  x/xa.iso\n",
          "SHA512 (a.iso) = " + d256 + "\n", "SHA256 (a.iso) = " + d512 + "\n", d512 + "  a.iso\n",
          d256.substr(1) + "  a.iso\n", d256 + "  a.iso/\n", d256 + "\n",
          "SHA256 (a.iso) = " + d512 + " x\n", "\\" + d256 + "  a\\qb\n",
          std::string("\0", 1) + d256 + "  a.iso", d256 + "  a.iso" + std::string("\0", 1),
          "a.iso: " + upper(d256.substr(8)) + "\n", std::string("\xFF\xFE\x41"),
          std::string(5000, ' ') + d256 + "  a.iso\n",
          clear_signed_start + "x\n-----BEGIN PGP SIGNATURE-----\n" + d256
              + "  a.iso\n-----END PGP SIGNATURE-----\n"}) {
        EXPECT_EQ(says(read("SHA256SUMS", text, file)), Says::none) << text;
    }
    // Forms that are entries: a tab, escapes, dash-escaped clear-signed text.
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "\ta.iso\n", file)), Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", "\\" + d256 + "  a\\\\b\\nc\n", {"a\\b\nc", d256})),
              Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", clear_signed_start + "- " + d256 + "  -a.iso\n" + signature,
                        {"-a.iso", d256})),
              Says::match);
    EXPECT_EQ(says(read("a.iso.sha256", d256 + "  -\n", file)), Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  -\n", file)), Says::none);
    // Windows compares ASCII letters without case and takes '\' between folders.
    const File windows{"a.iso", d256, "SHA256", "", NameRule::windows};
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  C:\\Downloads\\A.ISO\n", windows)), Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  C:\\Downloads\\a.iso\n", file)), Says::none);
    // Random bytes end calmly, and a line after them still counts.
    const auto noise = random_bytes(1 << 16, 21);
    const std::string garbage(noise.begin(), noise.end());
    EXPECT_NE(says(read("SHA256SUMS", garbage, file)), Says::red);
    EXPECT_EQ(says(read("SHA256SUMS", garbage + "\n" + d256 + "  a.iso", file, 4096)), Says::match);
}

// A list in the legacy character set (Shift-JIS from Japanese Windows'
// Set-Content) is compared with the name in that set; UTF-8 lines with the
// UTF-8 name.
TEST(Checksum, LegacyCharacterSet)
{
    const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.bin"; // 日本語.bin
    const std::string sjis = "\x93\xFA\x96\x7B\x8C\xEA.bin";
    const std::string table = "\x95\x5C.bin"; // 表.bin: a second byte that is '\'
    const File file{utf8, d256, "SHA256", sjis};
    EXPECT_EQ(says(read("SHA256SUMS", other + "  b.bin\r\n" + d256 + "  " + sjis + "\r\n", file)),
              Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  " + utf8 + "\n", file)), Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  " + sjis + "\n", {utf8, d256})), Says::none);
    const File windows{"x.bin", d256, "SHA256", "x.bin", NameRule::windows};
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  " + table + "\n",
                        {"\xE8\xA1\xA8.bin", d256, "SHA256", table, NameRule::windows})),
              Says::match);
    EXPECT_EQ(says(read("SHA256SUMS", d256 + "  \x95" + "\\x.bin\n", windows)), Says::none);
}

// A line that is not strictly UTF-8 is in the legacy character set, also
// where its bytes only look like UTF-8: a surrogate, an overlong form, a
// code point past U+10FFFF.
TEST(Checksum, LegacyBytesThatLookLikeUtf8)
{
    for (const std::string legacy : {"\xED\xA0\x81\x40.bin", "\xE0\x80\xAF.bin",
                                     "\xF4\x90\x80\x80.bin", "\xF5\x80\x80\x80.bin"}) {
        const File file{"x.bin", d256, "SHA256", legacy};
        EXPECT_EQ(says(read("SHA256SUMS", d256 + "  " + legacy + "\n", file)), Says::match);
    }
}

// A survey of the verdict against checksum lists laid out as publishers and
// tools lay them out: for each layout, the verdict's colour on the intact
// file and on a copy with one byte changed, against what the rules promise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

#include "checksum_digests.h"
#include "runner.h"
#include "support.h"

namespace
{

// A verdict's colour, as a bit so that a case can allow more than one.
enum : unsigned { none = 1, yellow = 2, green = 4, red = 8 };

const char* colour_name(unsigned colour)
{
    return colour == red ? "red" : colour == green ? "green" : colour == yellow ? "yellow" : "none";
}

// A list beside the file: its name, its text with placeholders for the
// intact file's digest ({hex}, {HEX}, {pairs}, {colon}, {b64}) and for
// another of the same length ({other}, {OTHER}), its last write in hours
// from the file's, and whether it is written as UTF-16 LE without a byte
// order mark.
struct List {
    std::string name;
    std::string text;
    long hours;
    bool utf16;
};

// A list written two hours before the file, unless told.
List list(std::string name, std::string text, long hours = -2, bool utf16 = false)
{
    return {std::move(name), std::move(text), hours, utf16};
}

// A folder: the program (512 or 256), the file's name, the lists beside
// it, the colours allowed for the intact file and for the changed copy, the
// arguments after the file (placeholders as above), a text the intact
// file's verdict shows and one (placeholders as above) that no verdict of
// the case shows.
struct Case {
    const char* what;
    int bits;
    std::string file;
    std::vector<List> lists;
    unsigned intact;
    unsigned changed;
    std::vector<std::string> extra;
    std::string says;
    std::string never;
};

Case layout(const char* what, int bits, std::string file, std::vector<List> lists, unsigned intact,
            unsigned changed, std::vector<std::string> extra = {}, std::string says = "",
            std::string never = "")
{
    return {what,
            bits,
            std::move(file),
            std::move(lists),
            intact,
            changed,
            std::move(extra),
            std::move(says),
            std::move(never)};
}

std::string base64(const std::string& hex)
{
    constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<unsigned> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<unsigned>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const unsigned n = bytes[i] << 16 | (i + 1 < bytes.size() ? bytes[i + 1] << 8 : 0U)
                           | (i + 2 < bytes.size() ? bytes[i + 2] : 0U);
        out += alphabet[n >> 18 & 63];
        out += alphabet[n >> 12 & 63];
        out += i + 1 < bytes.size() ? alphabet[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[n & 63] : '=';
    }
    return out;
}

// The hexadecimal digest in pairs split by `split`.
std::string paired(const std::string& hex, const std::string& split)
{
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        out += (i == 0 ? "" : split) + hex.substr(i, 2);
    }
    return out;
}

std::string filled(std::string text, const std::string& digest, const std::string& another)
{
    text = replace_all(text, "{hex}", digest);
    text = replace_all(text, "{HEX}", upper(digest));
    text = replace_all(text, "{pairs}", paired(digest, " "));
    text = replace_all(text, "{colon}", paired(upper(digest), ":"));
    text = replace_all(text, "{b64}", base64(digest));
    text = replace_all(text, "{other}", another);
    return replace_all(text, "{OTHER}", upper(another));
}

std::vector<unsigned char> encoded(const std::string& text, bool utf16)
{
    std::vector<unsigned char> out;
    for (const char c : text) {
        out.push_back(static_cast<unsigned char>(c));
        if (utf16) {
            out.push_back(0);
        }
    }
    return out;
}

// The verdict's colour: red over green over yellow.
unsigned colour_of(const std::string& err)
{
    if (err.find("不一致 [MISMATCH]") != std::string::npos) {
        return red;
    }
    if (err.find("一致 [match]") != std::string::npos) {
        return green;
    }
    return err.find("違います [differs]") != std::string::npos ? yellow : none;
}

const std::string clear_signed_head = "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA512\n\n";
const std::string clear_signed_tail =
    "-----BEGIN PGP SIGNATURE-----\n\niQIzBAEBCgAdFiEEq5Xx0pR2vT1cK8mJ4bN3yWfZl0sFAmYxk2wACgkQ\n"
    "=Xk3q\n-----END PGP SIGNATURE-----\n";

} // namespace

// Every layout, intact and changed: the colour the rules promise.
TEST(Survey, EachLayoutIntactAndChanged)
{
    const long day = 24;
    const std::string tor = "tor-browser-windows-x86_64-portable-13.0.15.exe";
    const std::string gentoo = "install-amd64-minimal-20240505T170430Z.iso";
    std::vector<List> crowd; // 65 lists, the one with the file's entry oldest
    crowd.push_back(list("sha256sums.txt", "{hex}  putty.exe\n", -6));
    crowd.push_back(list("SHA256SUMS", "{other}  putty.exe\n", 2));
    for (int i = 0; i < 63; ++i) {
        crowd.push_back(
            list("SHA256SUMS-" + std::to_string(i) + ".txt", "{other}  other.exe\n", 1));
    }
    const std::vector<Case> cases = {
        // List names.
        layout(
            "CHECKSUM.SHA512", 512, "FreeBSD-14.0-RELEASE-amd64-disc1.iso",
            {list("CHECKSUM.SHA512", "SHA512 (FreeBSD-14.0-RELEASE-amd64-bootonly.iso) = {other}\n"
                                     "SHA512 (FreeBSD-14.0-RELEASE-amd64-disc1.iso) = {hex}\n")},
            green, red),
        layout("checksums.sha256", 256, "tool-1.0-x64.zip",
               {list("checksums.sha256", "{other}  tool-1.0-arm64.zip\n{hex}  tool-1.0-x64.zip\n")},
               green, red),
        layout("hashes.sha256", 256, "tool-1.0-x64.zip",
               {list("hashes.sha256", "{hex}  tool-1.0-x64.zip\n")}, green, red),
        layout("hashes.txt, algorithm not stated", 256, "tool-1.0-x64.zip",
               {list("hashes.txt", "{hex}  tool-1.0-x64.zip\n")}, green, yellow),
        layout("sha-256.txt", 256, "tool-1.0-x64.zip",
               {list("sha-256.txt", "{hex} *tool-1.0-x64.zip\n")}, green, red),
        layout("SHA256-hashes.txt", 256, "tool-1.0-x64.zip",
               {list("SHA256-hashes.txt", "{HEX}  tool-1.0-x64.zip\n")}, green, red),
        layout("NAME-sha256.txt", 256, "tool-3.0.exe", {list("tool-3.0.exe-sha256.txt", "{hex}\n")},
               green, red),
        layout("NAME.sha512sum", 512, "tool-3.0.exe",
               {list("tool-3.0.exe.sha512sum", "{hex} *tool-3.0.exe\n")}, green, red),
        layout("sha512.sum", 512, "tool-3.0.exe", {list("sha512.sum", "{hex}  tool-3.0.exe\n")},
               green, red),
        layout(
            "*-checksums-amd64.sha256", 256, "tool-1.4.2-windows-amd64.zip",
            {list("tool-1.4.2-checksums-amd64.sha256",
                  "{other}  tool-1.4.2-linux-amd64.tar.gz\n{hex}  tool-1.4.2-windows-amd64.zip\n")},
            green, red),
        layout("a release's list", 256, "npp.8.6.9.Installer.x64.exe",
               {list("npp.8.6.9.checksums.sha256",
                     "{other}  npp.8.6.9.Installer.exe\n{hex}  npp.8.6.9.Installer.x64.exe\n"
                     "{other}  npp.8.6.9.portable.x64.zip\n")},
               green, red),
        layout(
            "a release stem's list", 256, "blender-4.1.1-windows-x64.msi",
            {list(
                "blender-4.1.1.sha256",
                "{other}  blender-4.1.1-linux-x64.tar.xz\n{hex}  blender-4.1.1-windows-x64.msi\n")},
            green, red),
        layout("*-SHA-256.txt", 256, "app-5.0-setup.exe",
               {list("app-5.0-SHA-256.txt", "{hex}  app-5.0-setup.exe\n")}, green, red),
        layout("manifest.txt under a header", 256, "app-5.0-setup.exe",
               {list("manifest.txt",
                     "MD5:\n" + std::string(32, 'e')
                         + "  app-5.0-setup.exe\n\nSHA256:\n{hex}  app-5.0-setup.exe\n")},
               green, red),
        layout("signed-hashes.txt, algorithm not stated", 256, "app-5.0-setup.exe",
               {list("signed-hashes.txt", "{hex}  app-5.0-setup.exe\n")}, green, yellow),
        layout("sha256sums.asc", 256, "app-5.0-setup.exe",
               {list("sha256sums.asc", clear_signed_head
                                           + "{other}  app-5.0.tar.gz\n{hex}  app-5.0-setup.exe\n"
                                           + clear_signed_tail)},
               green, red),
        layout("sha256sum.txt.asc", 256, "app-5.0-setup.exe",
               {list("sha256sum.txt.asc",
                     clear_signed_head + "{hex} *app-5.0-setup.exe\n" + clear_signed_tail)},
               green, red),
        layout("NAME.sha256.asc", 256, "app-5.0-setup.exe",
               {list("app-5.0-setup.exe.sha256.asc",
                     clear_signed_head + "{hex}  app-5.0-setup.exe\n" + clear_signed_tail)},
               green, red),
        layout("latest.yml", 512, "App-Setup-1.2.3.exe",
               {list("latest.yml", "version: 1.2.3\nfiles:\n  - url: App-Setup-1.2.3.exe\n"
                                   "    sha512: {b64}\n    size: 900\npath: App-Setup-1.2.3.exe\n"
                                   "sha512: {b64}\nreleaseDate: '2024-05-01T10:00:00.000Z'\n")},
               green, yellow),
        layout("checksums.json", 256, "tool-2.0-x64.zip",
               {list("checksums.json",
                     "{\n  \"files\": [\n    {\"name\": \"tool-2.0-arm64.zip\", \"sha256\": "
                     "\"{other}\"},\n    {\"name\": \"tool-2.0-x64.zip\", \"sha256\": \"{hex}\"}\n"
                     "  ]\n}\n")},
               green, yellow),
        // Forms.
        layout("certutil, pairs with spaces", 256, "setup.exe",
               {list("checksum.txt", "SHA256 hash of file setup.exe:\r\n{pairs}\r\n"
                                     "CertUtil: -hashfile command completed successfully.\r\n")},
               green, yellow),
        layout("certutil, pairs, a Windows path", 256, "setup.exe",
               {list("checksum.txt",
                     "SHA256 hash of file C:\\Users\\me\\Downloads\\setup.exe:\r\n{pairs}\r\n"
                     "CertUtil: -hashfile command completed successfully.\r\n")},
               green, yellow),
        layout("certutil, whole hex", 256, "setup.exe",
               {list("checksum.txt", "SHA256 hash of setup.exe:\r\n{hex}\r\n"
                                     "CertUtil: -hashfile command completed successfully.\r\n")},
               green, yellow),
        layout("YAML, name then digest", 256, "setup.exe",
               {list("checksums.yml", "setup.exe:\n  sha256: {hex}\n  size: 900\n")}, green,
               yellow),
        layout(
            "7z h table", 256, "setup.exe",
            {list(
                "sha256.txt",
                "\n7-Zip 23.01 (x64) : Copyright (c) 1999-2023 Igor Pavlov : 2023-06-20\n\n"
                "Scanning\n1 file, 900 bytes (1 KiB)\n\n"
                "SHA256                                                               Size  Name\n"
                "---------------------------------------------------------------- -------- "
                "---------\n"
                "{HEX}      900  setup.exe\n"
                "---------------------------------------------------------------- -------- "
                "---------\n"
                "{HEX}      900\n\nSize: 900\n\nSHA256 for data:              {HEX}\n\n"
                "Everything is Ok\n")},
            green, yellow),
        layout("colon hex", 256, "setup.exe",
               {list("checksums.txt", "setup.exe\nSHA-256: {colon}\n")}, green, yellow),
        layout("shasum -p", 256, "setup.exe", {list("SHA256SUMS", "{hex} ?setup.exe\n")}, green,
               red),
        layout("shasum -U", 256, "setup.exe", {list("SHA256SUMS", "{hex} ^setup.exe\n")}, green,
               red),
        layout("a blank after the name", 256, "setup.exe",
               {list("SHA256SUMS", "{hex}  setup.exe \n")}, green, yellow | red),
        layout("CR line ends", 256, "setup.exe",
               {list("SHA256SUMS", "{other}  setup-arm64.exe\r{hex}  setup.exe\r")}, green, red),
        layout("UTF-16 LE without a mark", 256, "setup.exe",
               {list("SHA256SUMS", "{other}  setup-arm64.exe\r\n{hex}  setup.exe\r\n", -2, true)},
               green, red),
        layout("NAME (1).iso", 256, "ubuntu-24.04-desktop-amd64 (1).iso",
               {list("SHA256SUMS", "{hex} *ubuntu-24.04-desktop-amd64.iso\n")}, green, yellow),
        layout("NAME(1).iso", 256, "ubuntu-24.04-desktop-amd64(1).iso",
               {list("SHA256SUMS", "{hex} *ubuntu-24.04-desktop-amd64.iso\n")}, green, yellow),
        layout("a name in another case", 256, "putty.exe",
               {list("SHA256SUMS", "{hex}  PUTTY.EXE\n")}, green, yellow),
        // Stale lists.
        layout("own list 90 days older", 256, "minikube-windows-amd64.exe",
               {list("minikube-windows-amd64.exe.sha256", "{hex}", -90 * day)}, green, yellow),
        layout("list 200 days older", 256, "putty.exe",
               {list("sha256sums", "{hex}  putty.exe\n", -200 * day)}, green, yellow),
        layout("a daily image, yesterday's list", 256, "debian-testing-amd64-netinst.iso",
               {list("SHA256SUMS", "{other}  debian-testing-amd64-netinst.iso\n", -day)}, yellow,
               yellow),
        // Rank and folders.
        layout("name and folder in one list", 256, "putty.exe",
               {list("SHA256SUMS", "{other} *putty.exe\n{hex} *w64/putty.exe\n")}, green, red),
        layout("name and folder across lists", 256, "putty.exe",
               {list("SHA256SUMS", "{other} *putty.exe\n"),
                list("sha256sums.txt", "{hex} *w64/putty.exe\n")},
               green, red),
        layout("another build's folder only", 256, "app.exe",
               {list("SHA256SUMS", "{other}  arm64/app.exe\n")}, yellow, yellow),
        layout("folders only, one equal", 256, "app.exe",
               {list("SHA256SUMS", "{other}  arm64/app.exe\n{hex}  x64/app.exe\n")}, green, yellow),
        // An argument of another algorithm while the list matches.
        layout("a pasted BLAKE2b line", 512, gentoo,
               {list(gentoo + ".DIGESTS", "# BLAKE2B HASH\n{other}  " + gentoo
                                              + "\n# SHA512 HASH\n{hex}  " + gentoo + "\n")},
               green, red, {"{other}  " + gentoo}, "", "{other}  (期待値"),
        layout("a pasted block of BLAKE2B and SHA512 lines", 512, gentoo, {}, green, red,
               {"# BLAKE2B HASH\n{other}  " + gentoo + "\n# SHA512 HASH\n{hex}  " + gentoo + "\n"},
               "", "{other}  (期待値"),
        layout("SHA3-256 hex", 256, "setup.exe", {list("SHA256SUMS", "{hex}  setup.exe\n")}, green,
               red, {"{other}"}),
        layout("BLAKE2s hex in capitals", 256, "setup.exe",
               {list("SHA256SUMS", "{hex}  setup.exe\n")}, green, red, {"{OTHER}"}),
        // Lists of something else, and lists not read.
        layout("the unsigned build's list", 256, tor,
               {list("sha256sums-unsigned-build.txt", "{other}  " + tor + "\n")}, yellow, yellow),
        layout("unsigned and signed builds' lists", 256, tor,
               {list("sha256sums-unsigned-build.txt", "{other}  " + tor + "\n"),
                list("sha256sums-signed-build.txt", "{hex}  " + tor + "\n")},
               green, red),
        layout("65 lists, the right one oldest", 256, "putty.exe", crowd, yellow, yellow, {},
               "[too many lists]"),
        // Words.
        layout("SHA3-256: HEX argument", 256, "setup.exe",
               {list("SHA256SUMS", "{hex}  setup.exe\n")}, green, red, {"SHA3-256: {other}"},
               "[other algorithm]", "[not a digest]"),
        layout("HEX (SHA-256) argument", 256, "setup.exe", {}, green, red, {"{hex} (SHA-256)"}, "",
               "[another file's line]"),
    };

    const std::vector<std::string> env = {"LANG=C.UTF-8", "TERM=dumb"};
    const time_t when = time(nullptr) - 86400 * 300;
    int runs = 0;
    int served = 0;
    int wrong = 0;
    for (const Case& c : cases) {
        const char* name = c.bits == 512 ? "SHA512" : "SHA256";
        const auto bytes = random_bytes(900, 41);
        auto broken = bytes;
        broken[450] ^= 1U;
        const std::string digest = oracle_hex(name, bytes.data(), bytes.size());
        const auto noise = random_bytes(64, 42);
        const std::string another = oracle_hex(name, noise.data(), noise.size());
        const TempDir dir;
        for (const List& l : c.lists) {
            const std::string path =
                dir.write(l.name, encoded(filled(l.text, digest, another), l.utf16));
            const timespec times[2] = {{when + l.hours * 3600, 0}, {when + l.hours * 3600, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
        }
        for (const bool intact : {true, false}) {
            const std::string path = dir.write(c.file, intact ? bytes : broken);
            const timespec times[2] = {{when, 0}, {when, 0}};
            ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
            std::vector<std::string> args = {c.bits == 512 ? HASH512_PATH : HASH256_PATH, path};
            for (const std::string& extra : c.extra) {
                args.push_back(filled(extra, digest, another));
            }
            const Outcome shown = run(args, env, nullptr, Streams::stderr_terminal);
            const std::string err = unwrapped(shown.err);
            const unsigned colour = colour_of(err);
            ++runs;
            served += intact && colour != none ? 1 : 0;
            if ((colour & (intact ? c.intact : c.changed)) == 0) {
                ++wrong;
                ADD_FAILURE() << c.what << (intact ? ", intact: " : ", changed: ")
                              << colour_name(colour) << ": " << err;
            }
            const std::string never = filled(c.never, digest, another);
            EXPECT_TRUE(!intact || err.find(c.says) != std::string::npos) << c.what << ": " << err;
            EXPECT_TRUE(never.empty() || err.find(never) == std::string::npos)
                << c.what << (intact ? ", intact: " : ", changed: ") << err;
            EXPECT_EQ(shown.status, 0) << c.what;
        }
    }
    std::printf("survey: %d cases (intact + changed), served %d, wrong %d\n", runs, served, wrong);
    EXPECT_EQ(wrong, 0);
}

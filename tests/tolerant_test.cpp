// Lists as people write them beyond the exact forms: each name and layout
// read into the entries it gives, with how each was read (its rank, whether
// it equals the file's digest, whether an exact form read it, whether its
// algorithm is stated).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checksum_digests.h"
#include "list_text.h"

namespace
{

const std::string other512 = std::string(64, 'b') + std::string(64, '3');

// The bytes of a hexadecimal digest in base64.
std::string base64(const std::string& hex)
{
    const char* table = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16U;
        value |= i + 1 < bytes.size() ? static_cast<unsigned char>(bytes[i + 1]) << 8U : 0U;
        value |= i + 2 < bytes.size() ? static_cast<unsigned char>(bytes[i + 2]) : 0U;
        for (std::size_t k = 0; k < 4; ++k) {
            out += i + k <= bytes.size() ? table[(value >> (18 - 6 * k)) & 63U] : '=';
        }
    }
    return out;
}

// A digest in pairs split by `separator` ("e3 b0 c4 ...", "e3:b0:c4:...").
std::string pairs(const std::string& hex, char separator)
{
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        out += (i > 0 ? std::string(1, separator) : "") + hex.substr(i, 2);
    }
    return out;
}

// UTF-16 without a byte order mark, from ASCII text.
std::string utf16_bare(const std::string& text, bool big_endian)
{
    std::string out;
    for (const char c : text) {
        out += big_endian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

// An entry as the list's reader showed it, its digest copied.
struct Seen {
    Entry entry;
    std::string hex;
};

void remember(void* context, const Entry& entry)
{
    static_cast<std::vector<Seen>*>(context)->push_back(Seen{entry, entry.hex});
}

// Reads `text` as the list `list_name` beside `file` whose digest is
// `digest`, in pieces of `piece` bytes: each entry as "rank match|differs
// exact|tolerant stated|unstated", joined by "; ". "no list" where the name
// or the text makes it none.
std::string entries(const std::string& list_name, const std::string& text, const std::string& file,
                    const std::string& digest, std::size_t piece = 7)
{
    const ChecksumTarget target{digest.size() == 128 ? algorithm_sha512 : algorithm_sha256,
                                digest.c_str(),
                                file.data(),
                                file.size(),
                                nullptr,
                                0,
                                NameRule::exact};
    const ListName kind = checksum_list_name(list_name.data(), list_name.size(), target);
    if (kind.kind == ListKind::none) {
        return "no list";
    }
    static ChecksumScan scan;
    std::vector<Seen> seen;
    checksum_scan_start(scan, target, kind);
    scan.seen = remember;
    scan.seen_context = &seen;
    for (std::size_t at = 0; at < text.size(); at += piece) {
        const std::string part = text.substr(at, piece);
        checksum_scan_feed(scan, reinterpret_cast<const unsigned char*>(part.data()), part.size());
    }
    checksum_scan_end(scan, true);
    if (scan.list.kind == ListKind::none) {
        return "no list";
    }
    std::string out;
    for (const Seen& one : seen) {
        const Entry& entry = one.entry;
        out += std::string(out.empty() ? "" : "; ")
               + (entry.rank == rank_name     ? "name"
                  : entry.rank == rank_folder ? "folder"
                                              : "none")
               + (one.hex.substr(0, digest.size()) == digest ? " match" : " differs")
               + (entry.exact ? " exact" : " tolerant") + (entry.stated ? " stated" : " unstated");
    }
    return out;
}

struct Case {
    const char* what;
    std::string list;
    std::string text; // @ stands for the file's digest, % for it in upper case,
                      // ~ for it in base64, {spaced} and {colons} for it in pairs
    std::string file;
    std::string expected; // for the intact file; a changed copy "differs"
    bool sha512 = false;
    int encoding = 0; // 1: UTF-16 LE without a mark, 2: UTF-16 BE without one
};

const std::string signed_start = "-----BEGIN PGP SIGNED MESSAGE-----\nHash: SHA512\n\n";
const std::string signature_block =
    "-----BEGIN PGP SIGNATURE-----\n\niQIzBAEBCAAd\n=Ab1c\n-----END PGP SIGNATURE-----\n";
const std::string one = "name match exact stated";
const std::string one_unstated = "name match exact unstated";
const std::string found = "name match tolerant stated";
const std::string found_unstated = "name match tolerant unstated";

const Case cases[] = {
    // List names.
    {"CHECKSUM.SHA512", "CHECKSUM.SHA512", "SHA512 (a.iso) = @\n", "a.iso", one, true},
    {"checksums.sha256", "checksums.sha256", other + "  b.iso\n@  a.iso\n", "a.iso", one},
    {"hashes.sha256", "hashes.sha256", "@  a.iso\n", "a.iso", one},
    {"hashes.txt", "hashes.txt", "@  a.iso\n", "a.iso", one_unstated},
    {"sha-256.txt", "sha-256.txt", "@ *a.iso\n", "a.iso", one},
    {"SHA256-hashes.txt", "SHA256-hashes.txt", "@  a.iso\n", "a.iso", one},
    {"NAME-sha256.txt", "a.iso-sha256.txt", "@\n", "a.iso", one},
    {"NAME.sha512sum", "a.iso.sha512sum", "@  a.iso\n", "a.iso", one, true},
    {"sha512.sum", "sha512.sum", "@  a.iso\n", "a.iso", one, true},
    {"*-checksums-amd64.sha256", "tool-1.0-checksums-amd64.sha256", "@  tool-1.0-amd64.zip\n",
     "tool-1.0-amd64.zip", one},
    {"a release's list", "npp.8.6.9.checksums.sha256",
     other + "  npp.8.6.9.portable.x64.zip\n@  npp.8.6.9.Installer.x64.exe\n",
     "npp.8.6.9.Installer.x64.exe", one},
    {"a release's stem", "blender-4.1.1.sha256",
     "@  blender-4.1.1-windows-x64.msi\n" + other + "  blender-4.1.1-linux-x64.tar.xz\n",
     "blender-4.1.1-windows-x64.msi", one},
    {"*-SHA-256.txt", "app-1.0-SHA-256.txt", "@  app-1.0.exe\n", "app-1.0.exe", one},
    {"manifest.txt", "manifest.txt", "@  a.iso\n", "a.iso", one_unstated},
    {"signed-hashes.txt", "signed-hashes.txt", signed_start + "@  a.iso\n" + signature_block,
     "a.iso", one_unstated},
    {"sha256sums.asc", "sha256sums.asc", signed_start + "@  a.iso\n" + signature_block, "a.iso",
     one},
    {"sha256sum.txt.asc", "sha256sum.txt.asc", signed_start + "@  a.iso\n" + signature_block,
     "a.iso", one},
    {"NAME.sha256.asc", "a.iso.sha256.asc", signed_start + "@\n" + signature_block, "a.iso", one},
    {"a detached signature", "SHA256SUMS.asc", signature_block, "a.iso", "no list"},
    {"latest.yml", "latest.yml",
     "version: 1.2.0\nfiles:\n  - url: App-Setup-1.2.0.exe\n    sha512: ~\n    size: 81234\n"
     "path: App-Setup-1.2.0.exe\nsha512: ~\nreleaseDate: '2024-06-01T10:00:00.000Z'\n",
     "App-Setup-1.2.0.exe", found + "; " + found, true},
    {"checksums.json", "checksums.json",
     "[\n  {\n    \"name\": \"b.iso\",\n    \"sha256\": \"" + other
         + "\"\n  },\n  {\n    \"name\": \"a.iso\",\n    \"sha256\": \"@\"\n  }\n]\n",
     "a.iso", found},
    {"checksums.json, digest first", "checksums.json",
     "[{\n  \"sha256\": \"" + other
         + "\",\n  \"file\": \"b.iso\"\n}, {\n  \"sha256\": \"@\",\n"
           "  \"file\": \"dist/a.iso\"\n}]\n",
     "a.iso", "folder match tolerant stated"},
    {"checksums.json, one line each", "checksums.json",
     "{\n  \"b.iso\": \"" + other + "\",\n  \"a.iso\": \"@\"\n}\n", "a.iso", found_unstated},
    // Forms.
    {"certutil, older Windows", "a.iso.hash",
     std::string("SHA256 hash of file a.iso:\n{spaced}")
         + "\nCertUtil: -hashfile command completed successfully.\n",
     "a.iso", found},
    {"7z h", "hashes.txt",
     "SHA256                                                             Size  Name\n"
     "---------------------------------------------------------------- ------  ----\n"
     "%         81234  a.iso\n"
         + other + "          5  b.iso\n",
     "a.iso", found},
    {"colon hex", "sha256sums.txt", "a.iso: {colons}\n", "a.iso", found},
    {"shasum -p", "sha256sums.txt", "@ ?a.iso\n", "a.iso", one},
    {"shasum -U", "sha256sums.txt", "@ ^a.iso\n", "a.iso", one},
    {"a blank after the name", "SHA256SUMS", "@  a.iso \n", "a.iso", found},
    {"CR line ends", "SHA256SUMS", other + "  b.iso\r@  a.iso\r", "a.iso", one},
    {"UTF-16 LE without a mark", "SHA256SUMS", other + "  b.iso\r\n@  a.iso\r\n", "a.iso", one,
     false, 1},
    {"UTF-16 BE without a mark", "SHA256SUMS", "@  a.iso\n", "a.iso", one, false, 2},
    {"re-downloaded", "SHA256SUMS", other + "  b.iso\n@  a.iso\n", "a (1).iso", found},
    {"re-downloaded, no blank", "SHA256SUMS", "@  a.iso\n", "a(1).iso", found},
    {"a name in another case", "SHA256SUMS", "@  A.ISO\n", "a.iso", found},
    {"a tag with text after", "CHECKSUMS", "SHA256 (a.iso) = @ x\n", "a.iso", found},
    {"section headers", "a.iso.DIGESTS",
     "# BLAKE2B HASH\n" + other512 + "  a.iso\n# SHA512 HASH\n@  a.iso\n", "a.iso", one, true},
    {"a header alone on a line", "hashes.txt", "MD5:\n0123  a.iso\nSHA256:\n@  a.iso\n", "a.iso",
     one},
    {"a bracketed header", "hashes.txt", "[SHA-256]\n@  a.iso\n", "a.iso", one},
    {"a table row", "hashes.txt", "| a.iso | 81234 | `@` |\n| b.iso | 5 | `" + other + "` |\n",
     "a.iso", found_unstated},
};

} // namespace

// Every name and layout: the intact file's entries, and the same entries
// differing for a changed copy.
TEST(Tolerant, EveryNameAndForm)
{
    for (const Case& c : cases) {
        const std::string digest = c.sha512 ? d512 : d256;
        std::string changed = digest;
        changed[9] = changed[9] == '1' ? '2' : '1';
        std::string text = replace_all(replace_all(c.text, "@", digest), "%", upper(digest));
        text = replace_all(replace_all(text, "{spaced}", pairs(digest, ' ')), "{colons}",
                           pairs(digest, ':'));
        text = replace_all(text, "~", base64(digest));
        text = c.encoding == 0 ? text : utf16_bare(text, c.encoding == 2);
        for (const std::size_t piece : {std::size_t{1}, std::size_t{7}, text.size()}) {
            EXPECT_EQ(entries(c.list, text, c.file, digest, piece), c.expected)
                << c.what << ", pieces of " << piece;
        }
        EXPECT_EQ(entries(c.list, text, c.file, changed),
                  replace_all(c.expected, "match", "differs"))
            << c.what << ", changed";
    }
}

// What the tolerant reader passes over: another algorithm's records, two
// digests in one record, a digest too far from the name, text no person
// reads.
TEST(Tolerant, PassesOver)
{
    for (const std::string& text :
         {"SHA3-256 (a.iso) = " + d256 + " x\n", "a.iso  BLAKE2s-256  " + d256 + "\n",
          "a.iso " + d256 + " " + other + "\n", "a.iso\n\n\n\n" + d256 + "\n",
          "a.iso\nb.iso\n" + d256 + "\n", d256 + "\nb.iso\na.iso\n",
          "a.iso " + d256 + std::string(1, '\x01') + "\n", "a.iso.sig " + d256 + "\n",
          "xa.iso " + d256 + "\n", "a.iso " + d256.substr(2) + "\n",
          "a.iso " + pairs(d256, ' ') + " ff\n", "a.iso sha256-" + base64(d256).substr(1) + "\n"}) {
        EXPECT_EQ(entries("hashes.txt", text, "a.iso", d256), "") << text;
    }
    // Base64 of another length, or of 48 bytes that are all hexadecimal digits.
    EXPECT_EQ(entries("hashes.txt", "a.iso " + base64(d512) + "\n", "a.iso", d256), "");
    EXPECT_EQ(entries("SHA256SUMS", "a.iso " + base64(d256) + "\n", "a.iso", d256), found);
    // A comment holds no entry.
    EXPECT_EQ(entries("SHA256SUMS", "# a.iso " + d256 + "\n", "a.iso", d256), "");
}

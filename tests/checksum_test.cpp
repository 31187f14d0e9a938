// Checksum files, arguments and clipboard texts: what counts as the digest a
// file is expected to have, and what is passed over.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "checksum.h"
#include "support.h"

namespace {

const std::string d256 = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08";
const std::string other = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";

struct Found {
    Entry entry;
    std::string digest;
};

// The entry of SHA256 for `name` in `text`.
Found find(const std::string& text, const std::string& name, bool bare = false,
           NameRule rule = NameRule::exact)
{
    char expected[checksum_max_digits + 1] = "";
    const Entry entry = checksum_find(reinterpret_cast<const unsigned char*>(text.data()), text.size(), "SHA256",
                                      64, name.data(), name.size(), bare, rule, expected);
    return {entry, entry == Entry::found ? expected : ""};
}

std::string upper(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// UTF-16 LE with a byte order mark, from ASCII and one non-BMP character.
std::string utf16(const std::string& ascii)
{
    std::string out = "\xFF\xFE";
    for (const char c : ascii) {
        if (c == '@') {
            out += std::string("\x3D\xD8\x00\xDE", 4); // U+1F600, as a surrogate pair
        } else {
            out += c;
            out += '\0';
        }
    }
    return out;
}

} // namespace

TEST(Checksum, ReadsEveryLineFormat)
{
    // coreutils text and binary lines, BSD's reversed one, BSD tags, any case.
    for (const std::string& line : {d256 + "  a.iso\n", d256 + " *a.iso\n", d256 + " a.iso\n",
                                    "SHA256 (a.iso) = " + d256 + "\n", upper(d256) + "  a.iso"}) {
        const Found found = find("# a list\n" + other + "  b.iso\n" + line, "a.iso");
        EXPECT_EQ(found.entry, Entry::found) << line;
        EXPECT_EQ(found.digest, d256) << line;
    }
    // Only the last component of a path in the list counts.
    EXPECT_EQ(find(d256 + "  ./dist/a.iso\n", "a.iso").digest, d256);
    EXPECT_EQ(find("SHA256 (dir/a (1).iso) = " + d256, "a (1).iso").digest, d256);
    // coreutils' escaped names: a backslash and a line end in the name.
    EXPECT_EQ(find("\\" + d256 + "  a\\\\b\\nc\n", "a\\b\nc").digest, d256);
    EXPECT_EQ(find("\\" + d256 + "  a\\qb\n", "a\\qb").entry, Entry::none);
    // A bare digest counts only in a file's own checksum file.
    EXPECT_EQ(find("  " + d256 + " \r\n", "a.iso", true).digest, d256);
    EXPECT_EQ(find(d256 + "\n", "a.iso", false).entry, Entry::none);
}

TEST(Checksum, PassesOverOtherFilesAlgorithmsAndLengths)
{
    const std::string d512(128, 'a');
    for (const std::string& text :
         {d256 + "  b.iso\n", d256 + "  A.ISO\n", d256 + "  xa.iso\n", "SHA512 (a.iso) = " + d256 + "\n",
          "SHA256 (a.iso) = " + d512 + "\n", d512 + "  a.iso\n", d256.substr(1) + "  a.iso\n",
          d256 + "\ta.iso\n", d256 + "  a.iso/\n", d256 + "  \n", "SHA256 (a.iso) = " + d256 + " x\n"}) {
        EXPECT_EQ(find(text, "a.iso").entry, Entry::none) << text;
    }
    // Windows compares ASCII letters without case and takes '\' between folders.
    EXPECT_EQ(find(d256 + "  C:\\Downloads\\A.ISO\n", "a.iso", false, NameRule::windows).digest, d256);
    EXPECT_EQ(find(d256 + "  C:\\Downloads\\a.iso\n", "a.iso").entry, Entry::none);
}

TEST(Checksum, ReadsByteOrderMarksAndLineEnds)
{
    EXPECT_EQ(find("\xEF\xBB\xBF" + d256 + "  a.iso\r\n" + other + "  b.iso\r\n", "a.iso").digest, d256);
    EXPECT_EQ(find("\xEF\xBB\xBF" + d256, "a.iso", true).digest, d256);
    // PowerShell's ">": UTF-16 LE, a name outside the BMP, CR LF.
    const std::string text = utf16(other + "  b.iso\r\n" + d256 + "  @.iso\r\n");
    EXPECT_EQ(find(text, "\xF0\x9F\x98\x80.iso").digest, d256);
    EXPECT_EQ(find(text + "x", "\xF0\x9F\x98\x80.iso").digest, d256) << "an odd last byte";
    // Big-endian UTF-16 is not read: no verdict rather than a wrong one.
    std::string big_endian = "\xFE\xFF";
    for (const char c : d256 + "  a.iso") {
        big_endian += '\0';
        big_endian += c;
    }
    EXPECT_EQ(find(big_endian, "a.iso").entry, Entry::none);
}

TEST(Checksum, EntriesThatDisagreeAreAConflict)
{
    EXPECT_EQ(find(d256 + "  a.iso\n" + d256 + "  old/a.iso\n", "a.iso").entry, Entry::found);
    EXPECT_EQ(find(d256 + "  a.iso\n" + other + "  old/a.iso\n", "a.iso").entry, Entry::conflict);
    EXPECT_EQ(find("SHA256 (a.iso) = " + d256 + "\n" + upper(other) + " *a.iso", "a.iso").entry, Entry::conflict);
}

TEST(Checksum, GarbageGivesNoEntry)
{
    // Random bytes with NULs, an overlong line holding an entry, no line end.
    const auto noise = random_bytes(1 << 16, 21);
    const std::string garbage(noise.begin(), noise.end());
    EXPECT_EQ(find(garbage, "a.iso").entry, Entry::none);
    EXPECT_EQ(find(std::string(5000, ' ') + d256 + "  a.iso\n", "a.iso").entry, Entry::none);
    EXPECT_EQ(find(garbage + "\n" + d256 + "  a.iso", "a.iso").digest, d256);
    EXPECT_EQ(find(std::string("\0", 1) + d256 + "  a.iso", "a.iso").entry, Entry::none);
    EXPECT_EQ(find(d256 + "  a.iso" + std::string("\0", 1), "a.iso").entry, Entry::none);
    EXPECT_EQ(find("\xFF\xFE\x41", "a.iso").entry, Entry::none);
    EXPECT_EQ(find("", "a.iso").entry, Entry::none);
    EXPECT_EQ(find(d256 + "  a.iso\n", "").entry, Entry::none);
}

TEST(Checksum, DigestAloneFromAnArgumentOrTheClipboard)
{
    char out[checksum_max_digits + 1];
    const auto digest = [&](const std::string& text, bool anywhere) {
        return checksum_digest(text.data(), text.size(), 64, anywhere, out) ? std::string(out) : "";
    };
    EXPECT_EQ(digest(" \t" + upper(d256) + "\r\n", false), d256);
    EXPECT_EQ(digest(d256.substr(0, 32) + "\r\n" + d256.substr(32), true), d256);
    for (const std::string& text : {d256.substr(0, 32) + " " + d256.substr(32), d256 + "0", d256.substr(1),
                                    d256 + " x", std::string(64, 'g'), std::string(), std::string(" ")}) {
        EXPECT_EQ(digest(text, false), "") << text;
    }
    EXPECT_EQ(digest(d256 + d256, true), "");
}

// Checksum files, as coreutils' sha*sum, BSD tags and one-digest files write
// them, read line by line into a small buffer of UTF-8.
#include "checksum.h"

#include <cstdint>
#include <cstring>

namespace {

// Longest line read; a longer one is passed over whole.
constexpr std::size_t line_capacity = 4096;

bool is_space(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

int hex_value(unsigned char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

constexpr char lowercase_hex[] = "0123456789abcdef";

// True when text[0..digits-1] are hexadecimal digits, copied in lowercase
// with a NUL into out.
bool take_hex(const char* text, std::size_t digits, char* out)
{
    for (std::size_t i = 0; i < digits; ++i) {
        const int value = hex_value(static_cast<unsigned char>(text[i]));
        if (value < 0) {
            return false;
        }
        out[i] = lowercase_hex[value];
    }
    out[digits] = '\0';
    return true;
}

bool only_spaces(const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (!is_space(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

// The text being read: where the next line starts, and its encoding.
struct Reader {
    const unsigned char* text;
    std::size_t size;
    std::size_t at;
    bool utf16;
};

// Appends code point `c` to line[0..length-1] as UTF-8; false when full.
bool put_utf8(char* line, std::size_t& length, std::uint32_t c)
{
    unsigned char bytes[4];
    std::size_t count = 0;
    if (c < 0x80) {
        bytes[count++] = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        bytes[count++] = static_cast<unsigned char>(0xC0 | (c >> 6));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        bytes[count++] = static_cast<unsigned char>(0xE0 | (c >> 12));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        bytes[count++] = static_cast<unsigned char>(0xF0 | (c >> 18));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    if (length + count > line_capacity) {
        return false;
    }
    std::memcpy(line + length, bytes, count);
    length += count;
    return true;
}

// One UTF-16 LE line into line[] as UTF-8; false when it does not fit.
bool next_utf16_line(Reader& reader, char* line, std::size_t& length)
{
    bool fits = true;
    while (reader.at + 1 < reader.size) {
        std::uint32_t c = reader.text[reader.at] | (std::uint32_t{reader.text[reader.at + 1]} << 8U);
        reader.at += 2;
        if (c == '\n') {
            break;
        }
        if (c >= 0xD800 && c < 0xDC00 && reader.at + 1 < reader.size) {
            const std::uint32_t low = reader.text[reader.at] | (std::uint32_t{reader.text[reader.at + 1]} << 8U);
            if (low >= 0xDC00 && low < 0xE000) {
                reader.at += 2;
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            }
        }
        if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate
        }
        fits = fits && put_utf8(line, length, c);
    }
    if (reader.at + 1 == reader.size) {
        reader.at = reader.size; // an odd last byte ends the text
    }
    return fits;
}

// The next line, without its line end, into line[0..length-1]. Returns
// false at the end of the text; `fits` tells whether the line was whole.
bool next_line(Reader& reader, char* line, std::size_t& length, bool& fits)
{
    if (reader.at >= reader.size) {
        return false;
    }
    length = 0;
    if (reader.utf16) {
        fits = next_utf16_line(reader, line, length);
    } else {
        const auto* start = reader.text + reader.at;
        const auto* end = static_cast<const unsigned char*>(std::memchr(start, '\n', reader.size - reader.at));
        const std::size_t count = end != nullptr ? static_cast<std::size_t>(end - start) : reader.size - reader.at;
        reader.at += count + 1;
        fits = count <= line_capacity;
        if (fits) {
            std::memcpy(line, start, count);
            length = count;
        }
    }
    if (length > 0 && line[length - 1] == '\r') {
        --length;
    }
    return true;
}

// Undoes coreutils' escapes in a name ("\\", "\n", "\r") in place; false
// for an escape it does not know.
bool unescape(char* name, std::size_t& length)
{
    std::size_t out = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char c = name[i];
        if (c == '\\') {
            if (++i == length) {
                return false;
            }
            c = name[i] == '\\' ? '\\' : name[i] == 'n' ? '\n' : name[i] == 'r' ? '\r' : '\0';
            if (c == '\0') {
                return false;
            }
        }
        name[out++] = c;
    }
    length = out;
    return true;
}

bool is_separator(char c, NameRule rule)
{
    return c == '/' || (rule == NameRule::windows && c == '\\');
}

char fold(char c, NameRule rule)
{
    return rule == NameRule::windows && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when the last component of entry[0..length-1] is the file's name.
bool names_the_file(const char* entry, std::size_t length, const char* name, std::size_t name_length,
                    NameRule rule)
{
    std::size_t start = length;
    while (start > 0 && !is_separator(entry[start - 1], rule)) {
        --start;
    }
    if (length - start != name_length || name_length == 0) {
        return false;
    }
    for (std::size_t i = 0; i < name_length; ++i) {
        if (fold(entry[start + i], rule) != fold(name[i], rule)) {
            return false;
        }
    }
    return true;
}

// Reads one line (modified in place): true when it is an entry for the
// file, with its digest in digest[].
bool entry_for(char* line, std::size_t length, const char* algorithm, std::size_t digits,
               const char* name, std::size_t name_length, bool bare, NameRule rule, char* digest)
{
    // coreutils marks a line whose name holds a backslash or a line end.
    const bool escaped = length > 0 && line[0] == '\\';
    if (escaped) {
        ++line;
        --length;
    }
    char* entry = nullptr;
    std::size_t entry_length = 0;

    const std::size_t tag = std::strlen(algorithm);
    if (length > tag + 2 && std::memcmp(line, algorithm, tag) == 0 && line[tag] == ' ' && line[tag + 1] == '(') {
        // "SHA256 (name) = hex": the name ends at the last ") = ".
        std::size_t close = length;
        while (close > tag + 2 && std::memcmp(line + close - 4, ") = ", 4) != 0) {
            --close;
        }
        if (close < tag + 6 || length - close < digits || !only_spaces(line + close + digits, length - close - digits)
            || !take_hex(line + close, digits, digest)) {
            return false;
        }
        entry = line + tag + 2;
        entry_length = close - 4 - (tag + 2);
    } else if (bare && !escaped && checksum_digest(line, length, digits, false, digest)) {
        return true; // a digest alone names the one file
    } else if (length > digits && take_hex(line, digits, digest)) {
        // "hex  name", "hex *name", or BSD's reversed "hex name".
        if (line[digits] != ' ') {
            return false;
        }
        std::size_t start = digits + 1;
        if (start < length && (line[start] == ' ' || line[start] == '*')) {
            ++start;
        }
        entry = line + start;
        entry_length = length - start;
    } else {
        return false;
    }
    if (escaped && !unescape(entry, entry_length)) {
        return false;
    }
    return names_the_file(entry, entry_length, name, name_length, rule);
}

} // namespace

Entry checksum_find(const unsigned char* text, std::size_t size, const char* algorithm,
                    std::size_t digits, const char* name, std::size_t name_length, bool bare,
                    NameRule rule, char* expected)
{
    // The byte order mark tells the encoding; none means UTF-8 or ASCII.
    Reader reader{text, size, 0, false};
    if (size >= 3 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF) {
        reader.at = 3;
    } else if (size >= 2 && text[0] == 0xFF && text[1] == 0xFE) {
        reader.at = 2;
        reader.utf16 = true;
    }

    // Every entry for the file must give the same digest.
    static_assert(checksum_max_digits < line_capacity, "a digest fits a line");
    char line[line_capacity];
    char digest[checksum_max_digits + 1];
    std::size_t length = 0;
    bool fits = true;
    Entry answer = Entry::none;
    while (next_line(reader, line, length, fits)) {
        if (!fits || !entry_for(line, length, algorithm, digits, name, name_length, bare, rule, digest)) {
            continue;
        }
        if (answer == Entry::none) {
            std::memcpy(expected, digest, digits + 1);
            answer = Entry::found;
        } else if (std::memcmp(expected, digest, digits) != 0) {
            return Entry::conflict;
        }
    }
    return answer;
}

bool checksum_digest(const char* text, std::size_t size, std::size_t digits, bool anywhere,
                     char* expected)
{
    std::size_t count = 0;
    bool ended = false; // white space after the digits, where only that may follow
    for (std::size_t i = 0; i < size; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (is_space(c)) {
            ended = count > 0 && !anywhere;
            continue;
        }
        const int value = hex_value(c);
        if (ended || value < 0 || count == digits) {
            return false;
        }
        expected[count++] = lowercase_hex[value];
    }
    expected[count] = '\0';
    return count == digits;
}

// Checksum lists as publishers write them (coreutils' sha*sum with and
// without --tag, OpenSSL, gpg --print-md, PowerShell's Get-FileHash, inside
// PGP clear-signed text), read line by line into a bounded buffer of UTF-8.
#include "checksum.h"

#include <cstring>
#include <initializer_list>

#include "utf8.h"

namespace
{

bool is_space(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
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

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// True when text[0..length-1] begins with `word` (lowercase), without case.
bool starts_with(const char* text, std::size_t length, const char* word)
{
    const std::size_t count = std::strlen(word);
    if (length < count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (lower(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

bool contains(const char* text, std::size_t length, const char* word)
{
    for (std::size_t at = 0; at < length; ++at) {
        if (starts_with(text + at, length - at, word)) {
            return true;
        }
    }
    return false;
}

bool ends_with(const char* text, std::size_t length, const char* word)
{
    const std::size_t count = std::strlen(word);
    return length >= count && starts_with(text + length - count, count, word);
}

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

// The algorithm a token names at text[0..length-1]: 1 this one (`bits`:
// "256"), -1 another, 0 none; `used` is its length. Read: SHA256, SHA-256,
// sha_256, SHA2-256, SHASUMS256, SHA1, SHA3-..., MD5, BLAKE2..., B2SUM.
int algorithm_at(const char* text, std::size_t length, const char* bits, std::size_t& used)
{
    std::size_t i = 0;
    if (starts_with(text, length, "sha")) {
        i = 3;
        if (starts_with(text + i, length - i, "sums")) {
            i += 4;
        } else if (i < length && (text[i] == '-' || text[i] == '_')) {
            ++i;
        }
        if (i + 1 < length && text[i] == '2' && (text[i + 1] == '-' || text[i + 1] == '_')) {
            i += 2;
        }
        const std::size_t start = i;
        while (i < length && is_digit(text[i])) {
            ++i;
        }
        if (i == start) {
            return 0;
        }
        used = i;
        return i - start == std::strlen(bits) && std::memcmp(text + start, bits, i - start) == 0
                   ? 1
                   : -1;
    }
    for (const char* other : {"md5", "blake", "b2sum", "crc32", "xxh"}) {
        if (starts_with(text, length, other)) {
            used = std::strlen(other);
            while (
                used < length
                && (is_digit(text[used]) || lower(text[used]) == 'b' || lower(text[used]) == 's')) {
                ++used;
            }
            return -1;
        }
    }
    return 0;
}

// The same over a whole name: 1 when some token in it names this
// algorithm, -1 when only others are named, 0 when none is.
int algorithm_in(const char* text, std::size_t length, const char* bits)
{
    int found = 0;
    for (std::size_t at = 0; at < length; ++at) {
        std::size_t used = 0;
        const int which = algorithm_at(text + at, length - at, bits, used);
        if (which == 1) {
            return 1;
        }
        if (which == -1) {
            found = -1;
            at += used - 1;
        }
    }
    return found;
}

bool is_separator(char c, bool backslash)
{
    return c == '/' || (backslash && c == '\\');
}

// Compares a[0..count-1] with b[0..count-1]; under the Windows rule ASCII
// letters match without case where neither follows a non-ASCII byte (a
// double-byte character's second byte may look like a letter).
bool same_name(const char* a, const char* b, std::size_t count, NameRule rule)
{
    bool ascii = true;
    for (std::size_t i = 0; i < count; ++i) {
        const bool fold = rule == NameRule::windows && ascii;
        if (fold ? lower(a[i]) != lower(b[i]) : a[i] != b[i]) {
            return false;
        }
        ascii = static_cast<unsigned char>(a[i]) < 0x80;
    }
    return true;
}

// How an entry's path names the file: 2 the name itself (NAME, ./NAME),
// 1 a path in a folder (dir/NAME), 0 another file. `legacy`: the entry is
// in the legacy (double-byte) character set.
int rank_of(const char* entry, std::size_t length, const char* name, std::size_t name_length,
            NameRule rule, bool backslash, bool legacy)
{
    if (name == nullptr || name_length == 0) {
        return 0;
    }
    while (length > 2 && entry[0] == '.' && is_separator(entry[1], backslash)) {
        entry += 2;
        length -= 2;
    }
    if (length == name_length && same_name(entry, name, length, rule)) {
        return 2;
    }
    if (length > name_length && is_separator(entry[length - name_length - 1], backslash)
        && same_name(entry + length - name_length, name, name_length, rule)) {
        // A backslash after a non-ASCII byte is a double-byte character's
        // second byte in a legacy text, not a separator; in UTF-8 it is one.
        const bool trail = legacy && entry[length - name_length - 1] == '\\'
                           && length - name_length >= 2
                           && static_cast<unsigned char>(entry[length - name_length - 2]) >= 0x81;
        return trail ? 0 : 1;
    }
    return 0;
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

void copy_path(char* out, const char* path, std::size_t length)
{
    const std::size_t count =
        length < checksum_path_capacity - 1 ? length : checksum_path_capacity - 1;
    std::memcpy(out, path, count);
    out[count] = '\0';
}

// Counts one entry of `rank` giving digest `hex` into a list's tally.
void tally_add(ChecksumTally& tally, const ChecksumTarget& target, int rank, bool stated,
               const char* hex, const char* path, std::size_t path_length)
{
    if (rank == 0 || rank < tally.rank) {
        return;
    }
    if (rank > tally.rank) {
        checksum_tally_clear(tally);
        tally.rank = rank;
    }
    if (!stated) {
        tally.stated = false;
        tally.unstated = true;
    }
    if (std::memcmp(hex, target.digest, target.digits) == 0) {
        if (!tally.matched) {
            tally.matched = true;
            copy_path(tally.match_path, path, rank == 1 ? path_length : 0);
        }
    } else if (tally.differing++ == 0) {
        std::memcpy(tally.expected, hex, target.digits);
        tally.expected[target.digits] = '\0';
        tally.one_expected = true;
    } else if (std::memcmp(hex, tally.expected, target.digits) != 0) {
        tally.one_expected = false;
    }
}

// The name a line is compared with: UTF-8, or for a line that is not, the
// legacy form.
struct Name {
    const char* text;
    std::size_t length;
    bool legacy;
};

// An entry found in a line: its path names the file with `rank` (own lists
// raise any naming to 2).
void add_entry(ChecksumScan& scan, const Name& name, const char* path, std::size_t length,
               bool backslash, bool stated_by_line, const char* hex)
{
    const ChecksumTarget& target = *scan.target;
    int rank = rank_of(path, length, name.text, name.length, target.rule,
                       backslash || target.rule == NameRule::windows, name.legacy);
    if (scan.list.kind == ListKind::own && (rank > 0 || (length == 1 && path[0] == '-'))) {
        rank = 2;
    }
    tally_add(scan.tally, target, rank, scan.list.stated || stated_by_line, hex, path, length);
}

// Appends the hexadecimal digits of text[0..length-1] to the record; false
// (nothing kept) when it holds anything but digits and blanks.
bool record_digits(ChecksumScan& scan, const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (!is_blank(text[i]) && hex_value(static_cast<unsigned char>(text[i])) < 0) {
            return false;
        }
    }
    for (std::size_t i = 0; i < length; ++i) {
        const int value = hex_value(static_cast<unsigned char>(text[i]));
        if (value >= 0) {
            if (scan.record_digits < checksum_max_digits) {
                scan.record_hex[scan.record_digits] = lowercase_hex[value];
            }
            ++scan.record_digits;
        }
    }
    return true;
}

// Ends a record over several lines: an entry when its digest is whole.
void flush_record(ChecksumScan& scan)
{
    const ChecksumTarget& target = *scan.target;
    const std::uint8_t record = scan.record;
    scan.record = 0;
    if (record == 0 || scan.record_digits != target.digits) {
        return;
    }
    scan.record_hex[target.digits] = '\0';
    const char* path = scan.record_path;
    const std::size_t length = std::strlen(path);
    if (record == 1) {
        tally_add(scan.tally, target,
                  scan.list.kind == ListKind::own && scan.record_rank > 0 ? 2 : scan.record_rank,
                  scan.list.stated, scan.record_hex, path, length);
        return;
    }
    if (!scan.record_stated) {
        return;
    }
    // PowerShell's list form: in the file's own list the path may be
    // absolute, cut ("..."), or missing.
    const Name name = scan.record_legacy ? Name{target.legacy, target.legacy_length, true}
                                         : Name{target.name, target.name_length, false};
    const bool cut = ends_with(path, length, "...") || ends_with(path, length, "\xE2\x80\xA6");
    if (scan.list.kind == ListKind::own && (length == 0 || cut)) {
        tally_add(scan.tally, target, 2, true, scan.record_hex, path, 0);
    } else {
        add_entry(scan, name, path, length, true, true, scan.record_hex);
    }
}

// "KEY : value" of PowerShell's list form: the value's start, or nullptr.
const char* key_value(const char* line, std::size_t length, const char* key)
{
    const std::size_t count = std::strlen(key);
    if (length <= count || std::memcmp(line, key, count) != 0) {
        return nullptr;
    }
    std::size_t at = count;
    while (at < length && line[at] == ' ') {
        ++at;
    }
    if (at >= length || line[at] != ':') {
        return nullptr;
    }
    ++at;
    while (at < length && line[at] == ' ') {
        ++at;
    }
    return line + at;
}

// PowerShell's list form (Format-List): Algorithm, Hash and Path lines,
// values wrapped onto indented lines. True when the line belongs to it.
bool list_form(ChecksumScan& scan, char* line, std::size_t length, bool legacy)
{
    const char* end = line + length;
    if (const char* value = key_value(line, length, "Algorithm")) {
        flush_record(scan);
        std::size_t used = 0;
        const int which = algorithm_at(value, static_cast<std::size_t>(end - value),
                                       scan.target->algorithm + 3, used);
        scan.record = 2;
        scan.record_stated = which == 1 && value + used == end;
        scan.record_digits = 0;
        scan.record_path[0] = '\0';
        scan.record_legacy = legacy;
        scan.record_key = 0;
        return true;
    }
    if (scan.record != 2) {
        return false;
    }
    if (const char* value = key_value(line, length, "Hash")) {
        scan.record_key = 1;
        if (!record_digits(scan, value, static_cast<std::size_t>(end - value))) {
            scan.record_digits = checksum_max_digits + 1;
        }
        return true;
    }
    if (const char* value = key_value(line, length, "Path")) {
        scan.record_key = 2;
        copy_path(scan.record_path, value, static_cast<std::size_t>(end - value));
        return true;
    }
    return false;
}

// A line that goes on with the record of the lines before it (indented).
bool continues_record(ChecksumScan& scan, const char* line, std::size_t length)
{
    if (scan.record == 0 || length == 0 || !is_blank(line[0])) {
        return false;
    }
    if (scan.record == 2 && scan.record_key == 2) {
        std::size_t start = 0;
        while (start < length && is_blank(line[start])) {
            ++start;
        }
        const std::size_t have = std::strlen(scan.record_path);
        const std::size_t room = checksum_path_capacity - 1 - have;
        const std::size_t count = length - start < room ? length - start : room;
        std::memcpy(scan.record_path + have, line + start, count);
        scan.record_path[have + count] = '\0';
        return true;
    }
    return (scan.record == 1 || scan.record_key == 1) && record_digits(scan, line, length);
}

// "ALG (NAME) = HEX", "ALG(NAME)= HEX": coreutils' and BSD's tags,
// OpenSSL's form. True when the line has this form (for any algorithm).
bool tag_form(ChecksumScan& scan, const Name& name, char* line, std::size_t length, bool escaped)
{
    const ChecksumTarget& target = *scan.target;
    const char* open = static_cast<const char*>(std::memchr(line, '(', length));
    if (open == nullptr) {
        return false;
    }
    std::size_t token = static_cast<std::size_t>(open - line);
    while (token > 0 && line[token - 1] == ' ') {
        --token;
    }
    std::size_t used = 0;
    const int which = token > 0 ? algorithm_at(line, token, target.algorithm + 3, used) : 0;
    if (which == 0 || used != token) {
        return false;
    }
    // From the end: the digits, " = " with spaces optional, ")".
    std::size_t end = length;
    while (end > 0 && is_blank(line[end - 1])) {
        --end;
    }
    std::size_t start = end;
    while (start > 0 && hex_value(static_cast<unsigned char>(line[start - 1])) >= 0) {
        --start;
    }
    std::size_t at = start;
    while (at > 0 && is_blank(line[at - 1])) {
        --at;
    }
    if (at == 0 || line[at - 1] != '=') {
        return false;
    }
    --at;
    while (at > 0 && is_blank(line[at - 1])) {
        --at;
    }
    const std::size_t name_start = static_cast<std::size_t>(open - line) + 1;
    if (at <= name_start || line[at - 1] != ')') {
        return false;
    }
    char hex[checksum_max_digits + 1];
    if (which != 1 || end - start != target.digits || !take_hex(line + start, target.digits, hex)) {
        return true;
    }
    std::size_t path_length = at - 1 - name_start;
    if (escaped && !unescape(line + name_start, path_length)) {
        return true;
    }
    add_entry(scan, name, line + name_start, path_length, false, true, hex);
    return true;
}

bool only_blanks_after(const char* line, std::size_t start, std::size_t length)
{
    for (std::size_t i = start; i < length; ++i) {
        if (!is_blank(line[i])) {
            return false;
        }
    }
    return true;
}

// "HEX  NAME", "HEX *NAME", "HEX NAME", "HEX<tab>NAME"; in the file's own
// list also "HEX" alone and "HEX  -". PowerShell's table row
// "SHA256  HEX  PATH" too.
bool plain_form(ChecksumScan& scan, const Name& name, char* line, std::size_t length, bool escaped)
{
    const ChecksumTarget& target = *scan.target;
    const std::size_t digits = target.digits;
    char hex[checksum_max_digits + 1];

    // PowerShell's table: the algorithm, blanks, the digest, blanks, a path.
    std::size_t used = 0;
    const int which = escaped ? 0 : algorithm_at(line, length, target.algorithm + 3, used);
    if (which != 0 && used < length && is_blank(line[used])) {
        std::size_t at = used;
        while (at < length && is_blank(line[at])) {
            ++at;
        }
        if (at + digits <= length && take_hex(line + at, digits, hex)
            && (at + digits == length || is_blank(line[at + digits]))) {
            if (which == 1) {
                std::size_t path = at + digits;
                while (path < length && is_blank(line[path])) {
                    ++path;
                }
                std::size_t end = length;
                while (end > path && is_blank(line[end - 1])) {
                    --end;
                }
                const bool cut = ends_with(line + path, end - path, "...")
                                 || ends_with(line + path, end - path, "\xE2\x80\xA6");
                if (scan.list.kind == ListKind::own && (path == end || cut)) {
                    tally_add(scan.tally, target, 2, true, hex, line, 0);
                } else {
                    add_entry(scan, name, line + path, end - path, true, true, hex);
                }
            }
            return true;
        }
    }

    if (length < digits || !take_hex(line, digits, hex)) {
        return false;
    }
    if (length == digits
        || (length > digits && hex_value(static_cast<unsigned char>(line[digits])) < 0
            && !is_blank(line[digits]))) {
        if (length == digits && scan.list.kind == ListKind::own && !escaped) {
            tally_add(scan.tally, target, 2, scan.list.stated, hex, line, 0);
            return true;
        }
        return length == digits;
    }
    if (!is_blank(line[digits])) {
        return false; // a longer run of digits
    }
    std::size_t start = digits + 1;
    if (line[digits] == ' ' && start < length && (line[start] == ' ' || line[start] == '*')) {
        ++start;
    }
    std::size_t path_length = length - start;
    if (only_blanks_after(line, start, length)) {
        // A digest and trailing blanks: the own list's bare digest.
        if (scan.list.kind == ListKind::own && !escaped) {
            tally_add(scan.tally, target, 2, scan.list.stated, hex, line, 0);
        }
        return true;
    }
    if (escaped && !unescape(line + start, path_length)) {
        return true;
    }
    add_entry(scan, name, line + start, path_length, false, false, hex);
    return true;
}

// "NAME: HEX HEX ..." of gpg --print-md, its digits in groups, maybe going
// on over indented lines.
bool gpg_form(ChecksumScan& scan, const Name& name, const char* line, std::size_t length,
              bool legacy)
{
    for (std::size_t colon = 1; colon + 1 < length; ++colon) {
        if (line[colon] != ':' || !is_blank(line[colon + 1])) {
            continue;
        }
        scan.record_digits = 0;
        if (!record_digits(scan, line + colon + 1, length - colon - 1)) {
            continue;
        }
        if (scan.record_digits == 0) {
            return false;
        }
        scan.record = 1;
        scan.record_legacy = legacy;
        scan.record_rank = rank_of(line, colon, name.text, name.length, scan.target->rule,
                                   scan.target->rule == NameRule::windows, name.legacy);
        copy_path(scan.record_path, line, scan.record_rank == 1 ? colon : 0);
        return true;
    }
    return false;
}

// Reads one whole line (modified in place).
void read_line(ChecksumScan& scan, char* line, std::size_t length)
{
    const ChecksumTarget& target = *scan.target;
    const bool legacy = scan.encoding == 1 && !utf8_valid(line, length);
    const Name name =
        legacy ? Name{target.legacy, target.legacy != nullptr ? target.legacy_length : 0, true}
               : Name{target.name, target.name_length, false};

    // Clear-signed text: the signature block is no list; a line that
    // starts with '-' comes dash-escaped ("- ").
    if (starts_with(line, length, "-----begin pgp signature")) {
        flush_record(scan);
        scan.in_signature = true;
        return;
    }
    if (starts_with(line, length, "-----end pgp signature")) {
        scan.in_signature = false;
        return;
    }
    if (scan.in_signature) {
        return;
    }
    if (length >= 2 && line[0] == '-' && line[1] == ' ') {
        line += 2;
        length -= 2;
    }
    if (continues_record(scan, line, length) || list_form(scan, line, length, legacy)) {
        return;
    }
    flush_record(scan);
    std::size_t start = 0;
    while (start < length && is_blank(line[start])) {
        ++start;
    }
    if (start == length || line[start] == '#') {
        return; // an empty line or a comment
    }
    // coreutils marks a line whose name holds a backslash or a line end.
    const bool escaped = line[0] == '\\';
    char* text = escaped ? line + 1 : line;
    const std::size_t size = escaped ? length - 1 : length;
    if (!plain_form(scan, name, text, size, escaped) && !tag_form(scan, name, text, size, escaped)
        && !escaped) {
        gpg_form(scan, name, line, length, legacy);
    }
}

// Appends code point `c` to the line as UTF-8, or marks it too long.
void put_utf8(ChecksumScan& scan, std::uint32_t c)
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
    if (scan.length + count > checksum_line_capacity) {
        scan.overflow = true;
        return;
    }
    std::memcpy(scan.line + scan.length, bytes, count);
    scan.length += count;
}

// A line has ended: read it unless it was too long.
void end_line(ChecksumScan& scan)
{
    std::size_t length = scan.length;
    if (length > 0 && scan.line[length - 1] == '\r') {
        --length;
    }
    if (!scan.overflow) {
        read_line(scan, scan.line, length);
    }
    scan.length = 0;
    scan.overflow = false;
}

void feed_bytes(ChecksumScan& scan, const unsigned char* bytes, std::size_t size)
{
    while (size > 0) {
        const auto* end = static_cast<const unsigned char*>(std::memchr(bytes, '\n', size));
        const std::size_t count = end != nullptr ? static_cast<std::size_t>(end - bytes) : size;
        if (!scan.overflow && scan.length + count <= checksum_line_capacity) {
            std::memcpy(scan.line + scan.length, bytes, count);
            scan.length += count;
        } else {
            scan.overflow = true;
        }
        if (end == nullptr) {
            return;
        }
        end_line(scan);
        bytes += count + 1;
        size -= count + 1;
    }
}

void feed_utf16(ChecksumScan& scan, const unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (!scan.has_odd) {
            scan.odd = bytes[i];
            scan.has_odd = true;
            continue;
        }
        scan.has_odd = false;
        const std::uint32_t unit = scan.encoding == 2
                                       ? (scan.odd | (std::uint32_t{bytes[i]} << 8U))
                                       : ((std::uint32_t{scan.odd} << 8U) | bytes[i]);
        if (scan.high != 0) {
            const std::uint32_t high = scan.high;
            scan.high = 0;
            if (unit >= 0xDC00 && unit < 0xE000) {
                put_utf8(scan, 0x10000 + ((high - 0xD800) << 10U) + (unit - 0xDC00));
                continue;
            }
            put_utf8(scan, 0xFFFD); // a lone surrogate
        }
        if (unit >= 0xD800 && unit < 0xDC00) {
            scan.high = unit;
        } else if (unit == '\n') {
            end_line(scan);
        } else {
            put_utf8(scan, unit >= 0xDC00 && unit < 0xE000 ? 0xFFFD : unit);
        }
    }
}

// The byte order mark tells the encoding; none means bytes (UTF-8, or a
// legacy character set where a line is not UTF-8).
void take_start(ChecksumScan& scan)
{
    const unsigned char* s = scan.start;
    const std::size_t count = scan.start_count;
    std::size_t skip = 0;
    if (count >= 2 && s[0] == 0xFF && s[1] == 0xFE) {
        scan.encoding = 2;
        skip = 2;
    } else if (count >= 2 && s[0] == 0xFE && s[1] == 0xFF) {
        scan.encoding = 3;
        skip = 2;
    } else {
        scan.encoding = 1;
        skip = count == 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF ? 3 : 0;
    }
    checksum_scan_feed(scan, s + skip, count - skip);
}

// True when text[0..size-1] reads as a tag line, "NAME (PATH) = HEX": a
// closing bracket, then a run of 32 or more hexadecimal digits. A list's own
// name ("SHA256SUMS (1)") has no digits after its bracket.
bool tag_with_digest(const char* text, std::size_t size)
{
    const auto* close = static_cast<const char*>(std::memchr(text, ')', size));
    std::size_t run = 0;
    for (std::size_t i = close != nullptr ? static_cast<std::size_t>(close - text) : size;
         i < size && run < 32; ++i) {
        run = hex_value(static_cast<unsigned char>(text[i])) >= 0 ? run + 1 : 0;
    }
    return run >= 32;
}

} // namespace

ListName checksum_list_name(const char* name, std::size_t length, const ChecksumTarget& target)
{
    const ListName none{ListKind::none, false};
    // Most files of a folder are no lists: one pass finds none of the
    // words every list's name has.
    bool word = false;
    for (std::size_t at = 0; at < length && !word; ++at) {
        const char c = lower(name[at]);
        word = (c == 's'
                && (starts_with(name + at, length - at, "sha")
                    || starts_with(name + at, length - at, "signatures")))
               || (c == 'c' && starts_with(name + at, length - at, "checksum"))
               || (c == '.'
                   && (starts_with(name + at, length - at, ".digest")
                       || starts_with(name + at, length - at, ".hash")));
    }
    if (!word) {
        return none;
    }
    char base[1024];
    if (length == 0 || length >= sizeof base) {
        return none;
    }
    // A browser's copy: "SHA256SUMS (1)", "sha256sums (2).txt", "x(1)".
    std::memcpy(base, name, length);
    std::size_t size = length;
    std::size_t dot = size;
    while (dot > 0 && base[dot - 1] != '.') {
        --dot;
    }
    for (const std::size_t end : {size, dot > 0 ? dot - 1 : size}) {
        if (end < 3 || base[end - 1] != ')') {
            continue;
        }
        std::size_t open = end - 1;
        while (open > 0 && is_digit(base[open - 1])) {
            --open;
        }
        if (open == end - 1 || open < 2 || base[open - 1] != '(') {
            continue;
        }
        --open;
        if (base[open - 1] == ' ') {
            --open;
        }
        std::memmove(base + open, base + end, size - end);
        size -= end - open;
        break;
    }
    if (size == target.name_length && same_name(base, target.name, size, target.rule)) {
        return none; // the file itself
    }
    for (const char* signature : {".asc", ".sig", ".gpg", ".sign", ".minisig", ".pem", ".crt"}) {
        if (ends_with(base, size, signature)) {
            return none;
        }
    }
    // A list's name that names another algorithm makes it that one's list.
    const char* bits = target.algorithm + 3;
    // The file's own list: NAME.sha256, NAME.sha256sum, NAME.DIGEST, ...;
    // OTHER.sha256 is another file's.
    for (const char* own : {".sha256", ".sha256sum", ".sha256sums", ".sha256.txt", ".sha2-256",
                            ".digest", ".digests", ".checksum", ".hash"}) {
        char suffix[16];
        std::size_t count = 0;
        for (const char* c = own; *c != '\0' && count + 1 < sizeof suffix; ++c) {
            // "256" stands for the target's bits.
            if (std::strncmp(c, "256", 3) == 0) {
                std::memcpy(suffix + count, bits, 3);
                count += 3;
                c += 2;
            } else {
                suffix[count++] = *c;
            }
        }
        suffix[count] = '\0';
        if (size > count && ends_with(base, size, suffix)) {
            const bool mine = size - count == target.name_length
                              && same_name(base, target.name, target.name_length, target.rule);
            const int stated = mine ? algorithm_in(base + size - count, count, bits) : -1;
            return stated >= 0 ? ListName{ListKind::own, stated == 1} : none;
        }
    }
    char sha[8] = "sha";
    std::memcpy(sha + 3, bits, 4);
    char sums[16];
    std::memcpy(sums, sha, 6);
    std::memcpy(sums + 6, "sum", 4);
    char shasums[16] = "shasums";
    std::memcpy(shasums + 7, bits, 4);
    const bool listed =
        contains(base, size, sums) || contains(base, size, shasums)
        || contains(base, size, "checksum")
        || (starts_with(base, size, "signatures") && ends_with(base, size, ".txt"))
        || (size == 6 && starts_with(base, size, sha))
        || (size == 10 && starts_with(base, size, sha) && ends_with(base, size, ".txt"));
    const int stated = listed ? algorithm_in(base, size, bits) : -1;
    return stated >= 0 ? ListName{ListKind::list, stated == 1} : none;
}

void checksum_tally_clear(ChecksumTally& tally)
{
    tally.rank = 0;
    tally.matched = false;
    tally.match_list = 0;
    tally.match_path[0] = '\0';
    tally.differing = 0;
    tally.one_expected = false;
    tally.expected[0] = '\0';
    tally.expected_list = 0;
    tally.several_lists = false;
    tally.stated = true;
    tally.unstated = false;
}

void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, bool whole,
                          std::size_t list)
{
    if (one.rank == 0 || one.rank < total.rank) {
        return;
    }
    if (one.rank > total.rank) {
        checksum_tally_clear(total);
        total.rank = one.rank;
    }
    if (one.matched && !total.matched) {
        total.matched = true;
        total.match_list = list;
        std::memcpy(total.match_path, one.match_path, sizeof total.match_path);
    }
    if (one.differing > 0) {
        if (total.differing == 0) {
            std::memcpy(total.expected, one.expected, sizeof total.expected);
            total.expected_list = list;
            total.one_expected = one.one_expected;
        } else {
            total.several_lists = true;
            if (!one.one_expected || std::strcmp(one.expected, total.expected) != 0) {
                total.one_expected = false;
            }
        }
        total.differing += one.differing;
    }
    total.stated = total.stated && one.stated && whole;
    total.unstated = total.unstated || one.unstated;
}

void checksum_scan_start(ChecksumScan& scan, const ChecksumTarget& target, ListName list)
{
    scan.target = &target;
    scan.list = list;
    scan.encoding = 0;
    scan.start_count = 0;
    scan.has_odd = false;
    scan.high = 0;
    scan.length = 0;
    scan.overflow = false;
    scan.in_signature = false;
    scan.record = 0;
    scan.record_digits = 0;
    scan.record_path[0] = '\0';
    checksum_tally_clear(scan.tally);
}

void checksum_scan_feed(ChecksumScan& scan, const unsigned char* bytes, std::size_t size)
{
    while (scan.encoding == 0 && size > 0) {
        scan.start[scan.start_count++] = *bytes++;
        --size;
        if (scan.start_count == sizeof scan.start) {
            take_start(scan);
        }
    }
    if (scan.encoding == 1) {
        feed_bytes(scan, bytes, size);
    } else if (scan.encoding > 1) {
        feed_utf16(scan, bytes, size);
    }
}

void checksum_scan_end(ChecksumScan& scan, bool whole)
{
    if (scan.encoding == 0) {
        take_start(scan);
    }
    if (!whole) {
        scan.record = 0; // a record may go on in the part not read
        return;
    }
    if (scan.high != 0 || scan.has_odd) {
        // An odd last byte or a lone surrogate ends the text.
        scan.high = 0;
        scan.has_odd = false;
    }
    if (scan.length > 0 || scan.overflow) {
        end_line(scan);
    }
    flush_record(scan);
}

Argument checksum_argument(const char* text, std::size_t size, const ChecksumTarget& target,
                           ChecksumScan& scan, char* expected)
{
    while (size > 0 && is_space(static_cast<unsigned char>(text[size - 1]))) {
        --size;
    }
    while (size > 0 && is_space(static_cast<unsigned char>(*text))) {
        ++text;
        --size;
    }
    // A checksum line that names the file (in any of the lists' forms).
    checksum_scan_start(scan, target, ListName{ListKind::list, true});
    checksum_scan_feed(scan, reinterpret_cast<const unsigned char*>(text), size);
    checksum_scan_end(scan, true);
    if (scan.tally.rank > 0) {
        std::memcpy(expected, scan.tally.matched ? target.digest : scan.tally.expected,
                    target.digits);
        expected[target.digits] = '\0';
        return Argument::digest;
    }

    // "sha256:HEX", "SHA256: HEX", "SHA-256 HEX", or the digits alone.
    std::size_t used = 0;
    const int which = algorithm_at(text, size, target.algorithm + 3, used);
    std::size_t at = which != 0 ? used : 0;
    while (at < size && is_blank(text[at])) {
        ++at;
    }
    if (which != 0 && at < size && text[at] == ':') {
        ++at;
    }
    std::size_t count = 0;
    bool digits_only = true;
    for (std::size_t i = at; i < size; ++i) {
        const int value = hex_value(static_cast<unsigned char>(text[i]));
        if (value >= 0) {
            if (count < target.digits) {
                expected[count] = lowercase_hex[value];
            }
            ++count;
        } else if (!is_space(static_cast<unsigned char>(text[i]))) {
            digits_only = false;
            break;
        }
    }
    if (digits_only && count > 0) {
        if (which == -1) {
            return Argument::other_algorithm;
        }
        if (count != target.digits) {
            return Argument::wrong_length;
        }
        expected[count] = '\0';
        return Argument::digest;
    }
    // A line of a list for another file: digits then a name, or a tag.
    std::size_t run = 0;
    while (run < size && hex_value(static_cast<unsigned char>(text[run])) >= 0) {
        ++run;
    }
    if ((run >= 32 && run < size && is_blank(text[run]))
        || (which != 0 && tag_with_digest(text, size))) {
        return Argument::other_file;
    }
    return Argument::none;
}

// The tolerant reader of checksum lists: the file's name and one digest in a
// record, however the record is laid out.
#include "tolerant.h"

#include <cstring>

#include "list_text.h"
#include "text.h"

namespace
{

bool is_word(char c)
{
    return is_alnum(c) || c == '_';
}

int base64_value(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

// Hexadecimal digits from text[i]: whole, or in groups of two or more split
// by one space or colon. `end`: where reading stopped (past the word on a
// failure, so that the caller passes over it).
bool hex_at(const char* text, std::size_t length, std::size_t i, std::size_t digits, char* out,
            std::size_t& end)
{
    std::size_t at = i;
    if (at + 2 < length && text[at] == '0' && lower(text[at + 1]) == 'x'
        && hex_value(static_cast<unsigned char>(text[at + 2])) >= 0) {
        at += 2;
    }
    std::size_t total = 0;
    std::size_t groups = 0;
    for (;;) {
        const std::size_t start = at;
        for (; at < length && hex_value(static_cast<unsigned char>(text[at])) >= 0; ++at) {
            if (total < digits) {
                out[total] = lowercase_hex[hex_value(static_cast<unsigned char>(text[at]))];
            }
            ++total;
        }
        ++groups;
        end = at;
        if ((at < length && is_word(text[at])) || total > digits) {
            while (end < length && is_word(text[end])) {
                ++end;
            }
            return false;
        }
        const bool more = at - start >= 2 && at + 1 < length && (text[at] == ' ' || text[at] == ':')
                          && hex_value(static_cast<unsigned char>(text[at + 1])) >= 0;
        if (total == digits) {
            out[digits] = '\0';
            return groups == 1 || !more;
        }
        if (!more) {
            return false;
        }
        ++at;
    }
}

// Base64 of the digest's bytes from text[i], padded or not; a run of
// hexadecimal digits only is taken for digits, not base64.
bool base64_at(const char* text, std::size_t length, std::size_t i, std::size_t digits, char* out,
               std::size_t& end)
{
    const std::size_t chars = (digits * 4 + 5) / 6;
    const std::size_t pad = (4 - chars % 4) % 4;
    std::size_t at = i;
    bool all_hex = true;
    while (at < length && base64_value(text[at]) >= 0) {
        all_hex = all_hex && hex_value(static_cast<unsigned char>(text[at])) >= 0;
        ++at;
    }
    end = at;
    if (at - i != chars || all_hex) {
        return false;
    }
    std::size_t equals = 0;
    while (at < length && text[at] == '=' && equals < pad) {
        ++at;
        ++equals;
    }
    if ((equals != 0 && equals != pad) || (at < length && (is_word(text[at]) || text[at] == '='))) {
        return false;
    }
    std::uint32_t bits = 0;
    unsigned count = 0;
    std::size_t produced = 0;
    for (std::size_t k = i; k < i + chars; ++k) {
        bits = (bits << 6U) | static_cast<std::uint32_t>(base64_value(text[k]));
        count += 6;
        while (count >= 4 && produced < digits) {
            count -= 4;
            out[produced++] = lowercase_hex[(bits >> count) & 0xFU];
            bits &= (1U << count) - 1U;
        }
    }
    if (bits != 0) {
        return false; // not the canonical text of these bytes
    }
    out[digits] = '\0';
    end = at;
    return true;
}

// A table of the ASCII characters in `set`, for a look-up per character.
struct CharSet {
    bool has[256];
};

constexpr CharSet char_set(const char* set)
{
    CharSet table{};
    for (const char* c = set; *c != '\0'; ++c) {
        table.has[static_cast<unsigned char>(*c)] = true;
    }
    return table;
}

// What ends a path: blanks, quotes, brackets, and what stands between
// fields; and what may follow a name.
constexpr CharSet path_stops = char_set(" \t\"'`()[]{}<>=,;|*?^");
constexpr CharSet name_ends = char_set(" \t\"'`)]}>,;:|=");

bool stops_path(char c)
{
    return path_stops.has[static_cast<unsigned char>(c)];
}

// The file's name found in a line: the path that ends in it and its rank.
struct NameAt {
    bool found;
    int rank;
    std::size_t path_start;
    std::size_t end;
};

// What may follow a name: the line's end, a blank, a closing mark, a
// full stop at the end of a sentence, an ideographic space or full-width
// colon.
bool ends_name(const char* line, std::size_t length, std::size_t at)
{
    if (at == length || name_ends.has[static_cast<unsigned char>(line[at])]) {
        return true;
    }
    if (line[at] == '.') {
        return at + 1 == length || is_blank(line[at + 1]);
    }
    return starts_with(line + at, length - at, "\xE3\x80\x80")
           || starts_with(line + at, length - at, "\xEF\xBC\x9A");
}

// The file's name in line[0..length-1]: as the platform compares names, in
// another case (Linux), or without a browser's copy mark on it ("a (1).iso"
// listed as "a.iso").
NameAt find_name(const ChecksumScan& scan, const char* line, std::size_t length, bool legacy)
{
    const ChecksumTarget& target = *scan.target;
    const char* name = legacy ? target.legacy : target.name;
    const std::size_t name_length = legacy ? target.legacy_length : target.name_length;
    if (name == nullptr || name_length == 0 || name_length >= 1024) {
        return NameAt{false, rank_none, 0, 0};
    }
    char plain[1024];
    std::size_t plain_length = 0;
    std::size_t mark = 0;
    std::size_t mark_end = 0;
    if (copy_mark(name, name_length, mark, mark_end)) {
        std::memcpy(plain, name, mark);
        std::memcpy(plain + mark, name + mark_end, name_length - mark_end);
        plain_length = name_length - (mark_end - mark);
    }
    const bool windows = target.rule == NameRule::windows;
    for (std::size_t p = 0; p < length; ++p) {
        const char before = p > 0 ? line[p - 1] : ' ';
        if (!(stops_path(before) || before == ':' || before == '/'
              || (windows && before == '\\'))) {
            continue;
        }
        std::size_t end = 0;
        if (p + name_length <= length && same_name(line + p, name, name_length, NameRule::windows)
            && ends_name(line, length, p + name_length)) {
            end = p + name_length;
        } else if (plain_length > 0 && p + plain_length <= length
                   && same_name(line + p, plain, plain_length, target.rule)
                   && ends_name(line, length, p + plain_length)) {
            end = p + plain_length;
        } else {
            continue;
        }
        std::size_t start = p;
        if (before == '/' || before == '\\') {
            while (start > 0 && !stops_path(line[start - 1])) {
                --start;
            }
        }
        int rank = checksum_entry_rank(line + start, end - start, line + p, end - p,
                                       NameRule::exact, windows, legacy);
        if (rank == rank_folder && contains(line + start, end - start, "://")) {
            rank = rank_name; // a URL's last part
        }
        return NameAt{true, rank, start, end};
    }
    return NameAt{false, rank_none, 0, 0};
}

Stated either(Stated a, Stated b)
{
    return a == Stated::this_one || b == Stated::this_one ? Stated::this_one
           : a == Stated::other || b == Stated::other     ? Stated::other
                                                          : Stated::none;
}

// A section header: a short line that starts with an algorithm's name
// ("# SHA512 HASH", "SHA256:", "[SHA-256]", "SHA256   Size  Name").
bool section_header(const char* line, std::size_t length, const char* bits, Stated& which)
{
    std::size_t at = 0;
    while (at < length && (is_blank(line[at]) || std::strchr("#*[-=/>(", line[at]) != nullptr)) {
        ++at;
    }
    std::size_t used = 0;
    which = algorithm_at(line + at, length - at, bits, used);
    std::size_t words = 0;
    for (std::size_t k = at; k < length; ++k) {
        words += !is_blank(line[k]) && (k == at || is_blank(line[k - 1])) ? 1U : 0U;
    }
    return which != Stated::none && words <= 5;
}

// An entry the tolerant reader found: never exact; the record's own
// statement, else the section's, else the list's name states the algorithm.
void add(ChecksumScan& scan, int rank, const char* path, std::size_t path_length, const char* hex,
         Stated said)
{
    const Stated stated = said != Stated::none ? said : scan.lines.tolerant.section;
    if (stated == Stated::other || rank == rank_none) {
        return;
    }
    if (scan.list.kind == ListKind::own) {
        rank = rank_name;
    }
    checksum_scan_entry(scan, Entry{rank, stated == Stated::this_one || scan.list.states_algorithm,
                                    false, hex, path, path_length});
}

} // namespace

void checksum_scan_entry(ChecksumScan& scan, const Entry& entry)
{
    if (scan.seen != nullptr) {
        scan.seen(scan.seen_context, entry);
    }
    checksum_tally_add(scan.tally, *scan.target, entry);
}

std::size_t find_digests(const char* text, std::size_t length, std::size_t digits,
                         DigestSpan* found, std::size_t room)
{
    std::size_t count = 0;
    std::size_t base64_after = 0;
    std::size_t i = 0;
    while (i < length && count < room && digits <= algorithm_max_digits) {
        if (i > 0 && is_word(text[i - 1])) {
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        std::size_t end = i;
        if (hex_value(static_cast<unsigned char>(text[i])) >= 0) {
            if (hex_at(text, length, i, digits, found[count].hex, end)) {
                found[count].start = i;
                found[count++].end = end;
                i = end;
                continue;
            }
            next = end > next ? end : next;
        }
        if (i >= base64_after && base64_value(text[i]) >= 0
            && (i == 0 || base64_value(text[i - 1]) < 0)) {
            if (base64_at(text, length, i, digits, found[count].hex, end)) {
                found[count].start = i;
                found[count++].end = end;
                i = end;
                continue;
            }
            base64_after = end;
        }
        i = next;
    }
    return count;
}

Stated stated_outside(const char* text, std::size_t length, const char* bits, std::size_t a0,
                      std::size_t a1, std::size_t b0, std::size_t b1)
{
    Stated found = Stated::none;
    for (std::size_t at = 0; at < length; ++at) {
        if ((at >= a0 && at < a1) || (at >= b0 && at < b1) || (at > 0 && is_alnum(text[at - 1]))) {
            continue;
        }
        std::size_t limit = length;
        limit = a0 > at && a0 < limit ? a0 : limit;
        limit = b0 > at && b0 < limit ? b0 : limit;
        std::size_t used = 0;
        const Stated which = algorithm_at(text + at, limit - at, bits, used);
        if (which == Stated::this_one) {
            return which;
        }
        if (which == Stated::other) {
            found = which;
            at += used - 1;
        }
    }
    return found;
}

bool names_a_file(const char* text, std::size_t length, std::size_t skip0, std::size_t skip1)
{
    std::size_t at = 0;
    while (at < length) {
        while (at < length && stops_path(text[at])) {
            ++at;
        }
        std::size_t start = at;
        while (at < length && !stops_path(text[at])) {
            ++at;
        }
        std::size_t end = at;
        if (end == start || (start < skip1 && end > skip0)) {
            continue;
        }
        while (end > start && (text[end - 1] == ':' || text[end - 1] == '.')) {
            --end;
        }
        for (std::size_t k = start; k + 3 <= end; ++k) {
            if (std::memcmp(text + k, "://", 3) == 0) {
                start = k + 3;
                const void* slash = std::memchr(text + start, '/', end - start);
                start = slash == nullptr ? end : start;
                break;
            }
        }
        std::size_t part = end;
        while (part > start && text[part - 1] != '/' && text[part - 1] != '\\') {
            --part;
        }
        std::size_t dot = end;
        while (dot > part && text[dot - 1] != '.') {
            --dot;
        }
        bool extension = dot > part + 1 && end > dot && end - dot <= 5 && lower(text[dot]) >= 'a'
                         && lower(text[dot]) <= 'z';
        for (std::size_t k = dot; extension && k < end; ++k) {
            extension = is_alnum(text[k]);
        }
        if (extension) {
            return true;
        }
    }
    return false;
}

void tolerant_start(Tolerant& tolerant)
{
    tolerant.section = Stated::none;
    tolerant.line = 0;
    tolerant.pending = Pending::none;
}

void tolerant_taken(ChecksumScan& scan)
{
    ++scan.lines.tolerant.line;
    scan.lines.tolerant.pending = Pending::none;
}

void tolerant_other_entry(ChecksumScan& scan, const char* line, std::size_t length, bool legacy)
{
    if (find_name(scan, line, length, legacy).found) {
        tolerant_line(scan, line, length, legacy, false);
    } else {
        tolerant_taken(scan);
    }
}

void tolerant_line(ChecksumScan& scan, const char* line, std::size_t length, bool legacy,
                   bool comment)
{
    Tolerant& t = scan.lines.tolerant;
    const char* bits = scan.target->algorithm.bits;
    ++t.line;
    for (std::size_t k = 0; k < length; ++k) {
        const auto c = static_cast<unsigned char>(line[k]);
        if ((c < 0x20 && c != '\t') || c == 0x7F) {
            t.pending = Pending::none; // no text a person reads
            return;
        }
    }
    Stated which = Stated::none;
    if (comment) {
        if (section_header(line, length, bits, which)) {
            t.section = which;
        }
        return;
    }
    DigestSpan digests[2];
    const std::size_t count = find_digests(line, length, scan.target->algorithm.digits, digests, 2);
    const NameAt name = find_name(scan, line, length, legacy);
    const std::size_t n0 = name.found ? name.path_start : 0;
    const std::size_t n1 = name.found ? name.end : 0;
    const Stated said = stated_outside(line, length, bits, n0, n1, count > 0 ? digests[0].start : 0,
                                       count > 0 ? digests[0].end : 0);
    const bool within = t.line - t.pending_line <= 3;
    if (count == 2 && std::strcmp(digests[0].hex, digests[1].hex) != 0) {
        t.pending = Pending::none; // two digests: no one record
        return;
    }
    const bool other = names_a_file(line, length, n0, n1);
    if (count > 0) {
        const char* hex = digests[0].hex;
        if (name.found) {
            add(scan, name.rank, line + n0, n1 - n0, hex, said);
        } else if (other || (t.pending == Pending::other_name && within)) {
            // another file's record
        } else if (t.pending == Pending::name && within) {
            add(scan, t.pending_rank, t.pending_path, t.pending_path_length, hex,
                either(t.pending_stated, said));
        } else if (scan.list.kind == ListKind::own) {
            add(scan, rank_name, line, 0, hex, said);
        } else {
            t.pending = Pending::digest;
            t.pending_line = t.line;
            t.pending_stated = said;
            std::memcpy(t.pending_hex, hex, sizeof t.pending_hex);
            return;
        }
        t.pending = Pending::none;
        return;
    }
    if (name.found) {
        if (t.pending == Pending::digest && within) {
            add(scan, name.rank, line + n0, n1 - n0, t.pending_hex, either(t.pending_stated, said));
            t.pending = Pending::none;
            return;
        }
        t.pending = Pending::name;
        t.pending_line = t.line;
        t.pending_stated = said;
        t.pending_rank = name.rank;
        checksum_copy_path(t.pending_path, line + n0, n1 - n0);
        t.pending_path_length = std::strlen(t.pending_path);
        return;
    }
    if (other) {
        // Another file's name: after a digest its record's end, else its
        // record's start.
        t.pending = t.pending == Pending::digest && within ? Pending::none : Pending::other_name;
        t.pending_line = t.line;
    } else if (section_header(line, length, bits, which)) {
        t.section = which;
        t.pending = Pending::none;
    }
}

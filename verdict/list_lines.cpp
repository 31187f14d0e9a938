// Checksum lists as publishers write them (coreutils' sha*sum with and
// without --tag, OpenSSL, gpg --print-md, PowerShell's Get-FileHash, inside
// PGP clear-signed text): the forms of their lines, and the records over
// several lines.
#include "list_lines.h"

#include <cstring>

#include "entries.h"
#include "list_text.h"
#include "text.h"

namespace
{

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

// The name a line is compared with: UTF-8, or for a line that is not, the
// legacy form.
struct Name {
    const char* text;
    std::size_t length;
    bool legacy;
};

// Counts an entry an exact form read. Under a section header of another
// algorithm an entry its line does not tag with this one (`tagged`) is
// passed over; under one of this algorithm it is stated.
void take(ChecksumScan& scan, Entry entry, bool tagged)
{
    const Stated section = scan.lines.tolerant.section;
    if (entry.rank == rank_none || (!tagged && section == Stated::other)) {
        return;
    }
    entry.stated = entry.stated || section == Stated::this_one;
    scan.lines.taken = true;
    checksum_scan_entry(scan, entry);
}

// An entry found in a line, counted with the rank its path names the file
// with (in the file's own list any naming is the name itself).
void add_entry(ChecksumScan& scan, const Name& name, const char* path, std::size_t length,
               bool backslash, bool stated_by_line, const char* hex)
{
    const ChecksumTarget& target = *scan.target;
    int rank = checksum_entry_rank(path, length, name.text, name.length, target.rule,
                                   backslash || target.rule == NameRule::windows, name.legacy);
    if (scan.list.kind == ListKind::own && (rank != rank_none || (length == 1 && path[0] == '-'))) {
        rank = rank_name;
    }
    take(scan, Entry{rank, scan.list.states_algorithm || stated_by_line, true, hex, path, length},
         stated_by_line);
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
            if (scan.lines.record_digits < algorithm_max_digits) {
                scan.lines.record_hex[scan.lines.record_digits] = lowercase_hex[value];
            }
            ++scan.lines.record_digits;
        }
    }
    return true;
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
        list_lines_end_record(scan);
        std::size_t used = 0;
        const Stated which = algorithm_at(value, static_cast<std::size_t>(end - value),
                                          scan.target->algorithm.bits, used);
        scan.lines.record = RecordForm::powershell_list;
        scan.lines.record_stated = which == Stated::this_one && value + used == end;
        scan.lines.record_digits = 0;
        scan.lines.record_path[0] = '\0';
        scan.lines.record_legacy = legacy;
        scan.lines.record_key = RecordKey::none;
        return true;
    }
    if (scan.lines.record != RecordForm::powershell_list) {
        return false;
    }
    if (const char* value = key_value(line, length, "Hash")) {
        scan.lines.record_key = RecordKey::hash;
        if (!record_digits(scan, value, static_cast<std::size_t>(end - value))) {
            scan.lines.record_digits = algorithm_max_digits + 1;
        }
        return true;
    }
    if (const char* value = key_value(line, length, "Path")) {
        scan.lines.record_key = RecordKey::path;
        checksum_copy_path(scan.lines.record_path, value, static_cast<std::size_t>(end - value));
        return true;
    }
    return false;
}

// A line that goes on with the record of the lines before it (indented).
bool continues_record(ChecksumScan& scan, const char* line, std::size_t length)
{
    if (scan.lines.record == RecordForm::none || length == 0 || !is_blank(line[0])) {
        return false;
    }
    if (scan.lines.record == RecordForm::powershell_list
        && scan.lines.record_key == RecordKey::path) {
        std::size_t start = 0;
        while (start < length && is_blank(line[start])) {
            ++start;
        }
        const std::size_t have = std::strlen(scan.lines.record_path);
        const std::size_t room = checksum_path_capacity - 1 - have;
        const std::size_t count = length - start < room ? length - start : room;
        std::memcpy(scan.lines.record_path + have, line + start, count);
        scan.lines.record_path[have + count] = '\0';
        return true;
    }
    return (scan.lines.record == RecordForm::gpg || scan.lines.record_key == RecordKey::hash)
           && record_digits(scan, line, length);
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
    const Stated which =
        token > 0 ? algorithm_at(line, token, target.algorithm.bits, used) : Stated::none;
    if (which == Stated::none || used != token) {
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
    char hex[algorithm_max_digits + 1];
    if (which != Stated::this_one || end - start != target.algorithm.digits
        || !take_hex(line + start, target.algorithm.digits, hex)) {
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
    const std::size_t digits = target.algorithm.digits;
    char hex[algorithm_max_digits + 1];

    // PowerShell's table: the algorithm, blanks, the digest, blanks, a path.
    std::size_t used = 0;
    const Stated which =
        escaped ? Stated::none : algorithm_at(line, length, target.algorithm.bits, used);
    if (which != Stated::none && used < length && is_blank(line[used])) {
        std::size_t at = used;
        while (at < length && is_blank(line[at])) {
            ++at;
        }
        if (at + digits <= length && take_hex(line + at, digits, hex)
            && (at + digits == length || is_blank(line[at + digits]))) {
            if (which == Stated::this_one) {
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
                    take(scan, Entry{rank_name, true, true, hex, line, 0}, true);
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
            take(scan, Entry{rank_name, scan.list.states_algorithm, true, hex, line, 0}, false);
            return true;
        }
        return length == digits;
    }
    if (!is_blank(line[digits])) {
        return false; // a longer run of digits
    }
    std::size_t start = digits + 1;
    if (line[digits] == ' ' && start < length
        && (line[start] == ' ' || line[start] == '*' || line[start] == '?' || line[start] == '^')) {
        ++start;
    }
    std::size_t path_length = length - start;
    if (only_blanks_after(line, start, length)) {
        // A digest and trailing blanks: the own list's bare digest.
        if (scan.list.kind == ListKind::own && !escaped) {
            take(scan, Entry{rank_name, scan.list.states_algorithm, true, hex, line, 0}, false);
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
        scan.lines.record_digits = 0;
        if (!record_digits(scan, line + colon + 1, length - colon - 1)) {
            continue;
        }
        if (scan.lines.record_digits == 0) {
            return false;
        }
        scan.lines.record = RecordForm::gpg;
        scan.lines.record_legacy = legacy;
        scan.lines.record_rank =
            checksum_entry_rank(line, colon, name.text, name.length, scan.target->rule,
                                scan.target->rule == NameRule::windows, name.legacy);
        checksum_copy_path(scan.lines.record_path, line,
                           scan.lines.record_rank == rank_folder ? colon : 0);
        return true;
    }
    return false;
}

} // namespace

void list_lines_start(ListLines& lines, bool armored)
{
    lines.in_signature = false;
    lines.armor = armored ? Armor::undecided : Armor::none;
    tolerant_start(lines.tolerant);
    lines.record = RecordForm::none;
    lines.record_digits = 0;
    lines.record_path[0] = '\0';
}

void list_lines_end_record(ChecksumScan& scan)
{
    const ChecksumTarget& target = *scan.target;
    const RecordForm record = scan.lines.record;
    scan.lines.record = RecordForm::none;
    if (record == RecordForm::none || scan.lines.record_digits != target.algorithm.digits) {
        return;
    }
    scan.lines.record_hex[target.algorithm.digits] = '\0';
    const char* path = scan.lines.record_path;
    const std::size_t length = std::strlen(path);
    if (record == RecordForm::gpg) {
        const int rank = scan.list.kind == ListKind::own && scan.lines.record_rank != rank_none
                             ? rank_name
                             : scan.lines.record_rank;
        take(scan,
             Entry{rank, scan.list.states_algorithm, true, scan.lines.record_hex, path, length},
             false);
        return;
    }
    if (!scan.lines.record_stated) {
        return;
    }
    // PowerShell's list form: in the file's own list the path may be
    // absolute, cut ("..."), or missing.
    const Name name = scan.lines.record_legacy ? Name{target.legacy, target.legacy_length, true}
                                               : Name{target.name, target.name_length, false};
    const bool cut = ends_with(path, length, "...") || ends_with(path, length, "\xE2\x80\xA6");
    if (scan.list.kind == ListKind::own && (length == 0 || cut)) {
        take(scan, Entry{rank_name, true, true, scan.lines.record_hex, path, 0}, true);
    } else {
        add_entry(scan, name, path, length, true, true, scan.lines.record_hex);
    }
}

void list_lines_read(ChecksumScan& scan, char* line, std::size_t length, bool legacy)
{
    const ChecksumTarget& target = *scan.target;
    const Name name =
        legacy ? Name{target.legacy, target.legacy != nullptr ? target.legacy_length : 0, true}
               : Name{target.name, target.name_length, false};

    // Clear-signed text: its armor's header lines ("Hash: SHA256") end at
    // an empty line; the signature block is no list; a line that starts
    // with '-' comes dash-escaped ("- "). An armored file (.asc) is a list
    // only when its first line starts clear-signed text.
    const bool empty = only_blanks_after(line, 0, length);
    if (scan.lines.armor == Armor::refused || (scan.lines.armor == Armor::undecided && empty)) {
        return;
    }
    if (starts_with(line, length, "-----begin pgp signed message")) {
        scan.lines.armor = Armor::header;
        return;
    }
    if (scan.lines.armor == Armor::undecided) {
        scan.lines.armor = Armor::refused;
        scan.list.kind = ListKind::none;
        return;
    }
    if (scan.lines.armor == Armor::header) {
        scan.lines.armor = empty ? Armor::text : Armor::header;
        return;
    }
    if (starts_with(line, length, "-----begin pgp signature")) {
        list_lines_end_record(scan);
        tolerant_taken(scan);
        scan.lines.in_signature = true;
        return;
    }
    if (starts_with(line, length, "-----end pgp signature")) {
        scan.lines.in_signature = false;
        return;
    }
    if (scan.lines.in_signature) {
        return;
    }
    if (length >= 2 && line[0] == '-' && line[1] == ' ') {
        line += 2;
        length -= 2;
    }
    if (continues_record(scan, line, length) || list_form(scan, line, length, legacy)) {
        tolerant_taken(scan);
        return;
    }
    list_lines_end_record(scan);
    std::size_t start = 0;
    while (start < length && is_blank(line[start])) {
        ++start;
    }
    if (start == length || line[start] == '#') {
        // An empty line, or a comment: a section header at most.
        tolerant_line(scan, line, length, legacy, true);
        return;
    }
    // coreutils marks a line whose name holds a backslash or a line end.
    const bool escaped = line[0] == '\\';
    char* text = escaped ? line + 1 : line;
    const std::size_t size = escaped ? length - 1 : length;
    scan.lines.taken = false;
    const bool form =
        plain_form(scan, name, text, size, escaped) || tag_form(scan, name, text, size, escaped);
    const bool record = !form && !escaped && gpg_form(scan, name, line, length, legacy);
    if (scan.lines.taken || record) {
        tolerant_taken(scan);
    } else if (form) {
        tolerant_other_entry(scan, line, length, legacy);
    } else {
        tolerant_line(scan, line, length, legacy, false);
    }
}

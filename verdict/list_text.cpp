// A checksum list's text into lines: byte order marks, UTF-16, line ends,
// and which lines are in the legacy character set.
#include "list_text.h"

#include <cstring>

#include "list_lines.h"
#include "utf8.h"

namespace
{

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
        const bool legacy = scan.encoding == ListEncoding::bytes && !utf8_valid(scan.line, length);
        list_lines_read(scan, scan.line, length, legacy);
    }
    scan.length = 0;
    scan.overflow = false;
}

// The first CR or LF in bytes[0..size-1], or nullptr.
const unsigned char* line_end(const unsigned char* bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (bytes[i] == '\n' || bytes[i] == '\r') {
            return bytes + i;
        }
    }
    return nullptr;
}

void feed_bytes(ChecksumScan& scan, const unsigned char* bytes, std::size_t size)
{
    while (size > 0) {
        if (scan.after_cr && *bytes == '\n') {
            ++bytes; // the LF of CR LF
            --size;
            scan.after_cr = false;
            continue;
        }
        scan.after_cr = false;
        const unsigned char* end = line_end(bytes, size);
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
        scan.after_cr = *end == '\r';
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
        const std::uint32_t unit = scan.encoding == ListEncoding::utf16_le
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
        const bool lf_of_crlf = scan.after_cr && unit == '\n';
        scan.after_cr = unit == '\r';
        if (unit >= 0xD800 && unit < 0xDC00) {
            scan.high = unit;
        } else if ((unit == '\n' && !lf_of_crlf) || unit == '\r') {
            end_line(scan);
        } else if (!lf_of_crlf) {
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
        scan.encoding = ListEncoding::utf16_le;
        skip = 2;
    } else if (count >= 2 && s[0] == 0xFE && s[1] == 0xFF) {
        scan.encoding = ListEncoding::utf16_be;
        skip = 2;
    } else if (count == 3 && s[0] != 0 && s[0] < 0x80 && s[1] == 0 && s[2] != 0) {
        scan.encoding = ListEncoding::utf16_le; // no byte order mark: "H\0e"
    } else if (count == 3 && s[0] == 0 && s[1] != 0 && s[1] < 0x80 && s[2] == 0) {
        scan.encoding = ListEncoding::utf16_be; // "\0H\0"
    } else {
        scan.encoding = ListEncoding::bytes;
        skip = count == 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF ? 3 : 0;
    }
    checksum_scan_feed(scan, s + skip, count - skip);
}

} // namespace

void checksum_scan_start(ChecksumScan& scan, const ChecksumTarget& target, ListName list)
{
    scan.target = &target;
    scan.list = list;
    scan.encoding = ListEncoding::unknown;
    scan.start_count = 0;
    scan.has_odd = false;
    scan.high = 0;
    scan.length = 0;
    scan.overflow = false;
    scan.after_cr = false;
    scan.seen = nullptr;
    scan.seen_context = nullptr;
    list_lines_start(scan.lines, list.armored);
    checksum_tally_clear(scan.tally);
}

void checksum_scan_feed(ChecksumScan& scan, const unsigned char* bytes, std::size_t size)
{
    while (scan.encoding == ListEncoding::unknown && size > 0) {
        scan.start[scan.start_count++] = *bytes++;
        --size;
        if (scan.start_count == sizeof scan.start) {
            take_start(scan);
        }
    }
    if (scan.encoding == ListEncoding::bytes) {
        feed_bytes(scan, bytes, size);
    } else if (scan.encoding != ListEncoding::unknown) {
        feed_utf16(scan, bytes, size);
    }
}

void checksum_scan_end(ChecksumScan& scan, bool whole)
{
    if (scan.encoding == ListEncoding::unknown) {
        take_start(scan);
    }
    if (!whole) {
        scan.lines.record = RecordForm::none; // a record may go on in the part not read
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
    list_lines_end_record(scan);
}

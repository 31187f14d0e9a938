// Reading one checksum list: its text, which arrives in pieces of any size,
// into lines. Lines are UTF-8 with or without a byte order mark, UTF-16 LE
// or BE with one or without (text that starts with an ASCII character), or
// text in the legacy character set; LF, CR LF or CR alone ends a line.
#pragma once

#include <cstddef>
#include <cstdint>

#include "entries.h"
#include "list_lines.h"
#include "list_names.h"
#include "target.h"

// Longest line of a list read, in UTF-8; a longer one is passed over whole.
inline constexpr std::size_t checksum_line_capacity = 4096;

// How the list's text is encoded, as its first bytes tell.
enum class ListEncoding : std::uint8_t {
    unknown,  // not yet: fewer than three bytes read
    bytes,    // UTF-8, or a legacy character set where a line is not UTF-8
    utf16_le, // UTF-16, little-endian
    utf16_be  // UTF-16, big-endian
};

// The state of reading one list.
struct ChecksumScan {
    const ChecksumTarget* target;
    ListName list;
    ListEncoding encoding;
    unsigned char start[3]; // the first bytes, until the encoding is known
    std::size_t start_count;
    unsigned char odd; // the first byte of a UTF-16 unit
    bool has_odd;
    std::uint32_t high; // a UTF-16 high surrogate waiting for its pair
    char line[checksum_line_capacity];
    std::size_t length;
    bool overflow; // the line is too long and is passed over
    bool after_cr; // the last line ended in CR: an LF next ends no line
    ListLines lines;
    ChecksumTally tally;
    // Shown every entry the lines give before it is counted (nullptr: none):
    // how a list was read, for tests and tools.
    void (*seen)(void* context, const Entry& entry);
    void* seen_context;
};

// Starts reading a list classified as `list` for `target`.
void checksum_scan_start(ChecksumScan& scan, const ChecksumTarget& target, ListName list);

// Reads bytes[0..size-1], the next piece of the list's text.
void checksum_scan_feed(ChecksumScan& scan, const unsigned char* bytes, std::size_t size);

// Ends the list: `whole` when its text was read to its end; otherwise the
// last, cut line is passed over. The result stands in scan.tally.
void checksum_scan_end(ChecksumScan& scan, bool whole);

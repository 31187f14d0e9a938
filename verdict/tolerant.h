// Reading what a person reads: a record that holds the file's name and one
// digest of the algorithm's length in any layout (a line, or a short block
// of neighbouring lines), besides the exact line forms of list_lines.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm.h"
#include "entries.h"

struct ChecksumScan;
enum class Stated; // text.h

// A digest found in a text: its place and its digits in lowercase.
struct DigestSpan {
    std::size_t start;
    std::size_t end;
    char hex[algorithm_max_digits + 1];
};

// Finds up to `room` digests of `digits` hexadecimal digits in
// text[0..length-1], each standing alone (not inside a longer word): the
// digits whole or in groups of two or more split by single spaces or colons,
// either case, maybe after "0x"; or base64 of the digest's bytes. Returns
// how many it wrote into found[]. Linear in the length.
std::size_t find_digests(const char* text, std::size_t length, std::size_t digits,
                         DigestSpan* found, std::size_t room);

// The algorithm text[0..length-1] names outside the spans [a0, a1) and
// [b0, b1) (empty spans allowed): this_one where any token names it, other
// where only others are named.
Stated stated_outside(const char* text, std::size_t length, const char* bits, std::size_t a0,
                      std::size_t a1, std::size_t b0, std::size_t b1);

// True when text[0..length-1] holds a token that looks like a file's name
// ("b.iso", "dist/app.exe", a URL's last part with an extension) outside
// [skip0, skip1).
bool names_a_file(const char* text, std::size_t length, std::size_t skip0, std::size_t skip1);

// What the lines before leave for a record over several lines.
enum class Pending : std::uint8_t { none, name, digest, other_name };
struct Tolerant {
    Stated section;     // the algorithm of the last section header ("# SHA512 HASH")
    std::uint32_t line; // lines read
    Pending pending;
    std::uint32_t pending_line;
    Stated pending_stated; // what the pending line itself states
    int pending_rank;
    char pending_hex[algorithm_max_digits + 1];
    char pending_path[checksum_path_capacity];
    std::size_t pending_path_length;
};

// Counts an entry the list's lines give into scan.tally, and shows it to
// scan.seen.
void checksum_scan_entry(ChecksumScan& scan, const Entry& entry);

// Starts the records of a list: no section, nothing pending.
void tolerant_start(Tolerant& tolerant);

// Reads one line, line[0..length-1], that no exact form took: an entry
// where it completes a record for the file (handed over with exact=false),
// a section header, or part of a record. `comment`: a line that starts with
// '#', read only as a section header.
void tolerant_line(ChecksumScan& scan, const char* line, std::size_t length, bool legacy,
                   bool comment);

// A line that an exact form took: it ends any record over several lines.
void tolerant_taken(ChecksumScan& scan);

// A line that an exact form read as another file's entry: read as
// tolerant_line does where the file's name stands in it as this reader
// finds names (in another case, under a browser's copy mark); otherwise, at
// little cost, it ends any record over several lines, as another file's
// record does.
void tolerant_other_entry(ChecksumScan& scan, const char* line, std::size_t length, bool legacy);

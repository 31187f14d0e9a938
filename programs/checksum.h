// Reading the digest a file is expected to have, from checksum lists, an
// argument or the clipboard. Pure functions over caller-owned structures:
// every text is untrusted, and any size, encoding or garbage gives an
// answer, never a read outside the text, and nothing is allocated.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest digest text (SHA-512), without its terminating NUL.
inline constexpr std::size_t checksum_max_digits = 128;

// Longest line of a list read, in UTF-8; a longer one is passed over whole.
inline constexpr std::size_t checksum_line_capacity = 4096;

// Longest entry path kept for showing where a match came from.
inline constexpr std::size_t checksum_path_capacity = 512;

// How a list's names are compared with the file's own: as Linux compares
// them (byte for byte, '/' between folders) or as Windows does (ASCII
// letters without case, '/' or '\' between folders).
enum class NameRule { exact, windows };

// The file whose entries are looked for, and the digest it has.
struct ChecksumTarget {
    const char* algorithm; // "SHA256", "SHA384" or "SHA512"
    std::size_t digits;    // 64, 96 or 128
    const char* digest;    // the printed digest: `digits` lowercase digits
    const char* name;      // the file's own name (last component), UTF-8
    std::size_t name_length;
    const char* legacy;        // the same in the legacy character set, or nullptr
    std::size_t legacy_length; // (compared with lines that are not UTF-8)
    NameRule rule;
};

// What a file's name makes of it: no list, a list of a folder, or one of
// the file's own (NAME.sha256, NAME.DIGEST, ...); and whether the name
// states this algorithm (SHA256SUMS, CHECKSUM.SHA256-..., NAME.sha256).
enum class ListKind { none, list, own };
struct ListName {
    ListKind kind;
    bool stated;
};

// Classifies the file name[0..length-1] of the file's folder for `target`.
// Names are compared without ASCII case; a browser's copy mark (" (1)",
// "(2)") before the last extension or at the end is passed over.
// Signatures (.asc, .sig, .gpg, ...), lists of another algorithm, the file
// itself and OTHER.sha256-style files of other files give none.
ListName checksum_list_name(const char* name, std::size_t length, const ChecksumTarget& target);

// What the entries read so far say of the file. Rank 2: an entry names the
// file itself (NAME, ./NAME, or any entry of its own list); rank 1: a path
// in a folder (win64/en-US/NAME); 0: no entry. Only the highest rank counts.
struct ChecksumTally {
    int rank;
    bool matched;                            // an entry of that rank equals the digest
    std::size_t match_list;                  // the caller's number of the first list matching
    char match_path[checksum_path_capacity]; // its entry's path, "" for a bare name
    std::uint32_t differing;                 // entries of that rank that differ
    bool one_expected;                       // all of them give the same digest, in expected[]
    char expected[checksum_max_digits + 1];
    std::size_t expected_list; // the caller's number of the list of expected[]
    bool several_lists;        // the differing entries stand in more than one list
    bool stated;               // every entry of that rank is of this algorithm by
                               // tag or list name, in a list read whole
    bool unstated;             // one of them is from a list that does not state it
};

// Clears a tally: no entry.
void checksum_tally_clear(ChecksumTally& tally);

// Adds the tally of one list (numbered `list` by the caller; `whole`: read
// to its end) to `total`. Lists added first win the place of the one named.
void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, bool whole,
                          std::size_t list);

// The state of reading one list: its text arrives in pieces of any size.
// Lines are UTF-8 with or without a byte order mark, UTF-16 LE or BE with
// one, or text in the legacy character set; LF or CR LF ends a line.
struct ChecksumScan {
    const ChecksumTarget* target;
    ListName list;
    std::uint8_t encoding;  // 0 not yet known, 1 bytes, 2 UTF-16 LE, 3 UTF-16 BE
    unsigned char start[3]; // the first bytes, until the encoding is known
    std::size_t start_count;
    unsigned char odd; // the first byte of a UTF-16 unit
    bool has_odd;
    std::uint32_t high; // a UTF-16 high surrogate waiting for its pair
    char line[checksum_line_capacity];
    std::size_t length;
    bool overflow;     // the line is too long and is passed over
    bool in_signature; // inside a PGP signature block
    // A record over several lines (gpg --print-md, PowerShell's list form).
    std::uint8_t record;     // 0 none, 1 gpg, 2 PowerShell list
    int record_rank;         // gpg: the rank of its name
    bool record_stated;      // list: its algorithm is this one
    std::uint8_t record_key; // list: the key read last: 0 none, 1 Hash, 2 Path
    bool record_legacy;
    char record_hex[checksum_max_digits + 1];
    std::size_t record_digits; // digits so far; more than `digits` spoils it
    char record_path[checksum_path_capacity];
    ChecksumTally tally;
};

// Starts reading a list classified as `list` for `target`.
void checksum_scan_start(ChecksumScan& scan, const ChecksumTarget& target, ListName list);

// Reads bytes[0..size-1], the next piece of the list's text.
void checksum_scan_feed(ChecksumScan& scan, const unsigned char* bytes, std::size_t size);

// Ends the list: `whole` when its text was read to its end; otherwise the
// last, cut line is passed over. The result stands in scan.tally.
void checksum_scan_end(ChecksumScan& scan, bool whole);

// What an argument or the clipboard's text holds.
enum class Argument {
    digest,          // a digest for this file, in expected[]
    wrong_length,    // hexadecimal digits of another count
    other_algorithm, // a digest marked as another algorithm ("sha512:...")
    other_file,      // a checksum line for another file
    none             // no digest at all
};

// Reads text[0..size-1]: one digest (either case, white space anywhere
// ignored), "sha256:HEX", "SHA256: HEX", "SHA-256 HEX", or a checksum line
// ("HEX  NAME", "SHA256 (NAME) = HEX", ...) naming the file. On `digest`
// writes it in lowercase with a NUL into expected[0..digits]. `scan` is
// room to read the text in.
Argument checksum_argument(const char* text, std::size_t size, const ChecksumTarget& target,
                           ChecksumScan& scan, char* expected);

// The line forms of checksum lists, read one whole line at a time.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm.h"
#include "entries.h"
#include "tolerant.h"

struct ChecksumScan;

// A record over several lines: gpg --print-md's digits in groups, or
// PowerShell's list form (Format-List).
enum class RecordForm : std::uint8_t { none, gpg, powershell_list };

// PowerShell's list form: the key read last, whose value an indented line
// goes on with.
enum class RecordKey : std::uint8_t { none, hash, path };

// Where the lines stand in PGP armor: none yet, an armored file (.asc)
// whose first line is still to decide whether it is a list, the armor's
// header lines ("Hash: SHA256"), its text, or no list (a signature).
enum class Armor : std::uint8_t { none, undecided, header, text, refused };

// What the lines read so far leave for the next ones.
struct ListLines {
    bool in_signature; // inside a PGP signature block
    Armor armor;
    bool taken; // an exact form took the line as an entry for the file
    RecordForm record;
    int record_rank;      // gpg: the rank of its name
    bool record_stated;   // PowerShell's list: its algorithm is this one
    RecordKey record_key; // PowerShell's list
    bool record_legacy;   // its lines are in the legacy character set
    char record_hex[algorithm_max_digits + 1];
    std::size_t record_digits; // digits so far; more than the algorithm's spoils it
    char record_path[checksum_path_capacity];
    Tolerant tolerant; // records the exact forms do not read
};

// Starts the lines of a list: no signature block, no record; `armored`:
// the list is a candidate by its name (.asc) that its first line decides.
void list_lines_start(ListLines& lines, bool armored);

// Reads one whole line, line[0..length-1] (modified in place), of the list
// that `scan` reads: its entries go into scan.tally. `legacy`: the line is
// in the legacy character set (it is not UTF-8).
void list_lines_read(ChecksumScan& scan, char* line, std::size_t length, bool legacy);

// Ends the record that the last lines began: an entry where its digest is
// whole.
void list_lines_end_record(ChecksumScan& scan);

// Entries of checksum lists for the file: how an entry's path names it,
// and the tally of what the entries say.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm.h"
#include "target.h"

// Longest entry path kept for showing where a match came from.
inline constexpr std::size_t checksum_path_capacity = 512;

// How an entry's path names the file.
inline constexpr int rank_none = 0;   // another file
inline constexpr int rank_folder = 1; // a path in a folder (win64/en-US/NAME)
inline constexpr int rank_name = 2;   // the name itself (NAME, ./NAME, any entry of its own list)

// Why a difference is no proof that the file is broken, closest to proof
// first. none: it is proof. From the entries and their lists: cut (a list
// not read whole), older and newer (a list's last write more than 12 hours
// from the file's), other_thing (a list whose name says it describes
// something else), unstated (the algorithm not stated), not_exact (an entry
// not read by the exact line forms), folders_only (only entries for other
// folders). From the lookup: no_permission (a list could not be opened),
// too_many (more lists than are read), budget and time_limit (the lookup
// stopped). From the clipboard: not_tied.
enum class Doubt : std::uint8_t {
    none,
    cut,
    older,
    newer,
    other_thing,
    unstated,
    not_exact,
    folders_only,
    no_permission,
    too_many,
    budget,
    time_limit,
    not_tied
};

// A doubt, with the days between the list and the file for older and newer.
struct Why {
    Doubt doubt;
    std::int64_t days;
};

// How many of the lists with an equal entry a tally keeps.
inline constexpr std::size_t tally_match_lists = 4;

// What the entries read so far say of the file: any entry that equals the
// digest, and the entries of the highest rank among those that differ.
struct ChecksumTally {
    int rank;                                   // the highest rank of any entry; rank_none: none
    bool matched;                               // an entry of any rank equals the digest
    int match_rank;                             // the highest rank of those
    std::size_t match_list;                     // the caller's number of the first list with it
    std::size_t match_lists[tally_match_lists]; // the first lists with one
    std::size_t match_count;                    // how many of match_lists[] are set
    char match_path[checksum_path_capacity];    // its entry's path, "" for a bare name
    int differ_rank;                            // the highest rank of the entries that differ
    std::uint32_t differing;                    // entries of that rank that differ
    bool one_expected;                          // all of them give the same digest, in expected[]
    char expected[algorithm_max_digits + 1];
    std::size_t expected_list; // the caller's number of the list of expected[]
    bool several_lists;        // the differing entries stand in more than one list
    bool proof; // a differing entry names the file itself, read by an exact form, with
                // its algorithm stated (merged: in a list read whole, written within
                // 12 hours of the file, that describes no other thing)
    Why why;    // without proof: why, for the entry closest to proof
};

// Clears a tally: no entry.
void checksum_tally_clear(ChecksumTally& tally);

// One entry a reader found for the file, as it found it.
struct Entry {
    int rank;         // how its path names the file: rank_name or rank_folder
    bool stated;      // the entry, a section header above it or its list's name
                      // states this algorithm
    bool exact;       // read by one of the exact line forms, naming the file's own
                      // name (not through a browser's copy mark on it)
    const char* hex;  // the digest it gives: digits lowercase hexadecimal digits
    const char* path; // its path, path[0..path_length-1], kept where it names a folder
    std::size_t path_length;
};

// Counts one entry into a list's tally.
void checksum_tally_add(ChecksumTally& tally, const ChecksumTarget& target, const Entry& entry);

// What the caller knows of one list as a whole.
struct ListFacts {
    bool whole;           // read to its end
    Why time;             // Doubt::none, or older or newer than the file
    bool describes_other; // its name says it describes something else
};

// The doubt that the times `list` and `file` (100-nanosecond ticks, as
// platform_list_time gives them) cast: none within 12 hours of each other
// either way, else older or newer with the days between them, rounded up.
Why checksum_time_doubt(std::int64_t list, std::int64_t file);

// Adds the tally of one list (numbered `list` by the caller; `facts`: what
// is known of it) to `total`. Lists added first win the place of the one
// named.
void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, const ListFacts& facts,
                          std::size_t list);

// How the entry's path entry[0..length-1] names the file name[0..name_length-1]
// under `rule`: rank_name, rank_folder or rank_none. `backslash`: '\' too
// separates folders; `legacy`: the entry is in the legacy (double-byte)
// character set.
int checksum_entry_rank(const char* entry, std::size_t length, const char* name,
                        std::size_t name_length, NameRule rule, bool backslash, bool legacy);

// Copies path[0..length-1], cut to checksum_path_capacity - 1 bytes, with a
// NUL into out.
void checksum_copy_path(char* out, const char* path, std::size_t length);

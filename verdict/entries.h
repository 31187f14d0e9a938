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

// What the entries read so far say of the file. Only the highest rank
// counts.
struct ChecksumTally {
    int rank;
    bool matched;                            // an entry of that rank equals the digest
    std::size_t match_list;                  // the caller's number of the first list matching
    char match_path[checksum_path_capacity]; // its entry's path, "" for a bare name
    std::uint32_t differing;                 // entries of that rank that differ
    bool one_expected;                       // all of them give the same digest, in expected[]
    char expected[algorithm_max_digits + 1];
    std::size_t expected_list; // the caller's number of the list of expected[]
    bool several_lists;        // the differing entries stand in more than one list
    bool all_stated_whole;     // every entry of that rank states this algorithm
                               // (by its tag or its list's name), in a list read whole
    bool some_unstated;        // some entry of that rank stands in a list that
                               // does not state the algorithm
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

// Adds the tally of one list (numbered `list` by the caller; `whole`: read
// to its end) to `total`. Lists added first win the place of the one named.
void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, bool whole,
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

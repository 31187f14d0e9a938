// The verdict: whether the digest a program has just printed is the one the
// file is expected to have, shown on the console only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "algorithm.h"
#include "entries.h"
#include "list_names.h"
#include "list_text.h"
#include "messages.h"
#include "target.h"

// Longest file name looked for, and the lists read at the most.
inline constexpr std::size_t verdict_name_capacity = 1024;
inline constexpr std::size_t verdict_max_lists = 64;

// The lists found beside a file, newest first.
struct FolderList {
    std::int64_t time;
    ListName kind;
    char name[verdict_name_capacity];
};
struct FolderLists {
    FolderList lists[verdict_max_lists];
    std::size_t count;
    std::size_t dropped; // lists beyond verdict_max_lists, left out
};

// How much a lookup reads at the most: bytes over all lists, and the time
// after which it stops. verdict_limits are the programs' own.
struct LookupLimits {
    std::uint64_t bytes;
    std::uint32_t milliseconds;
};
inline constexpr LookupLimits verdict_limits{std::uint64_t{64} << 20, 1000};

// What a lookup could not read: lists that could not be opened, and
// whether it stopped at its limit of bytes or of time.
struct LookupGaps {
    std::size_t unreadable;
    bool budget;
    bool time;
};

// The room a verdict works in, kept by the caller off the stack (the
// programs' fixed buffers): the lists found, a buffer to read one through,
// the state of reading one text (an argument, a list, the clipboard's),
// the tally of what they say, and the room of the lines shown.
struct VerdictRoom {
    FolderLists lists;
    unsigned char read_buffer[65536];
    ChecksumScan scan;
    ChecksumTally tally;
    LookupGaps gaps;
    ChecksumTally argument;
    MessageRoom message;
};

// When standard error is a terminal (a console on Windows), looks for the
// digest the file at `path` is expected to have and says there whether
// `digest` (algorithm.digits lowercase hexadecimal digits) is that one.
// `argument` is the program's second, or nullptr: a digest labelled with
// this algorithm decides alone; a bare digest or a checksum list given
// there decides where it equals the digest, and otherwise with the checksum
// lists beside the file (verdict_lookup), then, on Windows, the clipboard:
// any equal entry is a match; a mismatch in red needs proof, and anything
// short of it is a difference in yellow with its reason. `unused`:
// arguments after the second, which one line counts. It works in `room`.
// Nothing goes to standard output, and nothing can fail.
void verdict_show(const char* path, const char* argument, int unused, const Algorithm& algorithm,
                  const char* digest, VerdictRoom& room);

// When standard error is a terminal (a console on Windows), says there in
// Japanese and English how `program` ("hash256") is used, for a run
// started without a file (message_usage). It works in `room`. Nothing goes
// to standard output, and nothing can fail.
void verdict_usage(const char* program, VerdictRoom& room);

// The lists beside the file at `path` for `target`: its folder listed once,
// the lists among its files (checksum_list_name), the 64 newest read,
// newest first, each up to 16 MiB, until `limits` are reached. Their names
// go into room.lists, their entries into room.tally (the lists numbered
// from 0 as in room.lists.lists[], each list's time compared with the
// file's), what was left unread into room.gaps. Returns how many were
// found.
std::size_t verdict_lookup(const char* path, const ChecksumTarget& target, VerdictRoom& room,
                           const LookupLimits& limits);

// Why the lookup cannot prove a difference: Doubt::none when it read every
// list it found (room.lists.dropped, room.gaps).
Why verdict_lookup_doubt(const VerdictRoom& room);

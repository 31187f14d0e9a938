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
    MessageRoom message;
};

// When standard error is a terminal (a console on Windows), looks for the
// digest the file at `path` is expected to have and says there whether
// `digest` (algorithm.digits lowercase hexadecimal digits) is that one.
// `argument` (the program's second, or nullptr), when it is a digest, a
// checksum line naming the file or a checksum list with an entry for it,
// decides alone; otherwise a line says why it was not used, and the
// checksum lists beside the file decide (verdict_lookup), then, on Windows,
// the clipboard. `unused`: arguments after the second, which one line
// counts. It works in `room`. Nothing goes to standard output, and nothing
// can fail.
void verdict_show(const char* path, const char* argument, int unused, const Algorithm& algorithm,
                  const char* digest, VerdictRoom& room);

// When standard error is a terminal (a console on Windows), says there in
// Japanese and English how `program` ("hash256") is used, for a run
// started without a file (message_usage). It works in `room`. Nothing goes
// to standard output, and nothing can fail.
void verdict_usage(const char* program, VerdictRoom& room);

// The lists beside the file at `path` for `target`: its folder listed once,
// the lists among its files (checksum_list_name), the 64 newest read,
// newest first, each up to 16 MiB. Their names go into room.lists, their
// entries into room.tally, the lists numbered from 0 as in room.lists.lists[].
// Returns how many were read.
std::size_t verdict_lookup(const char* path, const ChecksumTarget& target, VerdictRoom& room);

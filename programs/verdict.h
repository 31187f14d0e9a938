// The verdict: whether the digest a program has just printed is the one the
// file is expected to have, shown on the console only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "checksum.h"

// When standard error is a terminal (a console on Windows), looks for the
// digest the file at `path` is expected to have and says there whether
// `digest` (lowercase hexadecimal, of `algorithm`: "SHA256", "SHA384" or
// "SHA512") is that one. `argument` (the program's second, or nullptr), when
// it is a digest, a checksum line naming the file or a checksum list with an
// entry for it, decides alone; otherwise a line says why it was not used,
// and the checksum lists beside the file decide (verdict_lookup), then, on
// Windows, the clipboard. `unused`: arguments after the second, which one
// line counts. Nothing goes to standard output, and nothing can fail.
void verdict_show(const char* path, const char* argument, int unused, const char* algorithm,
                  const char* digest);

// When standard error is a terminal (a console on Windows), says there in
// Japanese and English how `program` ("hash256") is used, for a run
// started without a file: on Windows by dropping a file on it or its
// shortcut, the Explorer menu install.cmd adds, or the command line;
// elsewhere the command line. Ends with an empty line. Nothing goes to
// standard output, and nothing can fail.
void verdict_usage(const char* program);

// The lists beside the file at `path` for `target`: its folder listed once,
// the lists among its files (checksum_list_name), the 64 newest read,
// newest first, each up to 16 MiB. Their entries go into `total`, the
// lists numbered from 0, newest first. Returns how many were read.
std::size_t verdict_lookup(const char* path, const ChecksumTarget& target, ChecksumTally& total);

// The name of list number `list` of the last verdict_lookup.
const char* verdict_list_name(std::size_t list);

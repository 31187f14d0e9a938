// The file whose digest the verdict looks for, as every part of it sees the
// file. The verdict's parts are pure functions over caller-owned
// structures: every text is untrusted, and any size, encoding or garbage
// gives an answer, never a read outside the text, and nothing is allocated.
#pragma once

#include <cstddef>

#include "algorithm.h"

// How a list's names are compared with the file's own: as Linux compares
// them (byte for byte, '/' between folders) or as Windows does (ASCII
// letters without case, '/' or '\' between folders).
enum class NameRule { exact, windows };

// The file whose entries are looked for, and the digest it has.
struct ChecksumTarget {
    Algorithm algorithm;
    const char* digest; // the printed digest: algorithm.digits lowercase digits
    const char* name;   // the file's own name (last component), UTF-8
    std::size_t name_length;
    const char* legacy;        // the same in the legacy character set, or nullptr
    std::size_t legacy_length; // (compared with lines that are not UTF-8)
    NameRule rule;
};

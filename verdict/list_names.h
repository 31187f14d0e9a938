// Which file names of the file's folder are checksum lists, and what their
// names state.
#pragma once

#include <cstddef>

#include "target.h"

// What a file's name makes of it: no list, a list of a folder, or one of
// the file's own (NAME.sha256, NAME.DIGEST, ...); and whether the name
// states this algorithm (SHA256SUMS, CHECKSUM.SHA256-..., NAME.sha256).
enum class ListKind { none, list, own };
struct ListName {
    ListKind kind;
    bool states_algorithm;
    bool describes_other; // the name says it describes something else
                          // (an unsigned build, ...): no proof against the file
    bool armored = false; // PGP armor (.asc): a list only where its text is
                          // clear-signed, which the list's first line tells
};

// Classifies the file name[0..length-1] of the file's folder for `target`.
// Names are compared without ASCII case; a browser's copy mark (" (1)",
// "(2)") before the last extension or at the end is passed over.
// Signatures (.asc, .sig, .gpg, ...), lists of another algorithm, the file
// itself and OTHER.sha256-style files of other files give none.
ListName checksum_list_name(const char* name, std::size_t length, const ChecksumTarget& target);

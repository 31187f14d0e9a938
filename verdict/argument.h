// What the program's second argument or the clipboard's text says of the
// digest.
#pragma once

#include <cstddef>

#include "list_text.h"
#include "target.h"

// What an argument or the clipboard's text holds.
enum class Argument {
    labelled,        // a digest labelled with this program's algorithm
                     // ("SHA-256: HEX", "sha256-BASE64"), in expected[]
    digest,          // a digest for this file, not so labelled, in expected[]
    wrong_length,    // hexadecimal digits of another count
    other_algorithm, // a digest marked as another algorithm ("sha512:...")
    other_file,      // a checksum line for another file
    none             // no digest at all
};

// Reads text[0..size-1]: one digest (either case, white space anywhere
// ignored), "sha256:HEX", "SHA256: HEX", "SHA-256 HEX", or a checksum line
// ("HEX  NAME", "SHA256 (NAME) = HEX", ...) naming the file. On
// `labelled` or `digest` writes it in lowercase with a NUL into
// expected[0..digits]. `scan` is the
// caller's room to read the text in.
Argument checksum_argument(const char* text, std::size_t size, const ChecksumTarget& target,
                           ChecksumScan& scan, char* expected);

// Reading the digest a file is expected to have, from the text of a checksum
// file, an argument or the clipboard. Pure functions over caller-owned
// buffers: the text is untrusted, and any size, encoding or garbage gives an
// answer, never a read outside the text.
#pragma once

#include <cstddef>

// The longest digest text (SHA-512), without its terminating NUL.
inline constexpr std::size_t checksum_max_digits = 128;

// How a checksum file's names are compared with the file's own: as Linux
// compares them (byte for byte, '/' between folders) or as Windows does
// (ASCII letters without case, '/' or '\' between folders).
enum class NameRule { exact, windows };

// What a checksum file says of one file.
enum class Entry { none, found, conflict };

// Looks through text[0..size-1] for the digest the file named `name`
// (name_length bytes, its last path component) has under `algorithm`
// ("SHA256", "SHA384" or "SHA512"), a digest of `digits` hexadecimal digits.
// Lines read: "<hex>  <name>" and "<hex> *<name>" (with the backslash-escaped
// form), "<ALGORITHM> (<name>) = <hex>", and, where `bare` is set (a file
// that names one file), a line that holds only a digest. Of a name in a line
// only its last component counts. The text is UTF-8, with or without a byte
// order mark, or UTF-16 LE with one; lines end in LF or CR LF. A line that is
// too long, for another file, another algorithm or another length, or that
// cannot be read, is passed over.
// Returns found, with the digest in lowercase and a NUL in
// expected[0..digits]; conflict when the entries for the file disagree;
// none when there is no entry for it.
Entry checksum_find(const unsigned char* text, std::size_t size, const char* algorithm,
                    std::size_t digits, const char* name, std::size_t name_length, bool bare,
                    NameRule rule, char* expected);

// True when text[0..size-1] is one digest of `digits` hexadecimal digits in
// either case, with white space around it ignored, or with white space
// anywhere ignored where `anywhere` is set (a digest copied across lines).
// Writes it in lowercase, with a NUL, into expected[0..digits].
bool checksum_digest(const char* text, std::size_t size, std::size_t digits, bool anywhere,
                     char* expected);

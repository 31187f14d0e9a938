// Text helpers of the verdict: character classes, hexadecimal digits,
// words without ASCII case, algorithm tokens and names under a rule.
#pragma once

#include <cstddef>

#include "target.h"

inline bool is_space(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

inline bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of a hexadecimal digit of either case, or -1.
inline int hex_value(unsigned char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

inline constexpr char lowercase_hex[] = "0123456789abcdef";

// An ASCII letter in lowercase; any other byte as it is.
inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// True when text[0..length-1] begins with (contains, ends with) `word`
// (lowercase), without ASCII case.
bool starts_with(const char* text, std::size_t length, const char* word);
bool contains(const char* text, std::size_t length, const char* word);
bool ends_with(const char* text, std::size_t length, const char* word);

// True when text[0..digits-1] are hexadecimal digits, copied in lowercase
// with a NUL into out[0..digits].
bool take_hex(const char* text, std::size_t digits, char* out);

// Which algorithm a token or a name states.
enum class Stated { none, this_one, other };

// The algorithm a token at text[0..length-1] names, for the algorithm of
// `bits` ("256"); `used` is the token's length where one is named. Read:
// SHA256, SHA-256, sha_256, SHA2-256, SHASUMS256, SHA1, SHA3-..., MD5,
// BLAKE2..., B2SUM.
Stated algorithm_at(const char* text, std::size_t length, const char* bits, std::size_t& used);

// Compares a[0..count-1] with b[0..count-1]; under the Windows rule ASCII
// letters match without case where neither follows a non-ASCII byte (a
// double-byte character's second byte may look like a letter).
bool same_name(const char* a, const char* b, std::size_t count, NameRule rule);

// An ASCII letter or digit.
inline bool is_alnum(char c)
{
    return is_digit(c) || (lower(c) >= 'a' && lower(c) <= 'z');
}

// Finds a browser's copy mark in name[0..length-1]: " (N)" or "(N)" at the
// end or before the last extension ("a (1).iso", "SHA256SUMS(2)"). True
// with its place in [start, end).
bool copy_mark(const char* name, std::size_t length, std::size_t& start, std::size_t& end);

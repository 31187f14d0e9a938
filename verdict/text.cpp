// Text helpers of the verdict.
#include "text.h"

#include <cstring>
#include <initializer_list>

bool starts_with(const char* text, std::size_t length, const char* word)
{
    const std::size_t count = std::strlen(word);
    if (length < count) {
        return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (lower(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

bool contains(const char* text, std::size_t length, const char* word)
{
    for (std::size_t at = 0; at < length; ++at) {
        if (starts_with(text + at, length - at, word)) {
            return true;
        }
    }
    return false;
}

bool ends_with(const char* text, std::size_t length, const char* word)
{
    const std::size_t count = std::strlen(word);
    return length >= count && starts_with(text + length - count, count, word);
}

bool take_hex(const char* text, std::size_t digits, char* out)
{
    for (std::size_t i = 0; i < digits; ++i) {
        const int value = hex_value(static_cast<unsigned char>(text[i]));
        if (value < 0) {
            return false;
        }
        out[i] = lowercase_hex[value];
    }
    out[digits] = '\0';
    return true;
}

Stated algorithm_at(const char* text, std::size_t length, const char* bits, std::size_t& used)
{
    std::size_t i = 0;
    if (starts_with(text, length, "sha")) {
        i = 3;
        if (starts_with(text + i, length - i, "sums")) {
            i += 4;
        } else if (i < length && (text[i] == '-' || text[i] == '_')) {
            ++i;
        }
        if (i + 1 < length && text[i] == '2' && (text[i + 1] == '-' || text[i + 1] == '_')) {
            i += 2;
        }
        const std::size_t start = i;
        while (i < length && is_digit(text[i])) {
            ++i;
        }
        if (i == start) {
            return Stated::none;
        }
        used = i;
        return i - start == std::strlen(bits) && std::memcmp(text + start, bits, i - start) == 0
                   ? Stated::this_one
                   : Stated::other;
    }
    for (const char* other : {"md5", "blake", "b2sum", "crc32", "xxh"}) {
        if (starts_with(text, length, other)) {
            used = std::strlen(other);
            while (
                used < length
                && (is_digit(text[used]) || lower(text[used]) == 'b' || lower(text[used]) == 's')) {
                ++used;
            }
            return Stated::other;
        }
    }
    return Stated::none;
}

bool same_name(const char* a, const char* b, std::size_t count, NameRule rule)
{
    bool ascii = true;
    for (std::size_t i = 0; i < count; ++i) {
        const bool fold = rule == NameRule::windows && ascii;
        if (fold ? lower(a[i]) != lower(b[i]) : a[i] != b[i]) {
            return false;
        }
        ascii = static_cast<unsigned char>(a[i]) < 0x80;
    }
    return true;
}

bool copy_mark(const char* name, std::size_t length, std::size_t& start, std::size_t& end)
{
    std::size_t dot = length;
    while (dot > 0 && name[dot - 1] != '.') {
        --dot;
    }
    for (const std::size_t close : {length, dot > 0 ? dot - 1 : length}) {
        if (close < 3 || name[close - 1] != ')') {
            continue;
        }
        std::size_t open = close - 1;
        while (open > 0 && is_digit(name[open - 1])) {
            --open;
        }
        if (open == close - 1 || open < 2 || name[open - 1] != '(') {
            continue;
        }
        --open;
        if (name[open - 1] == ' ') {
            --open;
        }
        start = open;
        end = close;
        return true;
    }
    return false;
}

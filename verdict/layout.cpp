// Laying out the verdict: display widths and line breaks.
#include "layout.h"

#include <cstdint>
#include <cstring>

namespace
{

// The bytes and columns of the character at text[0..length-1].
std::size_t character(const char* text, std::size_t length, bool sjis, unsigned& columns)
{
    const auto c = static_cast<unsigned char>(text[0]);
    columns = 1;
    if (sjis) {
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (lead && length >= 2) {
            columns = 2;
            return 2;
        }
        return 1;
    }
    const std::size_t count = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (count > length) {
        return 1;
    }
    std::uint32_t point = count == 1   ? c
                          : count == 2 ? (c & 0x1FU)
                          : count == 3 ? (c & 0x0FU)
                                       : (c & 0x07U);
    for (std::size_t i = 1; i < count; ++i) {
        point = (point << 6U) | (static_cast<unsigned char>(text[i]) & 0x3FU);
    }
    // East Asian wide and fullwidth ranges.
    const bool wide =
        (point >= 0x1100 && point <= 0x115F) || (point >= 0x2E80 && point <= 0xA4CF)
        || (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF)
        || (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60)
        || (point >= 0xFFE0 && point <= 0xFFE6) || (point >= 0x1F300 && point <= 0x1F64F)
        || (point >= 0x20000 && point <= 0x3FFFD);
    columns = wide ? 2 : 1;
    return count;
}

bool is_comma(const char* text, std::size_t length, bool sjis)
{
    return sjis ? length >= 2 && text[0] == '\x81' && text[1] == '\x41'
                : length >= 3 && std::memcmp(text, "\xE3\x80\x81", 3) == 0;
}

} // namespace

unsigned layout_width(const char* text, std::size_t length, bool sjis)
{
    unsigned total = 0;
    for (std::size_t at = 0; at < length;) {
        unsigned columns = 0;
        at += character(text + at, length - at, sjis, columns);
        total += columns;
    }
    return total;
}

bool layout_wrap(const char* in, bool sjis, unsigned columns, unsigned console, char* out,
                 std::size_t size)
{
    if (size == 0) {
        return false;
    }
    const std::size_t length = std::strlen(in);
    std::size_t written = 0;
    unsigned column = 0;
    const auto put = [&](const char* text, std::size_t count) {
        if (written + count >= size) {
            return false;
        }
        std::memcpy(out + written, text, count);
        written += count;
        return true;
    };
    bool fits = true;
    std::size_t at = 0;
    while (fits && at < length) {
        if (in[at] == '\n') {
            fits = put("\n", 1);
            column = 0;
            ++at;
            continue;
        }
        // The spaces before a word, then the word: up to a space, a line
        // end, a "[", or just after a "、".
        std::size_t spaces = 0;
        while (at + spaces < length && in[at + spaces] == ' ') {
            ++spaces;
        }
        std::size_t end = at + spaces;
        unsigned width = 0;
        while (end < length && in[end] != ' ' && in[end] != '\n'
               && (in[end] != '[' || end == at + spaces || in[end - 1] == '\x01')) {
            unsigned w = 0;
            const bool comma = is_comma(in + end, length - end, sjis);
            end += character(in + end, length - end, sjis, w);
            width += w;
            if (comma) {
                break;
            }
        }
        if (column > 0 && column + spaces + width > columns) {
            fits = put("\n", 1);
            column = 0;
        } else {
            fits = put(in + at, spaces);
            column += static_cast<unsigned>(spaces);
        }
        // A no-break mark inside a label shows as a space.
        for (std::size_t i = at + spaces; fits && i < end; ++i) {
            fits = put(in[i] == '\x01' ? " " : in + i, 1);
        }
        column += width;
        if (column > columns && console > 0) {
            column %= console; // the console wraps a long word at its width
        }
        at = end;
    }
    out[written] = '\0';
    return fits;
}

// Laying out the verdict: display widths and line breaks.
#include "layout.h"

#include <cstdint>
#include <cstring>

namespace
{

// A character as the layout sees it: its bytes, its columns, and its code
// (the Shift-JIS code of a double-byte character, else the Unicode point).
struct Glyph {
    std::size_t bytes;
    unsigned columns;
    std::uint32_t code;
};

// The character at text[0..length-1].
Glyph character(const char* text, std::size_t length, bool sjis)
{
    const auto c = static_cast<unsigned char>(text[0]);
    if (sjis) {
        const bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (lead && length >= 2) {
            return Glyph{2, 2, (std::uint32_t{c} << 8U) | static_cast<unsigned char>(text[1])};
        }
        return Glyph{1, 1, c};
    }
    const std::size_t count = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (count > length) {
        return Glyph{1, 1, c};
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
    return Glyph{count, wide ? 2U : 1U, point};
}

// A character as its Shift-JIS code and its Unicode point.
struct Both {
    std::uint16_t sjis;
    std::uint32_t point;
};

// Characters that never start a line: 、。」）ー and the small kana.
constexpr Both no_start[] = {{0x8141, 0x3001}, {0x8142, 0x3002}, {0x8176, 0x300D}, {0x816A, 0xFF09},
                             {0x815B, 0x30FC}, {0x829F, 0x3041}, {0x82A1, 0x3043}, {0x82A3, 0x3045},
                             {0x82A5, 0x3047}, {0x82A7, 0x3049}, {0x82C1, 0x3063}, {0x82E1, 0x3083},
                             {0x82E3, 0x3085}, {0x82E5, 0x3087}, {0x82EC, 0x308E}, {0x8340, 0x30A1},
                             {0x8342, 0x30A3}, {0x8344, 0x30A5}, {0x8346, 0x30A7}, {0x8348, 0x30A9},
                             {0x8362, 0x30C3}, {0x8383, 0x30E3}, {0x8385, 0x30E5}, {0x8387, 0x30E7},
                             {0x838E, 0x30EE}, {0x8395, 0x30F5}, {0x8396, 0x30F6}};
// Characters that never end a line: 「（ and '('.
constexpr Both no_end[] = {{0x8175, 0x300C}, {0x8169, 0xFF08}, {'(', '('}};
// Characters after which a line may break before any other: 、。.
constexpr Both stops[] = {{0x8141, 0x3001}, {0x8142, 0x3002}};

template <std::size_t count> bool among(const Both (&set)[count], const Glyph& glyph, bool sjis)
{
    for (const Both& both : set) {
        if (glyph.code == (sjis ? both.sjis : both.point)) {
            return true;
        }
    }
    return false;
}

// Whether a line may break between `before` and `after`, two characters
// that stand side by side with no space: between two Japanese (wide)
// characters, after 、 or 。, and before a '[' that no no-break mark
// joins; never before 、。」）ー or a small kana, never after 「（.
bool may_break(const Glyph& before, const Glyph& after, bool sjis)
{
    if (among(no_start, after, sjis) || among(no_end, before, sjis) || before.code == 0x01) {
        return false;
    }
    return (before.columns == 2 && after.columns == 2) || among(stops, before, sjis)
           || after.code == '[';
}

} // namespace

unsigned layout_width(const char* text, std::size_t length, bool sjis)
{
    unsigned total = 0;
    for (std::size_t at = 0; at < length;) {
        const Glyph glyph = character(text + at, length - at, sjis);
        at += glyph.bytes;
        total += glyph.columns;
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
        // end, or a place where a line may break (may_break).
        std::size_t spaces = 0;
        while (at + spaces < length && in[at + spaces] == ' ') {
            ++spaces;
        }
        std::size_t end = at + spaces;
        unsigned width = 0;
        // Text joined by a no-break mark is a label, never broken.
        std::size_t span = end;
        while (span < length && in[span] != ' ' && in[span] != '\n') {
            ++span;
        }
        const bool label = std::memchr(in + end, '\x01', span - end) != nullptr;
        Glyph before{0, 0, 0};
        while (end < span) {
            const Glyph glyph = character(in + end, length - end, sjis);
            if (!label && end > at + spaces && may_break(before, glyph, sjis)) {
                break;
            }
            end += glyph.bytes;
            width += glyph.columns;
            before = glyph;
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

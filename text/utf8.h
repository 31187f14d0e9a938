// Whether bytes are UTF-8: the one rule that every part of the programs
// uses. Header-only, standard library only, below the verdict and the
// platform.
#pragma once

#include <cstddef>

// True when text[0..length-1] is well-formed UTF-8 (RFC 3629): 0xC0, 0xC1
// and 0xF5 to 0xFF never lead a sequence, no sequence is overlong or cut
// short, and none encodes a surrogate (U+D800 to U+DFFF) or a code point
// above U+10FFFF. Reads nothing outside the text.
inline bool utf8_valid(const char* text, std::size_t length)
{
    for (std::size_t i = 0; i < length;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The sequence's length, and the range of its second byte, which
        // rules out the overlong forms, the surrogates and what lies past
        // U+10FFFF.
        std::size_t count = 0;
        unsigned low = 0x80;
        unsigned high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            count = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            count = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            count = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        }
        if (count == 0 || length - i < count) {
            return false;
        }
        const auto second = static_cast<unsigned char>(text[i + 1]);
        if (second < low || second > high) {
            return false;
        }
        for (std::size_t k = 2; k < count; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += count;
    }
    return true;
}

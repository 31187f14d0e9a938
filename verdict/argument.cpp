// The second argument and the clipboard's text: a digest in any of the
// forms people paste, a checksum line, or why it is not one.
#include "argument.h"

#include <cstring>

#include "text.h"
#include "tolerant.h"

namespace
{

// True when text[0..size-1] reads as a tag line, "NAME (PATH) = HEX": a
// closing bracket, then a run of 32 or more hexadecimal digits. A list's own
// name ("SHA256SUMS (1)") has no digits after its bracket.
bool tag_with_digest(const char* text, std::size_t size)
{
    const auto* close = static_cast<const char*>(std::memchr(text, ')', size));
    std::size_t run = 0;
    for (std::size_t i = close != nullptr ? static_cast<std::size_t>(close - text) : size;
         i < size && run < 32; ++i) {
        run = hex_value(static_cast<unsigned char>(text[i])) >= 0 ? run + 1 : 0;
    }
    return run >= 32;
}

// Copies text[0..size-1] into out[0..room-1] with the spaces people paste
// made plain: no-break, narrow no-break and ideographic spaces become
// blanks, zero-width spaces, joiners and byte order marks go, a full-width
// colon becomes ':'. Returns the length written (the rest is cut).
std::size_t plain_text(const char* text, std::size_t size, char* out, std::size_t room)
{
    std::size_t length = 0;
    for (std::size_t i = 0; i < size && length < room;) {
        const char* at = text + i;
        const std::size_t left = size - i;
        if (starts_with(at, left, "\xC2\xA0")) {
            out[length++] = ' ';
            i += 2;
        } else if (starts_with(at, left, "\xE3\x80\x80") || starts_with(at, left, "\xE2\x80\xAF")) {
            out[length++] = ' ';
            i += 3;
        } else if (starts_with(at, left, "\xEF\xBC\x9A")) {
            out[length++] = ':';
            i += 3;
        } else if (starts_with(at, left, "\xE2\x80\x8B") || starts_with(at, left, "\xE2\x80\x8C")
                   || starts_with(at, left, "\xE2\x80\x8D") || starts_with(at, left, "\xE2\x81\xA0")
                   || starts_with(at, left, "\xEF\xBB\xBF")) {
            i += 3;
        } else {
            out[length++] = text[i++];
        }
    }
    return length;
}

// A run of 32 or more hexadecimal digits, or of 40 or more base64
// characters: something like a digest of some length.
bool digest_like(const char* text, std::size_t size)
{
    std::size_t hex = 0;
    std::size_t base64 = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const char c = text[i];
        hex = hex_value(static_cast<unsigned char>(c)) >= 0 ? hex + 1 : 0;
        base64 = is_alnum(c) || c == '+' || c == '/' ? base64 + 1 : 0;
        if (hex >= 32 || base64 >= 40) {
            return true;
        }
    }
    return false;
}

// What the lines of a pasted text say of the digests in them, each under
// its own label or the label on a line above it.
struct Reading {
    char labelled[algorithm_max_digits + 1]; // this algorithm's digest
    std::size_t labelled_count;              // distinct ones
    char bare[algorithm_max_digits + 1];     // a digest with no label
    std::size_t bare_count;
    bool other_algorithm; // a digest labelled as another algorithm
    bool other_file;      // a file's name, or a tag line of one
};

void note(char* kept, std::size_t& count, const char* hex)
{
    if (count == 0 || std::strcmp(kept, hex) != 0) {
        std::strcpy(kept, hex);
        ++count;
    }
}

void read_lines(const char* text, std::size_t size, const ChecksumTarget& target, Reading& reading)
{
    const char* bits = target.algorithm.bits;
    Stated section = Stated::none;
    for (std::size_t start = 0; start < size;) {
        std::size_t end = start;
        while (end < size && text[end] != '\n' && text[end] != '\r') {
            ++end;
        }
        const char* line = text + start;
        const std::size_t length = end - start;
        start = end + 1;
        DigestSpan found[2];
        const std::size_t count = find_digests(line, length, target.algorithm.digits, found, 2);
        const Stated said = stated_outside(
            line, length, bits, count > 0 ? found[0].start : 0, count > 0 ? found[0].end : 0,
            count > 1 ? found[1].start : 0, count > 1 ? found[1].end : 0);
        reading.other_file = reading.other_file || names_a_file(line, length, 0, 0)
                             || (said != Stated::none && tag_with_digest(line, length));
        if (count == 0) {
            if (said == Stated::other && digest_like(line, length)) {
                reading.other_algorithm = true;
            } else if (said != Stated::none && !digest_like(line, length)) {
                section = said; // a label above the digest ("SHA-256 hash:")
            }
            continue;
        }
        const Stated label = said != Stated::none ? said : section;
        for (std::size_t k = 0; k < count; ++k) {
            if (label == Stated::this_one) {
                note(reading.labelled, reading.labelled_count, found[k].hex);
            } else if (label == Stated::other) {
                reading.other_algorithm = true;
            } else {
                note(reading.bare, reading.bare_count, found[k].hex);
            }
        }
    }
}

} // namespace

Argument checksum_argument(const char* text, std::size_t size, const ChecksumTarget& target,
                           ChecksumScan& scan, char* expected)
{
    while (size > 0 && is_space(static_cast<unsigned char>(text[size - 1]))) {
        --size;
    }
    while (size > 0 && is_space(static_cast<unsigned char>(*text))) {
        ++text;
        --size;
    }
    // A checksum line that names the file (in any of the lists' forms).
    checksum_scan_start(scan, target, ListName{ListKind::list, true, false});
    checksum_scan_feed(scan, reinterpret_cast<const unsigned char*>(text), size);
    checksum_scan_end(scan, true);
    if (scan.tally.rank != rank_none) {
        std::memcpy(expected, scan.tally.matched ? target.digest : scan.tally.expected,
                    target.algorithm.digits);
        expected[target.algorithm.digits] = '\0';
        return Argument::digest;
    }

    char plain[2048];
    size = plain_text(text, size, plain, sizeof plain);
    text = plain;
    while (size > 0 && is_space(static_cast<unsigned char>(text[size - 1]))) {
        --size;
    }

    // "sha256:HEX", "SHA256: HEX", "SHA-256 HEX", or the digits alone.
    std::size_t used = 0;
    const Stated which = algorithm_at(text, size, target.algorithm.bits, used);
    std::size_t at = which != Stated::none ? used : 0;
    while (at < size && is_blank(text[at])) {
        ++at;
    }
    if (which != Stated::none && at < size && text[at] == ':') {
        ++at;
    }
    std::size_t count = 0;
    bool digits_only = true;
    for (std::size_t i = at; i < size; ++i) {
        const int value = hex_value(static_cast<unsigned char>(text[i]));
        if (value >= 0) {
            if (count < target.algorithm.digits) {
                expected[count] = lowercase_hex[value];
            }
            ++count;
        } else if (!is_space(static_cast<unsigned char>(text[i]))) {
            digits_only = false;
            break;
        }
    }
    if (digits_only && count > 0) {
        if (which == Stated::other) {
            return Argument::other_algorithm;
        }
        if (count != target.algorithm.digits) {
            return Argument::wrong_length;
        }
        expected[count] = '\0';
        return which == Stated::this_one ? Argument::labelled : Argument::digest;
    }
    // Any other layout: the digests in its lines and their labels
    // ("SHA-256 hash: HEX", "HEX (SHA-256)", "sha256-BASE64", a table row,
    // a quoted or bracketed digest).
    Reading reading{};
    read_lines(text, size, target, reading);
    const char* hex = reading.labelled_count == 1 ? reading.labelled
                      : reading.bare_count == 1   ? reading.bare
                                                  : nullptr;
    if (reading.other_file
        && (reading.labelled_count + reading.bare_count > 0 || digest_like(text, size))) {
        return Argument::other_file;
    }
    if (hex != nullptr && (reading.labelled_count == 1 || !reading.other_algorithm)) {
        std::memcpy(expected, hex, target.algorithm.digits + 1);
        return reading.labelled_count == 1 ? Argument::labelled : Argument::digest;
    }
    if (reading.other_algorithm) {
        return Argument::other_algorithm;
    }
    return Argument::none;
}

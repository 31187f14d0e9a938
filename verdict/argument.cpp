// The second argument and the clipboard's text: a digest in any of the
// forms people paste, a checksum line, or why it is not one.
#include "argument.h"

#include <cstring>

#include "text.h"

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
    // A line of a list for another file: digits then a name, or a tag.
    std::size_t run = 0;
    while (run < size && hex_value(static_cast<unsigned char>(text[run])) >= 0) {
        ++run;
    }
    if ((run >= 32 && run < size && is_blank(text[run]))
        || (which != Stated::none && tag_with_digest(text, size))) {
        return Argument::other_file;
    }
    return Argument::none;
}

// Which names are checksum lists: a folder's (SHA256SUMS, CHECKSUM, ...),
// the file's own (NAME.sha256, NAME.DIGEST, ...), and which algorithm a
// name states.
#include "list_names.h"

#include <cstring>
#include <initializer_list>

#include "text.h"

ListName checksum_list_name(const char* name, std::size_t length, const ChecksumTarget& target)
{
    const ListName none{ListKind::none, false, false};
    // Most files of a folder are no lists: one pass finds none of the
    // words every list's name has.
    bool word = false;
    for (std::size_t at = 0; at < length && !word; ++at) {
        const char c = lower(name[at]);
        word = (c == 's'
                && (starts_with(name + at, length - at, "sha")
                    || starts_with(name + at, length - at, "signatures")))
               || (c == 'c' && starts_with(name + at, length - at, "checksum"))
               || (c == '.'
                   && (starts_with(name + at, length - at, ".digest")
                       || starts_with(name + at, length - at, ".hash")));
    }
    if (!word) {
        return none;
    }
    char base[1024];
    if (length == 0 || length >= sizeof base) {
        return none;
    }
    // A browser's copy: "SHA256SUMS (1)", "sha256sums (2).txt", "x(1)".
    std::memcpy(base, name, length);
    std::size_t size = length;
    std::size_t dot = size;
    while (dot > 0 && base[dot - 1] != '.') {
        --dot;
    }
    for (const std::size_t end : {size, dot > 0 ? dot - 1 : size}) {
        if (end < 3 || base[end - 1] != ')') {
            continue;
        }
        std::size_t open = end - 1;
        while (open > 0 && is_digit(base[open - 1])) {
            --open;
        }
        if (open == end - 1 || open < 2 || base[open - 1] != '(') {
            continue;
        }
        --open;
        if (base[open - 1] == ' ') {
            --open;
        }
        std::memmove(base + open, base + end, size - end);
        size -= end - open;
        break;
    }
    if (size == target.name_length && same_name(base, target.name, size, target.rule)) {
        return none; // the file itself
    }
    for (const char* signature : {".asc", ".sig", ".gpg", ".sign", ".minisig", ".pem", ".crt"}) {
        if (ends_with(base, size, signature)) {
            return none;
        }
    }
    // A list's name that names another algorithm makes it that one's list.
    const char* bits = target.algorithm.bits;
    // The file's own list: NAME.sha256, NAME.sha256sum, NAME.DIGEST, ...;
    // OTHER.sha256 is another file's.
    for (const char* own : {".sha256", ".sha256sum", ".sha256sums", ".sha256.txt", ".sha2-256",
                            ".digest", ".digests", ".checksum", ".hash"}) {
        char suffix[16];
        std::size_t count = 0;
        for (const char* c = own; *c != '\0' && count + 1 < sizeof suffix; ++c) {
            // "256" stands for the target's bits.
            if (std::strncmp(c, "256", 3) == 0) {
                std::memcpy(suffix + count, bits, 3);
                count += 3;
                c += 2;
            } else {
                suffix[count++] = *c;
            }
        }
        suffix[count] = '\0';
        if (size > count && ends_with(base, size, suffix)) {
            const bool mine = size - count == target.name_length
                              && same_name(base, target.name, target.name_length, target.rule);
            const Stated stated =
                mine ? algorithm_in(base + size - count, count, bits) : Stated::other;
            return stated != Stated::other
                       ? ListName{ListKind::own, stated == Stated::this_one, false}
                       : none;
        }
    }
    char sha[8] = "sha";
    std::memcpy(sha + 3, bits, 4);
    char sums[16];
    std::memcpy(sums, sha, 6);
    std::memcpy(sums + 6, "sum", 4);
    char shasums[16] = "shasums";
    std::memcpy(shasums + 7, bits, 4);
    const bool listed =
        contains(base, size, sums) || contains(base, size, shasums)
        || contains(base, size, "checksum")
        || (starts_with(base, size, "signatures") && ends_with(base, size, ".txt"))
        || (size == 6 && starts_with(base, size, sha))
        || (size == 10 && starts_with(base, size, sha) && ends_with(base, size, ".txt"));
    const Stated stated = listed ? algorithm_in(base, size, bits) : Stated::other;
    return stated != Stated::other ? ListName{ListKind::list, stated == Stated::this_one, false}
                                   : none;
}

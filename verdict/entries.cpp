// Entries of checksum lists: ranks, and the tallies of lists.
#include "entries.h"

#include <cstring>

#include "text.h"

namespace
{

bool is_separator(char c, bool backslash)
{
    return c == '/' || (backslash && c == '\\');
}

} // namespace

int checksum_entry_rank(const char* entry, std::size_t length, const char* name,
                        std::size_t name_length, NameRule rule, bool backslash, bool legacy)
{
    if (name == nullptr || name_length == 0) {
        return rank_none;
    }
    while (length > 2 && entry[0] == '.' && is_separator(entry[1], backslash)) {
        entry += 2;
        length -= 2;
    }
    if (length == name_length && same_name(entry, name, length, rule)) {
        return rank_name;
    }
    if (length > name_length && is_separator(entry[length - name_length - 1], backslash)
        && same_name(entry + length - name_length, name, name_length, rule)) {
        // A backslash after a non-ASCII byte is a double-byte character's
        // second byte in a legacy text, not a separator; in UTF-8 it is one.
        const bool trail = legacy && entry[length - name_length - 1] == '\\'
                           && length - name_length >= 2
                           && static_cast<unsigned char>(entry[length - name_length - 2]) >= 0x81;
        return trail ? rank_none : rank_folder;
    }
    return rank_none;
}

void checksum_copy_path(char* out, const char* path, std::size_t length)
{
    const std::size_t count =
        length < checksum_path_capacity - 1 ? length : checksum_path_capacity - 1;
    std::memcpy(out, path, count);
    out[count] = '\0';
}

void checksum_tally_clear(ChecksumTally& tally)
{
    tally.rank = rank_none;
    tally.matched = false;
    tally.match_list = 0;
    tally.match_path[0] = '\0';
    tally.differing = 0;
    tally.one_expected = false;
    tally.expected[0] = '\0';
    tally.expected_list = 0;
    tally.several_lists = false;
    tally.all_stated_whole = true;
    tally.some_unstated = false;
}

void checksum_tally_add(ChecksumTally& tally, const ChecksumTarget& target, const Entry& entry)
{
    const int rank = entry.rank;
    const bool stated = entry.stated;
    const char* hex = entry.hex;
    const char* path = entry.path;
    const std::size_t path_length = entry.path_length;
    if (rank == rank_none || rank < tally.rank) {
        return;
    }
    if (rank > tally.rank) {
        checksum_tally_clear(tally);
        tally.rank = rank;
    }
    if (!stated) {
        tally.all_stated_whole = false;
        tally.some_unstated = true;
    }
    if (std::memcmp(hex, target.digest, target.algorithm.digits) == 0) {
        if (!tally.matched) {
            tally.matched = true;
            checksum_copy_path(tally.match_path, path, rank == rank_folder ? path_length : 0);
        }
    } else if (tally.differing++ == 0) {
        std::memcpy(tally.expected, hex, target.algorithm.digits);
        tally.expected[target.algorithm.digits] = '\0';
        tally.one_expected = true;
    } else if (std::memcmp(hex, tally.expected, target.algorithm.digits) != 0) {
        tally.one_expected = false;
    }
}

void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, bool whole,
                          std::size_t list)
{
    if (one.rank == rank_none || one.rank < total.rank) {
        return;
    }
    if (one.rank > total.rank) {
        checksum_tally_clear(total);
        total.rank = one.rank;
    }
    if (one.matched && !total.matched) {
        total.matched = true;
        total.match_list = list;
        std::memcpy(total.match_path, one.match_path, sizeof total.match_path);
    }
    if (one.differing > 0) {
        if (total.differing == 0) {
            std::memcpy(total.expected, one.expected, sizeof total.expected);
            total.expected_list = list;
            total.one_expected = one.one_expected;
        } else {
            total.several_lists = true;
            if (!one.one_expected || std::strcmp(one.expected, total.expected) != 0) {
                total.one_expected = false;
            }
        }
        total.differing += one.differing;
    }
    total.all_stated_whole = total.all_stated_whole && one.all_stated_whole && whole;
    total.some_unstated = total.some_unstated || one.some_unstated;
}

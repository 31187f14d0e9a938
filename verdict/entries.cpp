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
    tally.match_rank = rank_none;
    tally.match_list = 0;
    tally.match_count = 0;
    tally.match_path[0] = '\0';
    tally.differ_rank = rank_none;
    tally.differing = 0;
    tally.one_expected = false;
    tally.expected[0] = '\0';
    tally.expected_list = 0;
    tally.several_lists = false;
    tally.proof = false;
    tally.why = Why{Doubt::folders_only, 0};
}

namespace
{

// Keeps the doubt closer to proof of `why` and `other`.
void keep_closer(Why& why, const Why& other)
{
    if (other.doubt < why.doubt) {
        why = other;
    }
}

} // namespace

void checksum_tally_add(ChecksumTally& tally, const ChecksumTarget& target, const Entry& entry)
{
    const int rank = entry.rank;
    if (rank == rank_none) {
        return;
    }
    tally.rank = rank > tally.rank ? rank : tally.rank;
    if (std::memcmp(entry.hex, target.digest, target.algorithm.digits) == 0) {
        if (rank > tally.match_rank) {
            tally.matched = true;
            tally.match_rank = rank;
            checksum_copy_path(tally.match_path, entry.path,
                               rank == rank_folder ? entry.path_length : 0);
        }
        return;
    }
    if (rank < tally.differ_rank) {
        return;
    }
    if (rank > tally.differ_rank) {
        tally.differ_rank = rank;
        tally.differing = 0;
    }
    if (rank == rank_name && entry.exact && entry.stated) {
        tally.proof = true;
    } else if (rank == rank_name) {
        keep_closer(tally.why, Why{entry.stated ? Doubt::not_exact : Doubt::unstated, 0});
    }
    if (tally.differing++ == 0) {
        std::memcpy(tally.expected, entry.hex, target.algorithm.digits);
        tally.expected[target.algorithm.digits] = '\0';
        tally.one_expected = true;
    } else if (std::memcmp(entry.hex, tally.expected, target.algorithm.digits) != 0) {
        tally.one_expected = false;
    }
}

Why checksum_time_doubt(std::int64_t list, std::int64_t file)
{
    constexpr std::int64_t hour = std::int64_t{36000000000};
    constexpr std::int64_t day = 24 * hour;
    const std::int64_t apart = list > file ? list - file : file - list;
    if (apart <= 12 * hour) {
        return Why{Doubt::none, 0};
    }
    return Why{list < file ? Doubt::older : Doubt::newer, (apart + day - 1) / day};
}

void checksum_tally_merge(ChecksumTally& total, const ChecksumTally& one, const ListFacts& facts,
                          std::size_t list)
{
    if (one.rank == rank_none) {
        return;
    }
    total.rank = one.rank > total.rank ? one.rank : total.rank;
    if (one.matched && total.match_count < tally_match_lists) {
        total.match_lists[total.match_count++] = list;
    }
    if (one.matched && one.match_rank > total.match_rank) {
        total.matched = true;
        total.match_rank = one.match_rank;
        total.match_list = list;
        std::memcpy(total.match_path, one.match_path, sizeof total.match_path);
    }
    if (one.differing == 0 || one.differ_rank < total.differ_rank) {
        return;
    }
    if (one.differ_rank > total.differ_rank) {
        total.differ_rank = one.differ_rank;
        total.differing = 0;
        total.several_lists = false;
    }
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
    keep_closer(total.why, one.why);
    if (one.proof) {
        const Why list_why = facts.describes_other             ? Why{Doubt::other_thing, 0}
                             : facts.time.doubt != Doubt::none ? facts.time
                             : !facts.whole                    ? Why{Doubt::cut, 0}
                                                               : Why{Doubt::none, 0};
        if (list_why.doubt == Doubt::none) {
            total.proof = true;
        } else {
            keep_closer(total.why, list_why);
        }
    }
}

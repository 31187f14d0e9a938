// The verdict on a digest: which source decides, the second argument, the
// lists beside the file or the clipboard.
#include "verdict.h"

#include <cstdio>
#include <cstring>

#include "argument.h"
#include "messages.h"
#include "platform/lookup.h"
#include "platform/process.h"
#include "signature.h"

namespace
{

// The size of a list read at the most (a larger file is not one).
constexpr std::uint64_t list_limit = std::uint64_t{16} << 20;

struct Listing {
    const char* path;
    const ChecksumTarget* target;
    FolderLists* found;
};

// Keeps a file of the folder that is a list, in order of time, newest
// first; of more than verdict_max_lists the oldest are left out.
void take_candidate(void* context, const char* name, std::size_t length)
{
    auto& listing = *static_cast<Listing*>(context);
    const ListName kind = checksum_list_name(name, length, *listing.target);
    if (kind.kind == ListKind::none || length >= verdict_name_capacity) {
        return;
    }
    const std::int64_t time = platform_list_time(listing.path, name);
    if (time < 0) {
        return;
    }
    FolderLists& found = *listing.found;
    std::size_t at = found.count;
    while (at > 0 && found.lists[at - 1].time < time) {
        --at;
    }
    if (at >= verdict_max_lists) {
        return;
    }
    const std::size_t last = found.count < verdict_max_lists ? found.count : verdict_max_lists - 1;
    for (std::size_t i = last; i > at; --i) {
        found.lists[i] = found.lists[i - 1];
    }
    found.lists[at].time = time;
    found.lists[at].kind = kind;
    std::memcpy(found.lists[at].name, name, length);
    found.lists[at].name[length] = '\0';
    found.count = last + 1;
}

void feed_scan(void* context, const unsigned char* bytes, std::size_t count)
{
    checksum_scan_feed(*static_cast<ChecksumScan*>(context), bytes, count);
}

// Reads one list (`name` beside `path`, or `path` itself) through
// room.scan into `tally`. Returns whether it was read whole; false too when
// it was not read.
bool read_list(const char* path, const char* name, const ChecksumTarget& target, ListName kind,
               VerdictRoom& room, ChecksumTally& tally, bool& read)
{
    ChecksumScan& scan = room.scan;
    checksum_scan_start(scan, target, kind);
    const int result = platform_read_list(path, name, list_limit, room.read_buffer,
                                          sizeof room.read_buffer, feed_scan, &scan);
    read = result >= 0;
    checksum_scan_end(scan, result == 1);
    checksum_tally_clear(tally);
    if (read) {
        checksum_tally_merge(tally, scan.tally, result == 1, 0);
    }
    return result == 1;
}

// A tally of one digest given by the user or the clipboard.
void tally_of_digest(ChecksumTally& tally, const ChecksumTarget& target, const char* expected)
{
    checksum_tally_clear(tally);
    tally.rank = rank_name;
    if (std::strcmp(expected, target.digest) == 0) {
        tally.matched = true;
    } else {
        tally.differing = 1;
        tally.one_expected = true;
        std::snprintf(tally.expected, sizeof tally.expected, "%s", expected);
    }
}

// The second argument, where it decides: a digest, a line naming the file,
// or a list with an entry for it. Otherwise says in `reason` why it is not
// used.
bool argument_decides(const char* argument, const ChecksumTarget& target, VerdictRoom& room,
                      bool after_report, Unused& reason)
{
    ChecksumTally& tally = room.tally;
    char expected[algorithm_max_digits + 1];
    const Argument kind =
        checksum_argument(argument, std::strlen(argument), target, room.scan, expected);
    if (kind == Argument::labelled || kind == Argument::digest) {
        tally_of_digest(tally, target, expected);
        message_tally(tally, Source::argument, nullptr, nullptr, after_report, room.message);
        return true;
    }
    if (kind != Argument::none) {
        reason = kind == Argument::wrong_length      ? Unused::wrong_length
                 : kind == Argument::other_algorithm ? Unused::other_algorithm
                                                     : Unused::other_file;
        return false;
    }
    char list_name[verdict_name_capacity] = "";
    platform_file_name(argument, list_name, sizeof list_name);
    ListName list = checksum_list_name(list_name, std::strlen(list_name), target);
    if (list.kind == ListKind::none) {
        list.kind = ListKind::list;
    }
    bool read = false;
    const bool whole = read_list(argument, nullptr, target, list, room, tally, read);
    if (read && tally.rank != rank_none) {
        tally.all_stated_whole = tally.all_stated_whole && whole;
        message_tally(tally, Source::lists, list_name, list_name, after_report, room.message);
        return true;
    }
    // A regular file too large for a list is a file given to hash.
    const bool file = read || platform_list_time(argument, list_name) >= 0;
    reason = file ? Unused::no_entry : Unused::not_a_digest;
    return false;
}

} // namespace

std::size_t verdict_lookup(const char* path, const ChecksumTarget& target, VerdictRoom& room)
{
    FolderLists& lists = room.lists;
    checksum_tally_clear(room.tally);
    lists.count = 0;
    Listing listing{path, &target, &lists};
    if (!platform_list_folder(path, take_candidate, &listing)) {
        return 0;
    }
    ChecksumTally one{};
    for (std::size_t i = 0; i < lists.count; ++i) {
        bool read = false;
        const bool whole =
            read_list(path, lists.lists[i].name, target, lists.lists[i].kind, room, one, read);
        if (read) {
            checksum_tally_merge(room.tally, one, whole, i);
        }
    }
    return lists.count;
}

void verdict_show(const char* path, const char* argument, int unused, const Algorithm& algorithm,
                  const char* digest, VerdictRoom& room)
{
    // Only a person at a console sees a verdict; nothing else is looked up.
    if (path == nullptr || !platform_stderr_is_terminal()) {
        return;
    }
    const bool after_report = platform_stdout_is_terminal();
    char name[verdict_name_capacity];
    char legacy[verdict_name_capacity];
    const std::size_t name_length = platform_file_name(path, name, sizeof name);
    const std::size_t legacy_length = platform_legacy_name(path, legacy, sizeof legacy);
    const ChecksumTarget target{algorithm,
                                digest,
                                name,
                                name_length,
                                legacy_length > 0 ? legacy : nullptr,
                                legacy_length,
                                platform_names_ignore_case() ? NameRule::windows : NameRule::exact};

    Unused reason = Unused::not_a_digest;
    bool decided =
        argument != nullptr && argument_decides(argument, target, room, after_report, reason);
    bool has_reason = argument != nullptr && !decided;
    if (!decided) {
        verdict_lookup(path, target, room);
        const ChecksumTally& tally = room.tally;
        if (tally.rank != rank_none) {
            message_tally(tally, Source::lists, room.lists.lists[tally.match_list].name,
                          room.lists.lists[tally.expected_list].name, after_report, room.message);
            signature_show(path,
                           room.lists.lists[tally.matched ? tally.match_list : tally.expected_list],
                           target, room, after_report);
            decided = true;
        }
    }
    if (!decided) {
        char clipboard[2048];
        char expected[algorithm_max_digits + 1];
        const std::size_t length = platform_clipboard_text(clipboard, sizeof clipboard);
        const Argument kind =
            length > 0 ? checksum_argument(clipboard, length, target, room.scan, expected)
                       : Argument::none;
        if (kind == Argument::labelled || kind == Argument::digest) {
            tally_of_digest(room.tally, target, expected);
            message_tally(room.tally, Source::clipboard, nullptr, nullptr, after_report,
                          room.message);
        }
    }

    // Arguments that were not used, and why.
    // A file given as the second argument and more after it: files dropped
    // together, counted in one line.
    if (has_reason && reason == Unused::no_entry && unused > 0) {
        has_reason = false;
        ++unused;
    }
    if (has_reason) {
        message_unused(reason, after_report, room.message);
    }
    if (unused > 0) {
        message_extra(unused, after_report, room.message);
    }
}

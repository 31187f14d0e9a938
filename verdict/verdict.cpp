// The verdict on a digest: which source decides, the second argument, the
// lists beside the file or the clipboard.
#include "verdict.h"

#include <chrono>
#include <cstdio>
#include <cstring>

#include "argument.h"
#include "messages.h"
#include "platform/lookup.h"
#include "platform/process.h"
#include "platform/terminal.h"
#include "signature.h"

namespace
{

// The size of a list read at the most (a larger one is read in part).
constexpr std::uint64_t list_limit = std::uint64_t{16} << 20;

struct Listing {
    const char* path;
    const ChecksumTarget* target;
    FolderLists* found;
};

// Keeps a file of the folder that is a list, in order of time, newest
// first; of more than verdict_max_lists the oldest are left out, counted.
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
    if (found.count == verdict_max_lists) {
        ++found.dropped;
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

using Clock = std::chrono::steady_clock;

// What reading lists may still take: bytes, and the time it ends at.
struct Budget {
    std::uint64_t bytes;
    Clock::time_point end;
    LookupGaps* gaps; // where a stop is told; nullptr: no limit
};

struct Feed {
    ChecksumScan* scan;
    Budget* budget;
};

// Whether the budget is spent, told in its gaps; `more`: bytes are still to
// be read.
bool spent(Budget& budget, bool more)
{
    if (more && budget.bytes == 0) {
        budget.gaps->budget = true;
    } else if (Clock::now() >= budget.end) {
        budget.gaps->time = true;
    }
    return budget.gaps->budget || budget.gaps->time;
}

bool feed_scan(void* context, const unsigned char* bytes, std::size_t count)
{
    auto& feed = *static_cast<Feed*>(context);
    Budget* budget = feed.budget;
    if (budget == nullptr) {
        checksum_scan_feed(*feed.scan, bytes, count);
        return true;
    }
    const std::size_t taken =
        count < budget->bytes ? count : static_cast<std::size_t>(budget->bytes);
    checksum_scan_feed(*feed.scan, bytes, taken);
    budget->bytes -= taken;
    return !spent(*budget, taken < count);
}

// Reads one list (`name` beside `path`, or `path` itself) through
// room.scan into `tally` (cleared first), within `budget` where it is not
// nullptr. Returns platform_read_list's result.
int read_list(const char* path, const char* name, const ChecksumTarget& target, ListName kind,
              VerdictRoom& room, Budget* budget, ChecksumTally& tally)
{
    ChecksumScan& scan = room.scan;
    checksum_scan_start(scan, target, kind);
    Feed feed{&scan, budget};
    const int result = platform_read_list(path, name, list_limit, room.read_buffer,
                                          sizeof room.read_buffer, feed_scan, &feed);
    checksum_scan_end(scan, result == 1);
    checksum_tally_clear(tally);
    if (result >= 0) {
        tally = scan.tally;
    }
    return result;
}

// What is known of a list read: whole, its time against the file's, and
// what its name says.
ListFacts facts_of(int result, std::int64_t list_time, std::int64_t file_time, ListName kind)
{
    return ListFacts{result == 1,
                     list_time < 0 || file_time < 0 ? Why{Doubt::none, 0}
                                                    : checksum_time_doubt(list_time, file_time),
                     kind.describes_other};
}

// A tally of one digest given by the user or the clipboard.
void tally_of_digest(ChecksumTally& tally, const ChecksumTarget& target, const char* expected)
{
    checksum_tally_clear(tally);
    tally.rank = rank_name;
    if (std::strcmp(expected, target.digest) == 0) {
        tally.matched = true;
        tally.match_rank = rank_name;
    } else {
        tally.differ_rank = rank_name;
        tally.differing = 1;
        tally.one_expected = true;
        tally.proof = true;
        std::snprintf(tally.expected, sizeof tally.expected, "%s", expected);
    }
}

// What the second argument holds for the verdict.
enum class Given { nothing, labelled, digest, list };

// Reads the second argument into room.argument: a digest, a line naming the
// file, or a list with an entry for it (its name and kind in `given_list`).
// Otherwise says in `reason` why it is not used.
Given read_argument(const char* argument, const ChecksumTarget& target, std::int64_t file_time,
                    VerdictRoom& room, FolderList& given_list, Unused& reason)
{
    ChecksumTally& tally = room.argument;
    char expected[algorithm_max_digits + 1];
    // The path of a file is read as a list, whatever its text looks like (a
    // long folder name can look like base64).
    const std::int64_t list_time = platform_list_time(argument, nullptr);
    const Argument kind = list_time >= 0 ? Argument::none
                                         : checksum_argument(argument, std::strlen(argument),
                                                             target, room.scan, expected);
    if (kind == Argument::labelled || kind == Argument::digest) {
        tally_of_digest(tally, target, expected);
        return kind == Argument::labelled ? Given::labelled : Given::digest;
    }
    if (kind != Argument::none) {
        reason = kind == Argument::wrong_length      ? Unused::wrong_length
                 : kind == Argument::other_algorithm ? Unused::other_algorithm
                                                     : Unused::other_file;
        return Given::nothing;
    }
    char* list_name = given_list.name;
    platform_file_name(argument, list_name, verdict_name_capacity);
    ListName& list = given_list.kind;
    list = checksum_list_name(list_name, std::strlen(list_name), target);
    if (list.kind == ListKind::none) {
        list.kind = ListKind::list;
    }
    ChecksumTally one{};
    const int result = read_list(argument, nullptr, target, list, room, nullptr, one);
    checksum_tally_clear(tally);
    if (result >= 0 && one.rank != rank_none) {
        checksum_tally_merge(tally, one, facts_of(result, list_time, file_time, list), 0);
        return Given::list;
    }
    // A regular file too large for a list is a file given to hash.
    reason = result >= 0 || list_time >= 0 ? Unused::no_entry : Unused::not_a_digest;
    return Given::nothing;
}

// Why a source's tally is no proof: its own doubt, or, with proof, the
// lookup's.
Why doubt_of(const ChecksumTally& tally, const Why& lookup)
{
    return tally.proof ? lookup : tally.why;
}

} // namespace

std::size_t verdict_lookup(const char* path, const ChecksumTarget& target, VerdictRoom& room,
                           const LookupLimits& limits)
{
    FolderLists& lists = room.lists;
    checksum_tally_clear(room.tally);
    lists.count = 0;
    lists.dropped = 0;
    room.gaps = LookupGaps{0, false, false};
    Budget budget{limits.bytes, Clock::now() + std::chrono::milliseconds(limits.milliseconds),
                  &room.gaps};
    Listing listing{path, &target, &lists};
    if (!platform_list_folder(path, take_candidate, &listing)) {
        return 0;
    }
    const std::int64_t file_time = platform_list_time(path, nullptr);
    ChecksumTally one{};
    for (std::size_t i = 0; i < lists.count && !spent(budget, true); ++i) {
        const FolderList& list = lists.lists[i];
        const int result = read_list(path, list.name, target, list.kind, room, &budget, one);
        if (result == -2) {
            ++room.gaps.unreadable;
        } else if (result >= 0) {
            checksum_tally_merge(room.tally, one, facts_of(result, list.time, file_time, list.kind),
                                 i);
        }
    }
    return lists.count;
}

void verdict_usage(const char* program, VerdictRoom& room)
{
    if (platform_stderr_is_terminal()) {
        message_usage(program, room.message);
    }
}

Why verdict_lookup_doubt(const VerdictRoom& room)
{
    const LookupGaps& gaps = room.gaps;
    return Why{gaps.time                ? Doubt::time_limit
               : gaps.budget            ? Doubt::budget
               : room.lists.dropped > 0 ? Doubt::too_many
               : gaps.unreadable > 0    ? Doubt::no_permission
                                        : Doubt::none,
               0};
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
    const std::int64_t file_time = platform_list_time(path, nullptr);

    Unused reason = Unused::not_a_digest;
    FolderList given_list{};
    const char* list_name = given_list.name;
    const Given given = argument != nullptr
                            ? read_argument(argument, target, file_time, room, given_list, reason)
                            : Given::nothing;
    const ChecksumTally& given_tally = room.argument;
    const Source given_source = given == Given::list ? Source::lists : Source::argument;
    bool has_reason = argument != nullptr && given == Given::nothing;
    const auto show_given = [&](const Why& why) {
        message_tally(given_tally, given_source, list_name, list_name, why, after_report,
                      room.message);
        if (given == Given::list) {
            signature_show(argument, given_list, target, given_tally, room, after_report);
        }
    };

    // The argument decides alone where it equals the digest, and a digest
    // labelled with this algorithm always does.
    if (given != Given::nothing && (given_tally.matched || given == Given::labelled)) {
        show_given(Why{Doubt::none, 0});
    } else {
        verdict_lookup(path, target, room, verdict_limits);
        const Why lookup = verdict_lookup_doubt(room);
        const ChecksumTally& tally = room.tally;
        const FolderList* lists = room.lists.lists;

        // The clipboard: a digest copied from a console is no evidence.
        char clipboard[2048];
        char expected[algorithm_max_digits + 1];
        Argument copied = Argument::none;
        bool from_console = false;
        if (!tally.matched) {
            const std::size_t length = platform_clipboard_text(clipboard, sizeof clipboard);
            copied = length > 0 ? checksum_argument(clipboard, length, target, room.scan, expected)
                                : Argument::none;
            copied = copied == Argument::labelled ? Argument::digest : copied;
            from_console = copied == Argument::digest && platform_clipboard_from_console();
        }
        // Lists whose entries differ from the file and from an unlabelled
        // digest given as argument (perhaps another algorithm's) decide.
        const bool lists_outrank =
            tally.rank != rank_none
            && !(tally.one_expected && std::strcmp(tally.expected, given_tally.expected) == 0);
        const bool clipboard_equal =
            copied == Argument::digest && !from_console && std::strcmp(expected, digest) == 0;

        if (tally.matched || clipboard_equal) {
            const bool from_lists = tally.matched;
            if (!from_lists) {
                tally_of_digest(room.tally, target, expected);
            }
            message_tally(room.tally, from_lists ? Source::lists : Source::clipboard,
                          lists[tally.match_list].name, nullptr, Why{Doubt::none, 0}, after_report,
                          room.message);
            if (from_lists) {
                signature_show_matching(path, lists, target, room, after_report);
            }
            if (given != Given::nothing) {
                message_argument_differs(after_report, room.message);
            }
        } else if (given != Given::nothing && !(given == Given::digest && lists_outrank)) {
            show_given(given == Given::digest ? lookup : doubt_of(given_tally, lookup));
        } else if (tally.rank != rank_none) {
            // A list's entries outrank an unlabelled digest that differs too:
            // the line shows this algorithm's expected digest, and the
            // argument's own difference follows (perhaps another algorithm).
            message_tally(tally, Source::lists, nullptr, lists[tally.expected_list].name,
                          doubt_of(tally, lookup), after_report, room.message);
            signature_show(path, lists[tally.expected_list], target, tally, room, after_report);
            if (given == Given::digest) {
                message_argument_differs(after_report, room.message);
            }
        } else if (lookup.doubt != Doubt::none) {
            message_not_read(lookup, after_report, room.message);
        } else if (copied == Argument::digest && !from_console) {
            tally_of_digest(room.tally, target, expected);
            message_tally(room.tally, Source::clipboard, nullptr, nullptr, Why{Doubt::not_tied, 0},
                          after_report, room.message);
        } else if (from_console) {
            message_console_copy(after_report, room.message);
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

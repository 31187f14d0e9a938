// The verdict's lines: its texts in Shift-JIS and in UTF-8, a line composed
// from a tally or a reason, laid out for the console and shown on it.
#pragma once

#include "entries.h"
#include "platform/terminal.h"

// The room a line is composed and laid out in, kept by the caller (off the
// stack): the line in both encodings and where its label stands, then laid
// out.
struct MessageRoom {
    char utf8[2048];
    char sjis[2048];
    VerdictLabel label;
    char part[2048];
    char laid_utf8[4096];
    char laid_sjis[4096];
};

// A text of a line in Shift-JIS (as stored: "\x83\x43" rather than "\x83C",
// so that no escape swallows the next letter) and in UTF-8; '\x01' is a
// space that does not break.
struct MessageText {
    const char* sjis;
    const char* utf8;
};

// A line of another part's own, composed as these are: started empty in
// `room`, then texts added (`label`: the text is the line's label), and
// pieces from outside (control characters shown as '?'); then laid out for
// the console and shown in `tone`.
void message_start(MessageRoom& room);
void message_add(MessageRoom& room, const MessageText& text, bool label);
void message_add_plain(MessageRoom& room, const char* piece);
void message_show(MessageRoom& room, Tone tone, bool after_report);

// Where the expected digests came from.
enum class Source { argument, lists, clipboard };

// Shows what `tally` holds of the digest: a match, or a difference, in
// red as a mismatch where `why` is Doubt::none, else in yellow with its
// reason. With Source::lists, `match_list` and `expected_list` are the
// names of the lists numbered tally.match_list and tally.expected_list.
// `after_report`: the cursor stands after the report
// (platform_console_verdict). Each line is composed in `room`.
void message_tally(const ChecksumTally& tally, Source source, const char* match_list,
                   const char* expected_list, const Why& why, bool after_report, MessageRoom& room);

// Shows in yellow that the argument's digest differs while a list
// matches: perhaps another algorithm's.
void message_argument_differs(bool after_report, MessageRoom& room);

// Shows in yellow that lists were left unread, and why (`why`: a doubt of
// the lookup), where nothing else decided.
void message_not_read(const Why& why, bool after_report, MessageRoom& room);

// Shows, without a label, that the clipboard's digest was copied from a
// console and is not compared.
void message_console_copy(bool after_report, MessageRoom& room);

// Why the second argument was not used.
enum class Unused { wrong_length, other_algorithm, other_file, not_a_digest, no_entry };

// Shows that the second argument was not used, and why.
void message_unused(Unused reason, bool after_report, MessageRoom& room);

// Shows that the `count` arguments after the file were not used: one file
// per run.
void message_extra(int count, bool after_report, MessageRoom& room);

// Says how `program` ("hash256") is used, in Japanese and English, for a
// run started without a file: on Windows by dropping a file on it or its
// shortcut, the Explorer menu install.cmd adds, or the command line;
// elsewhere the command line. Ends with an empty line.
void message_usage(const char* program, MessageRoom& room);

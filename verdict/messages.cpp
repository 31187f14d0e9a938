// The verdict's lines: the texts, and a line composed from a tally or
// from the reason an argument was not used.
#include "messages.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

#include "layout.h"
#include "platform/terminal.h"

namespace
{

// A text of the verdict in Shift-JIS (as stored: "\x83\x43" rather than
// "\x83C", so that no escape swallows the next letter) and in UTF-8.
struct Text {
    const char* sjis;
    const char* utf8;
};

// "一致 [match]": the label of a match.
constexpr Text match_label{"\x88\xEA\x92v\x01[match]", "一致\x01[match]"};
constexpr Text colon{": ", ": "};
// After the source: the copy is intact; where it came from is not checked.
constexpr Text match_after{
    "\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x93\xAF\x82\xB6\x82\xC5\x82\xB7\x81i\x89\xF3\x82\xEA"
    "\x82\xC4\x82\xA2\x82\xC8\x82\xA2\x82\xB1\x82\xC6\x82\xCC\x8Am\x94\x46\x82\xC5\x81\x41\x8Fo\x8F"
    "\x8A\x82\xCC\x8Am\x94\x46\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81j",
    "のダイジェストと同じです（壊れていないことの確認で、出所の確認ではありません）"};
constexpr Text mismatch_label{"\x95s\x88\xEA\x92v\x01[MISMATCH]", "不一致\x01[MISMATCH]"};
// After the source of a proven mismatch: broken, or another file.
constexpr Text mismatch_after{"\x82\xCC\x83_"
                              "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82"
                              "\xB7\x81\x42\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81\x41"
                              "\x95\xCA\x82\xCC\x83t\x83@\x83\x43\x83\x8B\x82\xC5\x82\xB7",
                              "のダイジェストと違います。壊れているか、別のファイルです"};
constexpr Text expected_label{"  (\x8A\xFA\x91\xD2\x92l\x01[expected])",
                              "  (期待値\x01[expected])"};
// Sources that are not checksum lists.
constexpr Text from_argument{"\x88\xF8\x90\x94", "引数"};
constexpr Text from_clipboard{"\x83N\x83\x8A\x83\x62\x83v\x83{\x81[\x83h", "クリップボード"};
// After the first of several lists that hold differing entries.
constexpr Text more_lists{"\x82\xD9\x82\xA9", "ほか"};
// Before the count of differing digests.
constexpr Text many_middle{"\x82\xC9\x82\xA0\x82\xE9", "にある"};
constexpr Text many_after{
    "\x8C\x8F\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x82\xC7\x82\xEA\x82\xC6\x82\xE0\x88\xE1\x82\xA2\x82"
    "\xDC\x82\xB7\x81\x42\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81\x41\x95\xCA\x82\xCC"
    "\x83t\x83@\x83\x43\x83\x8B\x82\xC5\x82\xB7",
    "件のダイジェストのどれとも違います。壊れているか、別のファイルです"};
constexpr Text differs_label{"\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x01[differs]",
                             "違います\x01[differs]"};
constexpr Text differs_after{
    "\x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82\xB7",
    "のダイジェストと違います"};
constexpr Text differs_many_after{"\x8C\x8F\x82\xCC\x83_"
                                  "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x82\xC7\x82\xEA\x82\xC6"
                                  "\x82\xE0\x88\xE1\x82\xA2\x82\xDC\x82\xB7",
                                  "件のダイジェストのどれとも違います"};
// The brackets around a reason.
constexpr Text open_reason{"\x81i", "（"};
constexpr Text close_reason{"\x81j", "）"};
// Why a difference is no proof.
constexpr Text reason_cut{"\x8D\xC5\x8C\xE3\x82\xDC\x82\xC5\x93\xC7\x82\xDF\x82\xC8\x82\xA9\x82\xC1"
                          "\x82\xBD\x88\xEA\x97\x97\x82\xC5\x82\xB7 [list\x01not\x01read\x01whole]",
                          "最後まで読めなかった一覧です [list\x01not\x01read\x01whole]"};
// "一覧がファイルよりN日古いです [list N days older than the file]", and newer.
constexpr Text reason_time{"\x88\xEA\x97\x97\x82\xAA\x83t\x83@\x83\x43\x83\x8B\x82\xE6\x82\xE8",
                           "一覧がファイルより"};
constexpr Text reason_older{"\x93\xFA\x8C\xC3\x82\xA2\x82\xC5\x82\xB7 [list\x01",
                            "日古いです [list\x01"};
constexpr Text reason_older_end{"\x01older\x01than\x01the\x01\x66ile]",
                                "\x01older\x01than\x01the\x01"
                                "file]"};
constexpr Text reason_newer{"\x93\xFA\x90V\x82\xB5\x82\xA2\x82\xC5\x82\xB7 [list\x01",
                            "日新しいです [list\x01"};
constexpr Text reason_newer_end{"\x01newer\x01than\x01the\x01\x66ile]",
                                "\x01newer\x01than\x01the\x01"
                                "file]"};
constexpr Text one_day{"\x01\x64\x61y", "\x01"
                                        "day"};
constexpr Text many_days{"\x01\x64\x61ys", "\x01"
                                           "days"};
constexpr Text reason_other_thing{
    "\x95\xCA\x82\xCC\x82\xE0\x82\xCC\x82\xF0\x8BL\x82\xB5\x82\xBD\x88\xEA\x97\x97\x82\xC5\x82\xB7 "
    "[list\x01of\x01something\x01\x65lse]",
    "別のものを記した一覧です [list\x01of\x01something\x01"
    "else]"};
constexpr Text reason_unstated{
    "\x83\x41\x83\x8B\x83S\x83\x8A\x83Y\x83\x80\x82\xAA\x8F\x91\x82\xA9\x82\xEA\x82\xC4\x82\xA2\x82"
    "\xC8\x82\xA2\x88\xEA\x97\x97\x82\xC5\x82\xB7 [algorithm\x01not\x01stated]",
    "アルゴリズムが書かれていない一覧です [algorithm\x01not\x01stated]"};
constexpr Text reason_not_exact{
    "\x8C\x88\x82\xDC\x82\xC1\x82\xBD\x8F\x91\x8E\xAE\x82\xCC\x8Ds\x82\xC5\x82\xCD\x82\xA0\x82\xE8"
    "\x82\xDC\x82\xB9\x82\xF1 [not\x01\x61n\x01\x65xact\x01line]",
    "決まった書式の行ではありません [not\x01"
    "an\x01"
    "exact\x01line]"};
constexpr Text reason_folders_only{
    "\x82\xD9\x82\xA9\x82\xCC\x83t\x83H\x83\x8B\x83_\x81[\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCC\x8BL\x8D\xDA\x82\xBE\x82\xAF\x82\xC5\x82\xB7 "
    "[only\x01\x65ntries\x01\x66or\x01other\x01\x66olders]",
    "ほかのフォルダーのファイルの記載だけです [only\x01"
    "entries\x01"
    "for\x01other\x01"
    "folders]"};
constexpr Text reason_no_permission{
    "\x8C\xA0\x8C\xC0\x82\xAA\x82\xC8\x82\xAD\x93\xC7\x82\xDF\x82\xC8\x82\xA2\x88\xEA\x97\x97\x82"
    "\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7 [list\x01not\x01read:\x01no\x01permission]",
    "権限がなく読めない一覧があります [list\x01not\x01read:\x01no\x01permission]"};
constexpr Text reason_too_many{
    "\x88\xEA\x97\x97\x82\xAA\x91\xBD\x82\xB7\x82\xAC\x82\xC4\x93\xC7\x82\xDC\x82\xC8\x82\xA9\x82"
    "\xC1\x82\xBD\x82\xE0\x82\xCC\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7 [too\x01many\x01lists]",
    "一覧が多すぎて読まなかったものがあります [too\x01many\x01lists]"};
constexpr Text reason_budget{
    "\x93\xC7\x82\xDE\x97\xCA\x82\xCC\x8F\xE3\x8C\xC0\x82\xC9\x92\x42\x82\xB5\x81\x41\x93\xC7\x82"
    "\xDC\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x88\xEA\x97\x97\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7 "
    "[read\x01\x62udget\x01reached]",
    "読む量の上限に達し、読まなかった一覧があります [read\x01"
    "budget\x01reached]"};
constexpr Text reason_time_limit{
    "\x8E\x9E\x8A\xD4\x82\xCC\x8F\xE3\x8C\xC0\x82\xC9\x92\x42\x82\xB5\x81\x41\x93\xC7\x82\xDC\x82"
    "\xC8\x82\xA9\x82\xC1\x82\xBD\x88\xEA\x97\x97\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB7 "
    "[time\x01limit\x01reached]",
    "時間の上限に達し、読まなかった一覧があります [time\x01limit\x01reached]"};
constexpr Text reason_not_tied{
    "\x82\xB1\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCC\x82\xE0\x82\xCC\x82\xC6\x82\xCD\x8C\xC0\x82\xE8\x82\xDC\x82\xB9\x82"
    "\xF1 [not\x01tied\x01to\x01this\x01\x66ile]",
    "このファイルのものとは限りません [not\x01tied\x01to\x01this\x01"
    "file]"};
// An argument that differs while a list matches.
constexpr Text reason_perhaps_other{
    "\x95\xCA\x82\xCC\x83\x41\x83\x8B\x83S\x83\x8A\x83Y\x83\x80\x82\xCC\x82\xE0\x82\xCC\x82\xA9\x82"
    "\xE0\x82\xB5\x82\xEA\x82\xDC\x82\xB9\x82\xF1 [perhaps\x01\x61nother\x01\x61lgorithm]",
    "別のアルゴリズムのものかもしれません [perhaps\x01"
    "another\x01"
    "algorithm]"};
// Lists left unread while nothing else decided.
constexpr Text not_read_label{"\x88\xEA\x97\x97\x82\xF0\x93\xC7\x82\xDD\x90\xD8\x82\xEA\x82\xDC\x82"
                              "\xB9\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x01[lookup\x01incomplete]",
                              "一覧を読み切れませんでした\x01[lookup\x01incomplete]"};
// A digest copied from a console: no evidence, not compared.
constexpr Text console_copy{
    "\x83N\x83\x8A\x83\x62\x83v\x83{\x81[\x83h\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCD\x83R\x83\x93\x83\\\x81["
    "\x83\x8B\x82\xA9\x82\xE7\x83R\x83s\x81["
    "\x82\xB3\x82\xEA\x82\xBD\x82\xE0\x82\xCC\x82\xC5\x81\x41\x94\xE4\x82\xD7\x82\xC4\x82\xA2\x82"
    "\xDC\x82\xB9\x82\xF1 "
    "[clipboard\x01\x63opied\x01\x66rom\x01\x61\x01\x63onsole;\x01not\x01\x63ompared]",
    "クリップボードのダイジェストはコンソールからコピーされたもので、比べていません [clipboard\x01"
    "copied\x01"
    "from\x01"
    "a\x01"
    "console;\x01not\x01"
    "compared]"};
// Why the second argument was not used.
constexpr Text unused_label{"\x88\xF8\x90\x94\x82\xCD\x8Eg\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x82\xC5"
                            "\x82\xB5\x82\xBD\x01[argument\x01not\x01used]",
                            "引数は使いませんでした\x01[argument\x01not\x01used]"};
constexpr Text unused_length{"\x82\xB1\x82\xCC\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x83_"
                             "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x8C\x85\x90\x94\x82\xC5\x82"
                             "\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 [wrong\x01length]",
                             "このプログラムのダイジェストの桁数ではありません [wrong\x01length]"};
constexpr Text unused_algorithm{
    "\x95\xCA\x82\xCC\x83\x41\x83\x8B\x83S\x83\x8A\x83Y\x83\x80\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC5\x82\xB7 [other\x01\x61lgorithm]",
    "別のアルゴリズムのダイジェストです [other\x01"
    "algorithm]"};
constexpr Text unused_other_file{
    "\x95\xCA\x82\xCC\x83t\x83@\x83\x43\x83\x8B\x82\xCC\x8Ds\x82\xC5\x82\xB7 "
    "[another\x01\x66ile's\x01line]",
    "別のファイルの行です [another\x01"
    "file's\x01line]"};
constexpr Text unused_none{
    "\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 "
    "[not\x01\x61\x01\x64igest]",
    "ダイジェストではありません [not\x01"
    "a\x01"
    "digest]"};
constexpr Text unused_no_entry{"\x82\xB1\x82\xCC\x83t\x83@"
                               "\x83\x43\x83\x8B\x82\xCC\x8BL\x8D\xDA\x82\xAA\x82\xA0\x82\xE8\x82"
                               "\xDC\x82\xB9\x82\xF1 [no\x01\x65ntry\x01\x66or\x01this\x01\x66ile]",
                               "このファイルの記載がありません [no\x01"
                               "entry\x01"
                               "for\x01this\x01"
                               "file]"};
// After the count of arguments after the file: one file per run.
constexpr Text extra_label{"\x8C\xC2\x82\xCC\x88\xF8\x90\x94\x82\xCD\x8Eg\x82\xA2\x82\xDC\x82\xB9"
                           "\x82\xF1\x82\xC5\x82\xB5\x82\xBD\x01[arguments\x01not\x01used]",
                           "個の引数は使いませんでした\x01[arguments\x01not\x01used]"};
constexpr Text extra_after{
    ": "
    "1\x89\xF1\x82\xC9\x31\x82\xC2\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xF0\x8Cv\x8EZ\x82\xB5\x82\xDC\x82\xB7\x81\x42\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCD\x31\x82\xC2\x82\xB8\x82\xC2\x83h\x83\x8D\x83\x62\x83v\x82\xB7\x82\xE9"
    "\x82\xA9\x81\x41\x89\x45\x83N\x83\x8A\x83\x62\x83N\x83\x81\x83j\x83\x85\x81["
    "\x82\xF0\x8Eg\x82\xC1\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81i1\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xC9\x31\x83\x45\x83\x42\x83\x93\x83h\x83\x45\x82\xAA\x8AJ\x82\xAB\x82\xDC"
    "\x82\xB7\x81j [one\x01\x66ile\x01per\x01run]",
    ": "
    "1回に1つのファイルを計算します。ファイルは1つずつドロップするか、右クリックメニューを使ってく"
    "ださい（1ファイルに1ウィンドウが開きます） [one\x01"
    "file\x01per\x01run]"};

// Longest piece from outside shown (a list's name, an entry's path).
constexpr std::size_t piece_capacity = 1032;

void append(char* text, std::size_t size, const char* piece)
{
    const std::size_t have = std::strlen(text);
    std::snprintf(text + have, size - have, "%s", piece);
}

// Starts a line in `room`, empty.
MessageRoom& start(MessageRoom& room)
{
    room.utf8[0] = '\0';
    room.sjis[0] = '\0';
    room.label = VerdictLabel{0, 0, 0, 0};
    return room;
}

void add(MessageRoom& message, const Text& text)
{
    append(message.utf8, sizeof message.utf8, text.utf8);
    append(message.sjis, sizeof message.sjis, text.sjis);
}

// Marks the start and the end of the label: what is added in between.
void begin_label(MessageRoom& message)
{
    message.label.utf8_at = std::strlen(message.utf8);
    message.label.sjis_at = std::strlen(message.sjis);
}

void end_label(MessageRoom& message)
{
    message.label.utf8_length = std::strlen(message.utf8) - message.label.utf8_at;
    message.label.sjis_length = std::strlen(message.sjis) - message.label.sjis_at;
}

void add_label(MessageRoom& message, const Text& text)
{
    begin_label(message);
    add(message, text);
    end_label(message);
}

// A piece from outside (a list's name, an entry's path, a digest, a
// count): control characters shown as '?', so no list can drive the
// terminal.
void add_plain(MessageRoom& message, const char* piece)
{
    char clean[piece_capacity];
    std::size_t i = 0;
    for (; piece[i] != '\0' && i + 1 < sizeof clean; ++i) {
        const auto c = static_cast<unsigned char>(piece[i]);
        clean[i] = c < 0x20 || c == 0x7F ? '?' : piece[i];
    }
    clean[i] = '\0';
    add(message, Text{clean, clean});
}

// Lays text[0..length-1] out for the console as layout_wrap does, into
// out[0..size-1], with `part` as room for the text; returns the length
// laid out.
std::size_t lay_out(const char* text, std::size_t length, bool sjis, unsigned console, char* part,
                    std::size_t part_size, char* out, std::size_t size)
{
    // One column is kept free: a line that fills the last column would
    // wrap on some consoles before its line end.
    const unsigned columns = console > 1 ? console - 1 : 1;
    const std::size_t taken = length < part_size ? length : part_size - 1;
    std::memcpy(part, text, taken);
    part[taken] = '\0';
    layout_wrap(part, sjis, columns, console, out, size);
    return std::strlen(out);
}

// Lays the line out for the console's width and shows it. The label
// stands at the start of a line, one word, so it keeps its bytes, and
// what comes before it lays out alone as it does in the whole.
void show(MessageRoom& message, Tone tone, bool after_report)
{
    const unsigned console = platform_stderr_columns();
    VerdictLabel label = message.label;
    char* part = message.part;
    label.utf8_at = lay_out(message.utf8, message.label.utf8_at, false, console, part,
                            sizeof message.part, message.laid_utf8, sizeof message.laid_utf8);
    label.sjis_at = lay_out(message.sjis, message.label.sjis_at, true, console, part,
                            sizeof message.part, message.laid_sjis, sizeof message.laid_sjis);
    lay_out(message.utf8, std::strlen(message.utf8), false, console, part, sizeof message.part,
            message.laid_utf8, sizeof message.laid_utf8);
    lay_out(message.sjis, std::strlen(message.sjis), true, console, part, sizeof message.part,
            message.laid_sjis, sizeof message.laid_sjis);
    platform_console_verdict(message.laid_utf8, message.laid_sjis, label, tone, after_report);
}

} // namespace

void message_start(MessageRoom& room)
{
    start(room);
}

void message_add(MessageRoom& room, const MessageText& text, bool label)
{
    if (label) {
        add_label(room, Text{text.sjis, text.utf8});
    } else {
        add(room, Text{text.sjis, text.utf8});
    }
}

void message_add_plain(MessageRoom& room, const char* piece)
{
    add_plain(room, piece);
}

void message_show(MessageRoom& room, Tone tone, bool after_report)
{
    show(room, tone, after_report);
}

namespace
{

// The reason of `why` in the line, without brackets.
void add_reason(MessageRoom& message, const Why& why)
{
    if (why.doubt == Doubt::older || why.doubt == Doubt::newer) {
        char days[24];
        std::snprintf(days, sizeof days, "%lld", static_cast<long long>(why.days));
        const bool older = why.doubt == Doubt::older;
        add(message, reason_time);
        add_plain(message, days);
        add(message, older ? reason_older : reason_newer);
        add_plain(message, days);
        add(message, why.days == 1 ? one_day : many_days);
        add(message, older ? reason_older_end : reason_newer_end);
        return;
    }
    const Doubt d = why.doubt;
    add(message, d == Doubt::cut             ? reason_cut
                 : d == Doubt::other_thing   ? reason_other_thing
                 : d == Doubt::unstated      ? reason_unstated
                 : d == Doubt::not_exact     ? reason_not_exact
                 : d == Doubt::folders_only  ? reason_folders_only
                 : d == Doubt::no_permission ? reason_no_permission
                 : d == Doubt::too_many      ? reason_too_many
                 : d == Doubt::budget        ? reason_budget
                 : d == Doubt::time_limit    ? reason_time_limit
                                             : reason_not_tied);
}

} // namespace

void message_tally(const ChecksumTally& tally, Source source, const char* match_list,
                   const char* expected_list, const Why& why, bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    const auto add_source = [&](const char* list, const char* path) {
        if (source == Source::argument) {
            add(message, from_argument);
        } else if (source == Source::clipboard) {
            add(message, from_clipboard);
        } else {
            add_plain(message, list);
            if (path != nullptr && path[0] != '\0') {
                add_plain(message, " (");
                add_plain(message, path);
                add_plain(message, ")");
            }
        }
    };
    if (tally.matched) {
        add_label(message, match_label);
        add(message, colon);
        add_source(match_list, tally.match_path);
        add(message, match_after);
        show(message, Tone::match, after_report);
        return;
    }
    const bool red = why.doubt == Doubt::none;
    if (tally.one_expected) {
        add_plain(message, tally.expected);
        add(message, expected_label);
        add(message, Text{"\n", "\n"});
    }
    add_label(message, red ? mismatch_label : differs_label);
    add(message, colon);
    add_source(expected_list, nullptr);
    if (tally.several_lists) {
        add(message, more_lists);
    }
    if (tally.one_expected) {
        add(message, red ? mismatch_after : differs_after);
    } else {
        char count[16];
        std::snprintf(count, sizeof count, "%u", static_cast<unsigned>(tally.differing));
        add(message, many_middle);
        add_plain(message, count);
        add(message, red ? many_after : differs_many_after);
    }
    if (!red) {
        add(message, open_reason);
        add_reason(message, why);
        add(message, close_reason);
    }
    show(message, red ? Tone::mismatch : Tone::conflict, after_report);
}

void message_argument_differs(bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    add_label(message, differs_label);
    add(message, colon);
    add(message, from_argument);
    add(message, differs_after);
    add(message, open_reason);
    add(message, reason_perhaps_other);
    add(message, close_reason);
    show(message, Tone::conflict, after_report);
}

void message_not_read(const Why& why, bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    add_label(message, not_read_label);
    add(message, colon);
    add_reason(message, why);
    show(message, Tone::conflict, after_report);
}

void message_console_copy(bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    add(message, console_copy);
    show(message, Tone::conflict, after_report);
}

void message_unused(Unused reason, bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    add_label(message, unused_label);
    add(message, colon);
    add(message, reason == Unused::wrong_length      ? unused_length
                 : reason == Unused::other_algorithm ? unused_algorithm
                 : reason == Unused::other_file      ? unused_other_file
                 : reason == Unused::not_a_digest    ? unused_none
                                                     : unused_no_entry);
    show(message, Tone::conflict, after_report);
}

void message_extra(int count, bool after_report, MessageRoom& room)
{
    MessageRoom& message = start(room);
    char number[16];
    std::snprintf(number, sizeof number, "%d", count);
    begin_label(message);
    add_plain(message, number);
    add(message, extra_label);
    end_label(message);
    add(message, extra_after);
    show(message, Tone::conflict, after_report);
}

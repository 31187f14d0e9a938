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

// The labels that the console colours, and the colon after one.
// "一致 [match]: X のダイジェストと同じです（壊れていないことの確認で、出所の
// 確認ではありません）": the copy is intact; where it came from is not checked.
constexpr Text match_label{"\x88\xEA\x92v\x01[match]", "一致\x01[match]"};
constexpr Text colon{": ", ": "};
constexpr Text match_after{
    " \x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x93\xAF\x82\xB6\x82\xC5\x82\xB7\x81i"
    "\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xC8\x82\xA2\x82\xB1\x82\xC6\x82\xCC\x8Am\x94\x46\x82\xC5"
    "\x81\x41\x8Fo\x8F\x8A\x82\xCC\x8Am\x94\x46\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82"
    "\xF1\x81j",
    " のダイジェストと同じです（壊れていないことの確認で、出所の確認ではありません）"};

// "不一致 [MISMATCH]: X のダイジェストと違います。壊れているか、別のファイルです",
// after the expected digest and "  (期待値 [expected])".
constexpr Text mismatch_label{"\x95s\x88\xEA\x92v\x01[MISMATCH]", "不一致\x01[MISMATCH]"};
constexpr Text mismatch_after{
    " \x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x81\x42"
    "\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81\x41\x95\xCA\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B"
    "\x82\xC5\x82\xB7",
    " のダイジェストと違います。壊れているか、別のファイルです"};
constexpr Text expected_label{"  (\x8A\xFA\x91\xD2\x92l\x01[expected])",
                              "  (期待値\x01[expected])"};

// Where the expected digest came from, when not a checksum list.
constexpr Text from_argument{"\x88\xF8\x90\x94", "引数"};
constexpr Text from_clipboard{"\x83N\x83\x8A\x83\x62\x83v\x83{\x81[\x83h", "クリップボード"};

// "ほか", after the first of several lists that hold differing entries.
constexpr Text more_lists{" \x82\xD9\x82\xA9", " ほか"};
// "にある"
constexpr Text many_middle{" \x82\xC9\x82\xA0\x82\xE9 ", " にある "};
// "件のダイジェストのどれとも違います。壊れているか、別のファイルです"
constexpr Text many_after{
    "\x01\x8C\x8F\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x82\xC7\x82\xEA\x82\xC6\x82\xE0\x88\xE1\x82\xA2\x82"
    "\xDC\x82\xB7\x81\x42\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81\x41\x95\xCA\x82\xCC"
    "\x83t\x83@\x83\x43\x83\x8B\x82\xC5\x82\xB7",
    "\x01件のダイジェストのどれとも違います。壊れているか、別のファイルです"};
// "違います [differs]:"
constexpr Text differs_label{"\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x01[differs]",
                             "違います\x01[differs]"};
// "のダイジェストと違います"
constexpr Text differs_after{
    " \x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82\xB7",
    " のダイジェストと違います"};
// "件のダイジェストのどれとも違います"
constexpr Text differs_many_after{"\x01\x8C\x8F\x82\xCC\x83_"
                                  "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x82\xC7\x82\xEA\x82\xC6"
                                  "\x82\xE0\x88\xE1\x82\xA2\x82\xDC\x82\xB7",
                                  "\x01件のダイジェストのどれとも違います"};
// "（アルゴリズムが書かれていない一覧です [algorithm not stated]）"
constexpr Text reason_unstated{
    "\x81i\x83\x41\x83\x8B\x83S\x83\x8A\x83Y\x83\x80\x82\xAA\x8F\x91\x82\xA9\x82\xEA\x82\xC4\x82"
    "\xA2\x82\xC8\x82\xA2\x88\xEA\x97\x97\x82\xC5\x82\xB7 [algorithm\x01not\x01stated]\x81j",
    "（アルゴリズムが書かれていない一覧です [algorithm\x01not\x01stated]）"};
// "（最後まで読めなかった一覧です [list not read whole]）"
constexpr Text reason_cut{
    "\x81i\x8D\xC5\x8C\xE3\x82\xDC\x82\xC5\x93\xC7\x82\xDF\x82\xC8\x82\xA9\x82\xC1\x82\xBD\x88\xEA"
    "\x97\x97\x82\xC5\x82\xB7 [list\x01not\x01read\x01whole]\x81j",
    "（最後まで読めなかった一覧です [list\x01not\x01read\x01whole]）"};
// "（このファイルのものとは限りません [not tied to this file]）"
constexpr Text reason_clipboard{
    "\x81i\x82\xB1\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCC\x82\xE0\x82\xCC\x82\xC6\x82\xCD\x8C\xC0\x82\xE8\x82\xDC\x82\xB9\x82"
    "\xF1 [not\x01tied\x01to\x01this\x01\x66ile]\x81j",
    "（このファイルのものとは限りません [not\x01tied\x01to\x01this\x01"
    "file]）"};
// "引数は使いませんでした [argument not used]:"
constexpr Text unused_label{"\x88\xF8\x90\x94\x82\xCD\x8Eg\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x82\xC5"
                            "\x82\xB5\x82\xBD\x01[argument\x01not\x01used]",
                            "引数は使いませんでした\x01[argument\x01not\x01used]"};
// "このプログラムのダイジェストの桁数ではありません [wrong length]"
constexpr Text unused_length{"\x82\xB1\x82\xCC\x83v\x83\x8D\x83O\x83\x89\x83\x80\x82\xCC\x83_"
                             "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xCC\x8C\x85\x90\x94\x82\xC5\x82"
                             "\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 [wrong\x01length]",
                             "このプログラムのダイジェストの桁数ではありません [wrong\x01length]"};
// "別のアルゴリズムのダイジェストです [other algorithm]"
constexpr Text unused_algorithm{
    "\x95\xCA\x82\xCC\x83\x41\x83\x8B\x83S\x83\x8A\x83Y\x83\x80\x82\xCC\x83_"
    "\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC5\x82\xB7 [other\x01\x61lgorithm]",
    "別のアルゴリズムのダイジェストです [other\x01"
    "algorithm]"};
// "別のファイルの行です [another file's line]"
constexpr Text unused_other_file{
    "\x95\xCA\x82\xCC\x83t\x83@\x83\x43\x83\x8B\x82\xCC\x8Ds\x82\xC5\x82\xB7 "
    "[another\x01\x66ile's\x01line]",
    "別のファイルの行です [another\x01"
    "file's\x01line]"};
// "ダイジェストではありません [not a digest]"
constexpr Text unused_none{
    "\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1 "
    "[not\x01\x61\x01\x64igest]",
    "ダイジェストではありません [not\x01"
    "a\x01"
    "digest]"};
// "このファイルの記載がありません。1 回に 1 つのファイルを計算します [no entry; one file per run]"
constexpr Text unused_no_entry{
    "\x82\xB1\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCC\x8BL\x8D\xDA\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81\x42"
    "\x31\x01\x89\xF1\x82\xC9\x01\x31\x01\x82\xC2\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xF0\x8Cv\x8EZ\x82\xB5\x82\xDC\x82\xB7 "
    "[no\x01\x65ntry;\x01one\x01\x66ile\x01per\x01run]",
    "このファイルの記載がありません。1\x01回に\x01"
    "1\x01つのファイルを計算します [no\x01"
    "entry;\x01one\x01"
    "file\x01per\x01run]"};
// "個の引数は使いませんでした [arguments not used]: 1 回に 1 つのファイルを計算します。ファイルは 1
// つずつドロップするか、右クリックメニューを使ってください（1 ファイルに 1 ウィンドウが開きます）
// [one file per run]"
constexpr Text extra_label{
    "\x01\x8C\xC2\x82\xCC\x88\xF8\x90\x94\x82\xCD\x8Eg\x82\xA2\x82\xDC\x82\xB9\x82\xF1\x82\xC5\x82"
    "\xB5\x82\xBD\x01[arguments\x01not\x01used]",
    "\x01個の引数は使いませんでした\x01[arguments\x01not\x01used]"};
constexpr Text extra_after{
    ": 1\x01\x89\xF1\x82\xC9\x01\x31\x01\x82\xC2\x82\xCC\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xF0\x8Cv\x8EZ\x82\xB5\x82\xDC\x82\xB7\x81\x42\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xCD\x01\x31\x01\x82\xC2\x82\xB8\x82\xC2\x83h\x83\x8D\x83\x62\x83v\x82\xB7"
    "\x82\xE9\x82\xA9\x81\x41\x89\x45\x83N\x83\x8A\x83\x62\x83N\x83\x81\x83j\x83\x85\x81["
    "\x82\xF0\x8Eg\x82\xC1\x82\xC4\x82\xAD\x82\xBE\x82\xB3\x82\xA2\x81i1\x01\x83t\x83@"
    "\x83\x43\x83\x8B\x82\xC9\x01\x31\x01\x83\x45\x83\x42\x83\x93\x83h\x83\x45\x82\xAA\x8AJ\x82\xAB"
    "\x82\xDC\x82\xB7\x81j [one\x01\x66ile\x01per\x01run]",
    ": 1\x01回に\x01"
    "1\x01つのファイルを計算します。ファイルは\x01"
    "1\x01つずつドロップするか、右クリックメニューを使ってください（1\x01ファイルに\x01"
    "1\x01ウィンドウが開きます） [one\x01"
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

void message_tally(const ChecksumTally& tally, Source source, const char* match_list,
                   const char* expected_list, bool after_report, MessageRoom& room)
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
    const bool red = tally.all_stated_whole && source != Source::clipboard;
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
        add(message, source == Source::clipboard ? reason_clipboard
                     : tally.some_unstated       ? reason_unstated
                                                 : reason_cut);
    }
    show(message, red ? Tone::mismatch : Tone::conflict, after_report);
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

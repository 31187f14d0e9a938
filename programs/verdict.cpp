// The verdict on a digest: where the expected one comes from, and the line
// that compares them.
#include "verdict.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "checksum.h"
#include "platform.h"

namespace {

// A text of the verdict in Shift-JIS (as stored: "\x83\x43" rather than
// "\x83C", so that no escape swallows the next letter) and in UTF-8.
struct Text {
    const char* sjis;
    const char* utf8;
};

// "一致 [match]: X のダイジェストと同じです（壊れていないことの確認で、出所の
// 確認ではありません）": the copy is intact; where it came from is not checked.
constexpr Text match_before{"\x88\xEA\x92v [match]: ", "一致 [match]: "};
constexpr Text match_after{
    " \x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x93\xAF\x82\xB6\x82\xC5\x82\xB7\x81i"
    "\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xC8\x82\xA2\x82\xB1\x82\xC6\x82\xCC\x8Am\x94\x46\x82\xC5"
    "\x81\x41\x8Fo\x8F\x8A\x82\xCC\x8Am\x94\x46\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1\x81j",
    " のダイジェストと同じです（壊れていないことの確認で、出所の確認ではありません）"};

// "不一致 [MISMATCH]: X のダイジェストと違います。壊れているか、別のファイルです",
// after the expected digest and "  (期待値 [expected])".
constexpr Text mismatch_before{"\x95s\x88\xEA\x92v [MISMATCH]: ", "不一致 [MISMATCH]: "};
constexpr Text mismatch_after{
    " \x82\xCC\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC\x82\xB7\x81\x42"
    "\x89\xF3\x82\xEA\x82\xC4\x82\xA2\x82\xE9\x82\xA9\x81\x41\x95\xCA\x82\xCC\x83t\x83@\x83\x43\x83\x8B"
    "\x82\xC5\x82\xB7",
    " のダイジェストと違います。壊れているか、別のファイルです"};
constexpr Text expected_label{"  (\x8A\xFA\x91\xD2\x92l [expected])", "  (期待値 [expected])"};

// "判定不能 [conflict]: X にこのファイルの異なるダイジェストが複数あります".
constexpr Text conflict_before{"\x94\xBB\x92\xE8\x95s\x94\x5C [conflict]: ", "判定不能 [conflict]: "};
constexpr Text conflict_after{
    " \x82\xC9\x82\xB1\x82\xCC\x83t\x83@\x83\x43\x83\x8B\x82\xCC\x88\xD9\x82\xC8\x82\xE9\x83_\x83\x43"
    "\x83W\x83\x46\x83X\x83g\x82\xAA\x95\xA1\x90\x94\x82\xA0\x82\xE8\x82\xDC\x82\xB7",
    " にこのファイルの異なるダイジェストが複数あります"};

// Where the expected digest came from, when not a checksum file.
constexpr Text from_argument{"\x88\xF8\x90\x94", "引数"};
constexpr Text from_clipboard{"\x83N\x83\x8A\x83\x62\x83v\x83{\x81[\x83h", "クリップボード"};

// Longest file name looked for, and the share of a checksum file read: a
// list far longer than any real one ends there.
constexpr std::size_t name_capacity = 1024;
constexpr std::size_t list_capacity = std::size_t{1} << 20;
unsigned char list[list_capacity];

#if defined(_WIN32)
constexpr NameRule name_rule = NameRule::windows;
#else
constexpr NameRule name_rule = NameRule::exact;
#endif

// Looks in the checksum files beside the file, in order, for its entry;
// the first file that has one decides, and its name goes into source[].
Entry look_beside(const char* path, const char* algorithm, std::size_t digits, char* expected,
                  char* source, std::size_t source_size)
{
    char name[name_capacity];
    const std::size_t name_length = platform_file_name(path, name, sizeof name);
    if (name_length == 0) {
        return Entry::none;
    }
    char lower[8]; // "sha256"
    std::size_t i = 0;
    for (; algorithm[i] != '\0' && i + 1 < sizeof lower; ++i) {
        lower[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(algorithm[i])));
    }
    lower[i] = '\0';

    // The file's own checksum files first, then the lists of a folder.
    const char* const forms[] = {"%s.%s", "%s.%ssum", "%sSUMS", "%sSUMS.txt", "%ssums.txt",
                                 "%ssum.txt", "CHECKSUMS", "checksums.txt"};
    for (std::size_t form = 0; form < std::size(forms); ++form) {
        const bool own = form < 2;
        const int written = own ? std::snprintf(source, source_size, forms[form], name, lower)
                          : form < 4 ? std::snprintf(source, source_size, forms[form], algorithm)
                                     : std::snprintf(source, source_size, forms[form], lower);
        if (written < 0 || static_cast<std::size_t>(written) >= source_size) {
            continue;
        }
        const long size = platform_read_beside(path, source, list, sizeof list);
        if (size < 0) {
            continue;
        }
        const Entry answer = checksum_find(list, static_cast<std::size_t>(size), algorithm, digits,
                                           name, name_length, own, name_rule, expected);
        if (answer != Entry::none) {
            return answer;
        }
    }
    return Entry::none;
}

// The verdict's text in one encoding (`sjis` picks it) into line[].
void compose(char* line, std::size_t size, bool sjis, Entry answer, bool same, const char* expected,
             const char* source)
{
    const auto pick = [sjis](const Text& text) { return sjis ? text.sjis : text.utf8; };
    if (answer == Entry::conflict) {
        std::snprintf(line, size, "%s%s%s", pick(conflict_before), source, pick(conflict_after));
    } else if (same) {
        std::snprintf(line, size, "%s%s%s", pick(match_before), source, pick(match_after));
    } else {
        // The expected digest first, under the one printed, then the verdict.
        std::snprintf(line, size, "%s%s\n%s%s%s", expected, pick(expected_label), pick(mismatch_before),
                      source, pick(mismatch_after));
    }
}

} // namespace

void verdict_show(const char* path, const char* argument, const char* algorithm, const char* digest)
{
    // Only a person at a console sees a verdict; nothing else is looked up.
    if (path == nullptr || !platform_stderr_is_terminal()) {
        return;
    }
    const std::size_t digits = std::strlen(digest);
    char expected[checksum_max_digits + 1];
    char file_source[name_capacity + 16];
    char clipboard[512];
    const Text* named = nullptr; // the source, when it is not a file
    Entry answer = Entry::none;
    if (argument != nullptr && checksum_digest(argument, std::strlen(argument), digits, false, expected)) {
        answer = Entry::found;
        named = &from_argument;
    } else {
        answer = look_beside(path, algorithm, digits, expected, file_source, sizeof file_source);
    }
    if (answer == Entry::none) {
        const std::size_t length = platform_clipboard_text(clipboard, sizeof clipboard);
        if (length > 0 && checksum_digest(clipboard, length, digits, true, expected)) {
            answer = Entry::found;
            named = &from_clipboard;
        }
    }
    if (answer == Entry::none) {
        return;
    }

    const bool same = answer == Entry::found && std::strcmp(expected, digest) == 0;
    char utf8[name_capacity + 512];
    char sjis[name_capacity + 512];
    compose(utf8, sizeof utf8, false, answer, same, expected, named != nullptr ? named->utf8 : file_source);
    compose(sjis, sizeof sjis, true, answer, same, expected, named != nullptr ? named->sjis : file_source);
    const Tone tone = answer == Entry::conflict ? Tone::conflict : same ? Tone::match : Tone::mismatch;
    platform_console_verdict(utf8, sjis, tone, platform_stdout_is_terminal());
}

// How a program is used, said on a console when it was started without a
// file.
#include "messages.h"
#include "platform/process.h"

namespace
{

// How a program is used, around its name: "使い方: ファイルを X.exe かその
// ショートカットにドロップするか、エクスプローラーの右クリックメニュー
// （install.cmd で追加）を使うか、コマンドプロンプトで X ファイル [ダイジェスト]
// と入力します", or "使い方: コマンドラインで X ファイル [ダイジェスト] と入力します",
// and the same in English.
constexpr MessageText usage_drop{"\x8Eg\x82\xA2\x95\xFB: \x83t\x83@\x83\x43\x83\x8B\x82\xF0 ",
                                 "使い方: ファイルを "};
constexpr MessageText usage_menu{
    ".exe \x82\xA9\x82\xBB\x82\xCC\x83V\x83\x87\x81[\x83g\x83J\x83\x62\x83g\x82\xC9\x83h\x83\x8D"
    "\x83\x62\x83v\x82\xB7\x82\xE9\x82\xA9\x81\x41\x83G\x83N\x83X\x83v\x83\x8D\x81[\x83\x89\x81["
    "\x82\xCC\x89\x45\x83N\x83\x8A\x83\x62\x83N\x83\x81\x83j\x83\x85\x81[\x81iinstall.cmd "
    "\x82\xC5\x92\xC7\x89\xC1\x81j\x82\xF0\x8Eg\x82\xA4\x82\xA9\x81\x41\x83R\x83}\x83\x93\x83h"
    "\x83v\x83\x8D\x83\x93\x83v\x83g\x82\xC5 ",
    ".exe かそのショートカットにドロップするか、エクスプローラーの右クリックメニュー"
    "（install.cmd で追加）を使うか、コマンドプロンプトで "};
constexpr MessageText usage_command{"\x8Eg\x82\xA2\x95\xFB: \x83R\x83}\x83\x93\x83h\x83\x89\x83\x43"
                                    "\x83\x93\x82\xC5 ",
                                    "使い方: コマンドラインで "};
constexpr MessageText usage_arguments{
    "\x01\x83t\x83@\x83\x43\x83\x8B\x01[\x83_\x83\x43\x83W\x83\x46\x83X\x83g] "
    "\x82\xC6\x93\xFC\x97\xCD\x82\xB5\x82\xDC\x82\xB7\n",
    "\x01ファイル\x01[ダイジェスト] と入力します\n"};
constexpr MessageText usage_drop_english{"Usage: drop a file onto ", "Usage: drop a file onto "};
constexpr MessageText usage_menu_english{
    ".exe or its shortcut, use the Explorer menu that install.cmd "
    "adds, or type ",
    ".exe or its shortcut, use the Explorer menu that install.cmd "
    "adds, or type "};
constexpr MessageText usage_command_english{"Usage: on the command line, type ",
                                            "Usage: on the command line, type "};
constexpr MessageText usage_arguments_english{"\x01\x46ILE\x01[DIGEST]\n",
                                              "\x01\x46ILE\x01[DIGEST]\n"};

} // namespace

void message_usage(const char* program, MessageRoom& room)
{
    // Each language's line: Explorer's ways and the command, or the command.
    const MessageText* const lines[2][4] = {
        {&usage_drop, &usage_menu, &usage_command, &usage_arguments},
        {&usage_drop_english, &usage_menu_english, &usage_command_english,
         &usage_arguments_english}};
    const bool explorer = platform_has_explorer();
    message_start(room);
    for (const auto& line : lines) {
        if (explorer) {
            message_add(room, *line[0], false);
            message_add_plain(room, program);
            message_add(room, *line[1], false);
        } else {
            message_add(room, *line[2], false);
        }
        message_add_plain(room, program);
        message_add(room, *line[3], false);
    }
    message_show(room, Tone::conflict, false);
}

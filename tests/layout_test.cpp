// The verdict's lines laid out for an 80-column console.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "checksum_digests.h"
#include "layout.h"

// On an 80-column console no label or word is cut in two; a digest stays
// whole for the console to wrap.
TEST(Layout, BreaksOnlyBetweenWords)
{
    const std::string d128 = d512;
    const std::string text = d256
                             + "  (期待値\x01[expected])\n不一致\x01[MISMATCH]: SHA256SUMS "
                               "のダイジェストと違います。壊れているか、別のファイルです";
    char out[1024];
    ASSERT_TRUE(layout_wrap(text.c_str(), false, 79, 80, out, sizeof out));
    const std::string laid(out);
    // Every line fits, and only spaces became line ends.
    std::size_t start = 0;
    for (std::size_t end = laid.find('\n'); start < laid.size(); end = laid.find('\n', start)) {
        end = end == std::string::npos ? laid.size() : end;
        EXPECT_LE(layout_width(laid.data() + start, end - start, false), 79U)
            << laid.substr(start, end - start);
        start = end + 1;
    }
    EXPECT_NE(laid.find("(期待値 [expected])"), std::string::npos) << laid;
    const auto words = [](const std::string& t) {
        return replace_all(replace_all(replace_all(t, "\x01", ""), " ", ""), "\n", "");
    };
    EXPECT_EQ(words(laid), words(text)) << laid;
    EXPECT_EQ(laid.find('\x01'), std::string::npos);
    EXPECT_EQ(layout_width("期待値 [x]", std::strlen("期待値 [x]"), false), 10U);
    EXPECT_EQ(layout_width("\x8A\xFA\x91\xD2\x92l", 6, true), 6U);

    // A digest wider than the line stays whole; the label after it goes
    // where the console's wrap leaves room, or to the next line.
    ASSERT_TRUE(
        layout_wrap((d128 + "  (期待値\x01[expected])").c_str(), false, 79, 80, out, sizeof out));
    EXPECT_EQ(std::string(out), d128 + "  (期待値 [expected])");
    ASSERT_TRUE(
        layout_wrap((d128 + "  (期待値\x01[expected])").c_str(), false, 66, 67, out, sizeof out));
    EXPECT_EQ(std::string(out), d128 + "\n(期待値 [expected])");
    // Breaks after "、" and before "[" where no space is.
    ASSERT_TRUE(layout_wrap("ああああ、いいいい[x]", false, 10, 11, out, sizeof out));
    EXPECT_EQ(std::string(out), "ああああ、\nいいいい\n[x]");
    ASSERT_TRUE(
        layout_wrap("\x82\xA0\x82\xA0\x81\x41\x82\xA2\x82\xA2", true, 6, 7, out, sizeof out));
    EXPECT_EQ(std::string(out), "\x82\xA0\x82\xA0\x81\x41\n\x82\xA2\x82\xA2");
    EXPECT_FALSE(layout_wrap(text.c_str(), false, 79, 80, out, 20));
    EXPECT_LT(std::strlen(out), 20U);
}

// Japanese text with no spaces breaks between its characters, by the
// rules: never before 、。」）or a small kana, never after 「（; a label
// joined by no-break marks stays whole; the Shift-JIS form breaks alike.
TEST(Layout, BreaksJapaneseByItsRules)
{
    const std::string text =
        "SHA256SUMSのダイジェストと違います。壊れているか、別のファイルです（「一覧」ッ）です "
        "違います\x01[differs]";
    for (unsigned width = 8; width <= 30; ++width) {
        char out[1024];
        ASSERT_TRUE(layout_wrap(text.c_str(), false, width, width + 1, out, sizeof out));
        const std::string laid(out);
        const auto words = [](const std::string& t) {
            return replace_all(replace_all(replace_all(t, "\x01", ""), " ", ""), "\n", "");
        };
        EXPECT_EQ(words(laid), words(text)) << laid;
        for (const char* never_first : {"、", "。", "」", "）", "ッ", "ェ"}) {
            EXPECT_EQ(laid.find(std::string("\n") + never_first), std::string::npos) << laid;
        }
        for (const char* never_last : {"（\n", "「\n"}) {
            EXPECT_EQ(laid.find(never_last), std::string::npos) << laid;
        }
        EXPECT_NE(laid.find("違います [differs]"), std::string::npos) << laid;
        std::size_t start = 0;
        for (std::size_t end = laid.find('\n'); start < laid.size(); end = laid.find('\n', start)) {
            end = end == std::string::npos ? laid.size() : end;
            const std::string line = laid.substr(start, end - start);
            if (line.find("SHA256SUMS") == std::string::npos
                && line.find("[differs]") == std::string::npos) {
                EXPECT_LE(layout_width(line.data(), line.size(), false), width) << laid;
            }
            start = end + 1;
        }
    }
    // The Shift-JIS form: "ダイジェストと違います。" breaks before 違, not before 。.
    const char sjis[] = "\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82\xDC"
                        "\x82\xB7\x81\x42";
    char out[256];
    ASSERT_TRUE(layout_wrap(sjis, true, 20, 21, out, sizeof out));
    EXPECT_EQ(std::string(out), "\x83_\x83\x43\x83W\x83\x46\x83X\x83g\x82\xC6\x88\xE1\x82\xA2\x82"
                                "\xDC\n\x82\xB7\x81\x42");
}

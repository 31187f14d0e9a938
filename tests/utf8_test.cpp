// The one UTF-8 rule: every well-formed sequence at the edges of its range
// passes, and every byte string that is not UTF-8 fails.
#include <gtest/gtest.h>

#include <string>

#include "utf8.h"

TEST(Utf8, StrictRule)
{
    for (const std::string valid :
         {"", "a.iso", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
          "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF", "\xE6\x97\xA5\xE6\x9C\xAC"}) {
        EXPECT_TRUE(utf8_valid(valid.data(), valid.size())) << valid;
    }
    for (const std::string invalid :
         {"\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xED\xBF\xBF",
          "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xFF", "\xC2", "\xE6\x97",
          "\xF0\x90\x80", "\xC2\x41", "\xE6\x97\x41", "a\xE6"}) {
        EXPECT_FALSE(utf8_valid(invalid.data(), invalid.size())) << invalid;
    }
}

// Names between the phone's UTF-8 and the model's CP1251.
#include <gtest/gtest.h>

#include "phonefs/CodePage.h"

using namespace orvo;

namespace {

TEST(CodePageTest, CyrillicRoundTripsOneBytePerLetter) {
    std::string ansi, back;
    ASSERT_TRUE(Utf8ToAnsi("Мелодия Ёё.mid", ansi));
    EXPECT_EQ(ansi, "\xCC\xE5\xEB\xEE\xE4\xE8\xFF \xA8\xB8.mid");
    ASSERT_TRUE(AnsiToUtf8(ansi, back));
    EXPECT_EQ(back, "Мелодия Ёё.mid");
    ASSERT_TRUE(Utf8ToAnsi(std::string("a\0b", 3), ansi));  // NUL passes through
    EXPECT_EQ(ansi, std::string("a\0b", 3));
    ASSERT_TRUE(Utf8ToAnsi("", ansi));
    EXPECT_EQ(ansi, "");
}

TEST(CodePageTest, TextOutsideTheCodePageIsRefusedNotMangled) {
    std::string ansi;
    EXPECT_FALSE(Utf8ToAnsi("日本.txt", ansi));
    EXPECT_FALSE(Utf8ToAnsi("smile \xF0\x9F\x98\x80", ansi));
    EXPECT_FALSE(Utf8ToAnsi("bad \xC3", ansi));      // truncated sequence
    EXPECT_FALSE(Utf8ToAnsi("bad \xFF\xFE", ansi));  // not UTF-8 at all
    std::string utf8;
    EXPECT_FALSE(AnsiToUtf8("x\x98y", utf8));  // 0x98 has no character in CP1251
}

TEST(CodePageTest, DisplayFormReplacesOnlyTheBadBytes) {
    EXPECT_EQ(AnsiToUtf8Display("\xCF\xF0\xE8\x98.txt"), "При?.txt");
    EXPECT_EQ(AnsiToUtf8Display("plain"), "plain");
}

}  // namespace

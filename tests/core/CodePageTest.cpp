// Names between the phone's UTF-8 and the model's CP1251.
#include <gtest/gtest.h>

#include "phonefs/CodePage.h"
#ifndef _WIN32
#include <iconv.h>
#endif

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

// The conversion carries its own table, the same on every system: on Linux it must
// agree with the C library's converter on every byte and on malformed UTF-8.
#ifndef _WIN32
std::string ByIconv(const char* to, const char* from, const std::string& in, bool& ok) {
    iconv_t cd = iconv_open(to, from);
    std::string out(in.size() * 4 + 4, '\0');
    char* src = const_cast<char*>(in.data());
    char* dst = out.data();
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    ok = iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<std::size_t>(-1) && srcLeft == 0;
    iconv_close(cd);
    out.resize(out.size() - dstLeft);
    return out;
}

TEST(CodePageTest, TableAgreesWithTheSystemConverter) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        bool systemOk = false;
        const std::string expected = ByIconv("UTF-8", "CP1251", byte, systemOk);
        std::string utf8;
        ASSERT_EQ(AnsiToUtf8(byte, utf8), systemOk) << b;
        if (!systemOk)
            continue;
        EXPECT_EQ(utf8, expected) << b;
        std::string back;
        ASSERT_TRUE(Utf8ToAnsi(utf8, back)) << b;
        EXPECT_EQ(back, byte) << b;
    }
    for (const std::string& bad :
         {std::string("\xC0\xAF"), std::string("\xED\xA0\x80"), std::string("\xE2\x82"),
          std::string("\x80"), std::string("\xD0\x9F\xD1"), std::string("\xF4\x90\x80\x80"),
          std::string("\xD0\x9F\xD1\x80")}) {
        bool systemOk = false;
        (void)ByIconv("CP1251", "UTF-8", bad, systemOk);
        std::string ansi;
        EXPECT_EQ(Utf8ToAnsi(bad, ansi), systemOk) << bad;
    }
}
#endif

}  // namespace

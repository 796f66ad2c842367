#include "Cp1250.h"

#include <gtest/gtest.h>

TEST(Cp1250, CzechLettersRoundTrip)
{
    const std::string utf8 = "Příliš žluťoučký kůň úpěl ďábelské ódy";
    const std::string cp1250 = Cp1250FromUtf8(utf8);
    EXPECT_EQ(cp1250, "P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2 \xFAp\xECl \xEF\xE1" "belsk\xE9 \xF3" "dy");
    EXPECT_EQ(Utf8FromCp1250(cp1250), utf8);
}

TEST(Cp1250, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Cp1250FromUtf8(Utf8FromCp1250(all)), all);
}

TEST(Cp1250, UnmappableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(Cp1250FromUtf8("\xE6\x97\xA5"), "?");      // a CJK character
    EXPECT_EQ(Cp1250FromUtf8("a\xFF" "b"), "a?b");        // not UTF-8 at all
    EXPECT_EQ(Cp1250FromUtf8("\xC3"), "?");                // cut short
    EXPECT_EQ(Cp1250FromUtf8("\xF0\x9F\x98\x80"), "?");    // outside the basic plane
}

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

TEST(Cp1250, UnmappableAndMalformedAreRefusedNotTurnedIntoQuestionMarks)
{
    const struct {
        std::string Text;
        std::string Outside;
    } cases[] = {
        {"Čaj \xE6\x97\xA5", "\xE6\x97\xA5"},              // a CJK character
        {"Äpfel Дмитрий", "Д"},                               // Ä fits, Cyrillic does not
        {"a\xFF" "b", "\xEF\xBF\xBD"},                        // not UTF-8 at all
        {"\xC3", "\xEF\xBF\xBD"},                             // cut short
        {"ok \xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},          // outside the basic plane
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FirstCharacterOutsideCp1250(c.Text), c.Outside) << c.Text;
        EXPECT_THROW(Cp1250FromUtf8(c.Text), ECp1250Error) << c.Text;
    }
    EXPECT_EQ(FirstCharacterOutsideCp1250("Příliš žluťoučký kůň ?"), "");
}

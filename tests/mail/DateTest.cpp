#include "IdGlobal.h"

#include <cstdlib>
#include <ctime>

#include <gtest/gtest.h>

namespace {

const double Second = 1.0 / 86400;

TDateTime At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0)
{
    return EncodeDate(year, month, day) + EncodeTime(hour, minute, second);
}

// Prague: +1 hour in winter, +2 in summer.
class DateField : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* old = std::getenv("TZ");
        FOldZone = old ? old : "";
        FHadZone = old != nullptr;
        setenv("TZ", "Europe/Prague", 1);
        tzset();
    }
    void TearDown() override
    {
        if (FHadZone)
            setenv("TZ", FOldZone.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string FOldZone;
    bool FHadZone = false;
};

TDateTime ParsedDateTime(std::string text)
{
    return ParseDateTimeText(text);
}

} // namespace

TEST(EncodeDate, CountsDaysFromTheEndOf1899)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
    EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
    EXPECT_EQ(EncodeDate(2000, 3, 1) - EncodeDate(2000, 2, 28), 2);
}

TEST(ParseDateTimeText, ReadsTheUsualForms)
{
    struct Case { const char* text; TDateTime expected; const char* zone; };
    for (const Case& c : std::initializer_list<Case>{
             {"Tue, 1 Dec 2026 10:00:00 +0100", At(2026, 12, 1, 10), "+0100"},
             {"1 Dec 26 10:00 -0500", At(2026, 12, 1, 10), "-0500"},
             {"1 Dec 99", At(1999, 12, 1), ""},
             {"01-Dec-2026 10:00:00", At(2026, 12, 1, 10), ""},
             {"Dec 1 10:00:00 2026", At(2026, 12, 1, 10), ""},
             {"wed, 2 jan 2030 23:59:59 GMT", At(2030, 1, 2, 23, 59, 59), "GMT"},
             {"x Feb 2024", At(2024, 2, 1), ""},
             {"29 Feb 2024 12:00:00 +0000 (UTC)", At(2024, 2, 29, 12), "+0000 (UTC)"},
         }) {
        std::string text = c.text;
        EXPECT_NEAR(ParseDateTimeText(text), c.expected, Second) << c.text;
        EXPECT_EQ(text, c.zone) << c.text;
    }
}

TEST(ParseDateTimeText, ImpossibleDatesAndTimesGiveZero)
{
    for (const char* text : {"", "Tue, 1 Dec 2026 10:00:60 +0000", "1 Foo 2026", "30 Feb 2026", "1 Dec 2026 24:00",
                             "1 Dec 10000", "-5 Dec 2026", "garbage", ":::"})
        EXPECT_EQ(ParsedDateTime(text), 0) << text;
}

TEST(ParseZoneOffset, NumericOffsetsAndZoneNames)
{
    struct Case { const char* zone; double hours; };
    for (const Case& c : std::initializer_list<Case>{
             {"+0100", 1}, {"-0530", -5.5}, {" +0200 (CEST)", 2}, {"GMT", 0}, {"UT", 0}, {"EST", -5},
             {"edt", -4}, {"CST", -6}, {"CDT", -5}, {"MST", -7}, {"MDT", -6}, {"PST", -8}, {"PDT", -7},
             {"CET", 1}, {"CEST (summer)", 2}, {"EET", 2}, {"EEST", 3}, {"WET", 0}, {"WEST", 1}, {"BST", 1},
             {"", 0}, {"+", 0}, {"+01", 0}, {"x0100", 0}, {"ESTX", 0}, {"Europe/Prague", 0},
         })
        EXPECT_NEAR(ParseZoneOffset(c.zone), c.hours / 24, Second) << c.zone;
}

TEST_F(DateField, ConvertsToLocalTime)
{
    EXPECT_NEAR(ParseDateField("Tue, 1 Dec 2026 10:00:00 +0100"), At(2026, 12, 1, 10), Second);
    EXPECT_NEAR(ParseDateField("Tue, 1 Dec 2026 10:00:00 GMT"), At(2026, 12, 1, 11), Second);
    EXPECT_NEAR(ParseDateField("Tue, 1 Dec 2026 10:00:00 EST"), At(2026, 12, 1, 16), Second);
    EXPECT_NEAR(ParseDateField("Mon, 1 Jun 2026 10:00:00 CEST"), At(2026, 6, 1, 10), Second);
    EXPECT_NEAR(ParseDateField("1 Dec 2026 10:00:00 -0500"), At(2026, 12, 1, 16), Second);
}

TEST_F(DateField, SummerDateGetsTheSummerOffsetWhateverTheSeasonNow)
{
    EXPECT_NEAR(ParseDateField("Mon, 1 Jun 2026 10:00:00 +0000"), At(2026, 6, 1, 12), Second);
    EXPECT_NEAR(ParseDateField("Sun, 1 Feb 2026 10:00:00 +0000"), At(2026, 2, 1, 11), Second);
    // Half an hour after the spring change (01:00 UTC on 29 March 2026).
    EXPECT_NEAR(ParseDateField("29 Mar 2026 01:30:00 +0000"), At(2026, 3, 29, 3, 30), Second);
}

TEST_F(DateField, NoUsableDateGivesZeroWhateverTheZone)
{
    for (const char* value : {"", "Tue, 1 Dec 2026 10:00:60 +0000", "Tue, 1 Dec 2026 10:00:60 +0100",
                              "Tue, 1 Dec 2026 10:00:60 PST"})
        EXPECT_EQ(ParseDateField(value), 0) << value;
}

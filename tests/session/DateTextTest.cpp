#include "DateText.h"

#include <gtest/gtest.h>

#include <limits>

// The tests run with LC_ALL=C.UTF-8, whose short date is "d MMM yyyy" and long time "HH:mm:ss t".
// 45000 is 15 March 2023.

TEST(DateTimeText, MidnightShowsTheDateAlone)
{
    EXPECT_EQ(DateTimeText(45000.0), "15 Mar 2023");
}

TEST(DateTimeText, OtherTimesFollowTheDateWithoutAZoneName)
{
    EXPECT_EQ(DateTimeText(45000.0 + (13 * 3600 + 5 * 60 + 9) / 86400.0), "15 Mar 2023 13:05:09");
    EXPECT_EQ(DateTimeText(45000.0 + 1 / 86400.0), "15 Mar 2023 00:00:01");
}

TEST(DateTimeText, ARoundingErrorNextToMidnightIsMidnight)
{
    EXPECT_EQ(DateTimeText(45000.0 + 1e-12), "15 Mar 2023");
    EXPECT_EQ(DateTimeText(45001.0 - 1e-12), "16 Mar 2023");
}

TEST(DateTimeText, NoDateIsAnEmptyText)
{
    EXPECT_EQ(DateTimeText(0.0), "");
}

TEST(DateTimeText, NonsenseDoesNotCrash)
{
    DateTimeText(1e300);
    DateTimeText(-1e300);
    DateTimeText(std::numeric_limits<double>::quiet_NaN());
}

TEST(IsoDateTimeText, SameForEveryLocaleWithTheLocalOffset)
{
    // The tests run in Europe/Prague: +0100 in winter, +0200 in summer.
    const struct {
        double Date;
        const char* Expected;
    } cases[] = {
        {46027.0 + (8 * 3600 + 12 * 60) / 86400.0, "2026-01-05 08:12:00 +0100"},
        {45000.0, "2023-03-15 00:00:00 +0100"},
        {45122.0 + (23 * 3600 + 59 * 60 + 59) / 86400.0, "2023-07-15 23:59:59 +0200"},
        {0.0, ""},
        {1e300, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsoDateTimeText(c.Date), c.Expected) << c.Date;
}

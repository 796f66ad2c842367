#include "Convert.h"
#include "Exception.h"

#include <gtest/gtest.h>

TEST(StrToInt, ReadsDecimalWithSign)
{
    EXPECT_EQ(StrToInt("0"), 0);
    EXPECT_EQ(StrToInt("-5"), -5);
    EXPECT_EQ(StrToInt("+17"), 17);
    EXPECT_EQ(StrToInt("2147483647"), 2147483647);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
}

TEST(StrToInt, ReadsHexadecimalAfterDollar)
{
    EXPECT_EQ(StrToInt("$1F"), 31);
    EXPECT_EQ(StrToInt("$1f"), 31);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("-$10"), -16);
}

TEST(StrToInt, RefusesEverythingElseWithTheRuntimeText)
{
    for (const char* text : {"", " 1", "1 ", "abc", "$", "0x1F", "2147483648", "$100000000", "12a", "-"}) {
        try {
            StrToInt(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& error) {
            EXPECT_EQ(error.Message, std::string("'") + text + "' is not a valid integer value");
        }
    }
}

TEST(StrToIntDef, GivesTheFallbackForBadText)
{
    EXPECT_EQ(StrToIntDef("", 20), 20);
    EXPECT_EQ(StrToIntDef("x", 20), 20);
    EXPECT_EQ(StrToIntDef("7", 20), 7);
}

TEST(EInOutError, MapsSystemErrorsToRuntimeTexts)
{
    EXPECT_EQ(EInOutError::FromErrno(ENOENT).Message, "File not found");
    EXPECT_EQ(EInOutError::FromErrno(EACCES).Message, "File access denied");
    EXPECT_EQ(EInOutError::FromErrno(ENOSPC).Message, "Disk full");
    EXPECT_EQ(EInOutError::FromErrno(EMFILE).Message, "Too many open files");
    EXPECT_EQ(EInOutError::FromErrno(EIO).Message, "I/O error " + std::to_string(EIO));
    EXPECT_EQ(EListError::OutOfBounds(3).Message, "List index out of bounds (3)");
}

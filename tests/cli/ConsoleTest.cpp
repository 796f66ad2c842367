#include "Console.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(Console, TextReachesTheTerminalWithLineFeeds)
{
    EXPECT_EQ(TerminalText("\r\n---Přílohy\r\nA\rB\r\n"), "\n---Přílohy\nA\rB\n");
}

TEST(Console, TabFieldsCannotSplitTheirLine)
{
    EXPECT_EQ(TabField("a\tb\r\nc"), "a b  c");
}

TEST(Console, YesIsACzechOrEnglishYesInAnyCase)
{
    for (const char* yes : {"a", "A", "ano", "ANO", "Ano", "y", "Y", "yes", "YES", " ano \r"})
        EXPECT_TRUE(IsYes(yes)) << yes;
    for (const char* no : {"", "n", "ne", "no", "anoo", "yes please", "j", "1"})
        EXPECT_FALSE(IsYes(no)) << no;
}

TEST(Console, AQuestionIsAskedOnTheErrorStreamAndEndOfInputIsNo)
{
    std::istringstream in("ano\n");
    std::ostringstream err;
    TConsoleUserInterface ui(in, err);
    EXPECT_TRUE(ui.AskYesNo("Warning", "Vymazat vybranou zprávu, opravdu?"));
    EXPECT_EQ(err.str(), "Vymazat vybranou zprávu, opravdu? [a/n] ");
    EXPECT_FALSE(ui.AskYesNo("Warning", "?"));
}

#include "Console.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(Console, TextReachesTheTerminalWithLineFeeds)
{
    EXPECT_EQ(TerminalText("\r\n---Přílohy\r\nA\tB\r\n"), "\n---Přílohy\nA\tB\n");
}

// Message bytes must not drive the terminal: no escape sequence, bell or overwritten line.
TEST(Console, ControlCharactersReachTheTerminalAsVisibleEscapes)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
        {"paid\rrefused", "paid\\x0drefused"},
        {"del\x7f nul", "del\\x7f nul"},
        {"csi \xc2\x9b" "2J", "csi \\u009b2J"},
        {"\xc2\xa0 stays, \xc5\xa1 too", "\xc2\xa0 stays, \xc5\xa1 too"},
    };
    for (const auto& [raw, shown] : cases)
        EXPECT_EQ(VisibleControls(raw), shown) << raw;
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

#include "CommandLine.h"

#include <gtest/gtest.h>

namespace {

TCommandLine Parse(std::vector<std::string> args)
{
    return ParseCommandLine(args);
}

} // namespace

TEST(CommandLine, OptionsMayStandAnywhere)
{
    const TCommandLine line = Parse({"delete", "--trace", "2", "--accounts", "/tmp/a.dat", "3", "--yes", "5"});
    EXPECT_EQ(line.Command, "delete");
    EXPECT_EQ(line.Arguments, (std::vector<std::string>{"2", "3", "5"}));
    EXPECT_EQ(line.AccountsFile, "/tmp/a.dat");
    EXPECT_TRUE(line.Trace);
    EXPECT_TRUE(line.Yes);
    EXPECT_FALSE(line.Help);
    EXPECT_EQ(Parse({"--accounts=x.dat", "accounts"}).AccountsFile, "x.dat");
}

TEST(CommandLine, HelpNeedsNoCommand)
{
    EXPECT_TRUE(Parse({"--help"}).Help);
    EXPECT_TRUE(Parse({"check", "-h"}).Help);
    EXPECT_TRUE(Parse({"nonsense", "--help"}).Help);
}

TEST(CommandLine, ArgumentsArriveAsTheTerminalGaveThem)
{
    EXPECT_EQ(Parse({"check", "jiří@example.cz"}).Arguments.front(), "jiří@example.cz");
}

TEST(CommandLine, ArgumentsAfterADoubleDashAreNoOptions)
{
    const TCommandLine line = Parse({"save", "1", "2", "0", "--", "--yes"});
    EXPECT_EQ(line.Arguments.back(), "--yes");
    EXPECT_FALSE(line.Yes);
}

TEST(CommandLine, CommandLinesThatCannotRunAreUsageErrors)
{
    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"--yes"},
        {"fetch", "1"},
        {"accounts", "1"},
        {"check", "1", "2"},
        {"delete", "1", "--uid"},
        {"show", "1"},
        {"show", "1", "x"},
        {"show", "1", "0"},
        {"show", "1", "-3"},
        {"show", "1", "$10"},
        {"save", "1", "2", "0"},
        {"save", "1", "2", "-1", "f"},
        {"save", "1", "0", "1", "f"},
        {"delete", "1"},
        {"delete", "1", "2", "two"},
        {"check", "1", "--verbose"},
        {"check", "1", "--accounts"},
        {"check", "1", "--accounts="},
    };
    for (const auto& args : wrong)
        EXPECT_THROW(Parse(args), EUsage) << ::testing::PrintToString(args);
}

TEST(CommandLine, CheckOfEveryAccountAndDeletionByUniqueId)
{
    const TCommandLine all = Parse({"check", "--new", "--json", "-q"});
    EXPECT_TRUE(all.Arguments.empty());
    EXPECT_TRUE(all.NewOnly && all.Json && all.Quiet);
    const TCommandLine byId = Parse({"delete", "1", "--uid", "QhdPYR:00WBw1Ph7x7", "--", "-x-"});
    EXPECT_TRUE(byId.ByUniqueId);
    EXPECT_EQ(byId.Arguments, (std::vector<std::string>{"1", "QhdPYR:00WBw1Ph7x7", "-x-"}));
}

TEST(CommandLine, MessageNumbersAndPartIndexesAreChecked)
{
    EXPECT_NO_THROW(Parse({"save", "me@example.org", "12", "0", "out.bin"}));
    EXPECT_NO_THROW(Parse({"delete", "1", "1", "7", "12"}));
    EXPECT_NO_THROW(Parse({"show", "2", "1"}));
}

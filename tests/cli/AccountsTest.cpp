#include "Accounts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

TEST(Accounts, FiveLinesMakeOneAccount)
{
    const auto accounts = ParseAccountFile("me@example.org\r\npop.example.org\r\nme\r\n heslo \r\n110\r\n"
                                           "ji\xF8\xED@example.cz\nmail.example.cz\njiri\nx\n995\n");
    ASSERT_EQ(accounts.size(), 2u);
    EXPECT_EQ(accounts[0].Address, "me@example.org");
    EXPECT_EQ(accounts[0].Host, "pop.example.org");
    EXPECT_EQ(accounts[0].User, "me");
    EXPECT_EQ(accounts[0].Password, " heslo ");
    EXPECT_EQ(accounts[0].Port, "110");
    EXPECT_EQ(accounts[1].Address, "ji\xF8\xED@example.cz");
    EXPECT_EQ(accounts[1].Port, "995");
}

TEST(Accounts, ShortAndPaddedFiles)
{
    EXPECT_TRUE(ParseAccountFile("").empty());
    const auto shortLast = ParseAccountFile("a\r\nh\r\n");
    ASSERT_EQ(shortLast.size(), 1u);
    EXPECT_EQ(shortLast[0].Host, "h");
    EXPECT_EQ(shortLast[0].Port, "");
    const auto extraLine = ParseAccountFile("a\r\nh\r\nu\r\np\r\n1\r\n\r\n");
    ASSERT_EQ(extraLine.size(), 2u);
    EXPECT_EQ(extraLine[1].Address, "");
    EXPECT_EQ(ParseAccountFile("a\r\nh\r\nu\r\np\r\n1\r\n\x1A" "b\r\nh\r\n").size(), 1u);
}

TEST(Accounts, AMissingFileHoldsNoAccountsAndADirectoryCannotBeRead)
{
    EXPECT_TRUE(ReadAccountFile("/nonexistent/accounts.dat").empty());
    EXPECT_THROW(ReadAccountFile("/"), EInOutError);
}

TEST(Accounts, AccountsAreChosenByPositionOrAddress)
{
    const auto accounts = ParseAccountFile("a@x\r\nh1\r\nu\r\np\r\n1\r\nb@x\r\nh2\r\nu\r\np\r\n2\r\n"
                                           "a@x\r\nh3\r\nu\r\np\r\n3\r\n");
    EXPECT_EQ(SelectAccount(accounts, "2").Host, "h2");
    EXPECT_EQ(SelectAccount(accounts, "a@x").Host, "h1");
    EXPECT_EQ(SelectAccount(accounts, "b@x").Host, "h2");
    EXPECT_THROW(SelectAccount(accounts, "4"), Exception);
    EXPECT_THROW(SelectAccount(accounts, "0"), Exception);
    EXPECT_THROW(SelectAccount(accounts, "c@x"), Exception);
}

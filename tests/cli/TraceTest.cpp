#include "Trace.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct TraceTest : ::testing::Test {
    std::vector<std::string> Lines;
    TTrace Trace{[this](const std::string& line) { Lines.push_back(line); }};
};

} // namespace

TEST_F(TraceTest, LinesArePrefixedByDirectionWithoutTheirLineEnds)
{
    Trace.Received("+OK ready\r\n");
    Trace.Sent("USER joe\r\n");
    Trace.Received("+OK\n");
    EXPECT_EQ(Lines, (std::vector<std::string>{"<-- +OK ready", "--> USER joe", "<-- +OK"}));
}

TEST_F(TraceTest, ALineSplitAcrossReceivesIsWrittenOnceWhole)
{
    Trace.Received("+OK 2 3");
    Trace.Received("20\r");
    EXPECT_TRUE(Lines.empty());
    Trace.Received("\n.\r\nSubj");
    Trace.Received("ect: x\r\n");
    EXPECT_EQ(Lines, (std::vector<std::string>{"<-- +OK 2 320", "<-- .", "<-- Subject: x"}));
}

TEST_F(TraceTest, ThePasswordIsMasked)
{
    Trace.Sent("PASS secret word\r\n");
    Trace.Sent("pass x\r\n");
    Trace.Sent("PASSWORD\r\n");
    EXPECT_EQ(Lines, (std::vector<std::string>{"--> PASS ********", "--> PASS ********", "--> PASSWORD"}));
}

TEST_F(TraceTest, EverythingTheClientSaysInAnAuthExchangeIsMasked)
{
    Trace.Sent("AUTH PLAIN AGpvZQBzZWNyZXQ=\r\n");
    Trace.Received("+ \r\n");
    Trace.Sent("c2VjcmV0\r\n");
    Trace.Received("+OK logged in\r\n");
    Trace.Sent("STAT\r\n");
    Trace.Sent("auth xoauth2\r\n");
    Trace.Sent("dG9rZW4=\r\n");
    EXPECT_EQ(Lines, (std::vector<std::string>{"--> AUTH PLAIN ********", "<-- + ", "--> ********",
                                               "<-- +OK logged in", "--> STAT", "--> auth xoauth2",
                                               "--> ********"}));
}

TEST_F(TraceTest, FlushWritesAnUnfinishedLine)
{
    Trace.Received("+OK but the server hung up");
    Trace.Flush();
    Trace.Flush();
    EXPECT_EQ(Lines, (std::vector<std::string>{"<-- +OK but the server hung up"}));
}

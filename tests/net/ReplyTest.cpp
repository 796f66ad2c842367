#include "IdException.h"
#include "MemoryConnection.h"

#include <gtest/gtest.h>

TEST(ParseLines, SplitsCodeAndText)
{
    struct Case {
        std::vector<std::string> lines;
        std::string textCode;
        int32_t numericCode;
        std::vector<std::string> text;
    };
    const Case cases[] = {
        {{"+OK 2 320"}, "+OK", 0, {"2 320"}},
        {{"-ERR no such message"}, "-ERR", 0, {" no such message"}},
        {{"+OK"}, "+OK", 0, {""}},
        {{"250-first", "250 last"}, "250", 250, {"first", "last"}},
        {{"220 ready"}, "220", 220, {"ready"}},
        {{"ab"}, "ab", 0, {""}},
        {{}, "", 0, {}},
    };
    for (const Case& c : cases) {
        TIdRFCReply reply;
        reply.SetNumericCode(7);
        reply.Text = {"old"};
        reply.ParseLines(c.lines);
        EXPECT_EQ(reply.TextCode(), c.textCode);
        EXPECT_EQ(reply.NumericCode(), c.numericCode);
        EXPECT_EQ(reply.Text, c.text);
    }
}

TEST(RFCReply, CodesKeepEachOtherInStep)
{
    TIdRFCReply reply;
    reply.SetTextCode("+OK");
    reply.SetNumericCode(1);
    EXPECT_EQ(reply.TextCode(), "1");
    reply.SetNumericCode(0);
    EXPECT_EQ(reply.TextCode(), "1");
    reply.SetTextCode("");
    EXPECT_EQ(reply.NumericCode(), 0);
    reply.SetNumericCode(5);
    reply.SetTextCode("");
    EXPECT_EQ(reply.NumericCode(), 5);
    reply.SetTextCode("-ERR");
    EXPECT_EQ(reply.NumericCode(), 0);
}

TEST(ReadReply, SkipsBlankLinesAndTrims)
{
    MemoryConnection m;
    m.Handler.Feed("\r\n   \r\n  250 all fine  \r\n");
    EXPECT_EQ(m.Connection.ReadReply({}), 250);
    EXPECT_EQ(m.Connection.LastReply.Text, std::vector<std::string>{"all fine"});
}

TEST(ReadReply, ContinuedReplyEndsAtTheMarkerInAnyCase)
{
    MemoryConnection m;
    m.Handler.Feed("25a-first\r\n\r\n 25a-second \r\n25A last\r\nnext\r\n");
    m.Connection.ReadReply({});
    EXPECT_EQ(m.Connection.LastReply.TextCode(), "25a");
    EXPECT_EQ(m.Connection.LastReply.Text, (std::vector<std::string>{"first", "second", "last"}));
    EXPECT_EQ(m.Connection.ReadLine(), "next");
}

TEST(ReadReply, ContinuedReplyEndsAtAShortLine)
{
    MemoryConnection m;
    m.Handler.Feed("250-first\r\n250\r\nnext\r\n");
    EXPECT_EQ(m.Connection.ReadReply({250}), 250);
    EXPECT_EQ(m.Connection.LastReply.Text, (std::vector<std::string>{"first", ""}));
}

TEST(SendCommand, WritesTheLineAndReturnsTheCode)
{
    MemoryConnection m;
    m.Handler.Feed("250-first\r\n250 last\r\n");
    EXPECT_EQ(m.Connection.SendCommand("EHLO x", 250), 250);
    EXPECT_EQ(m.Handler.Written, "EHLO x\r\n");
    EXPECT_EQ(m.Connection.LastReply.Text, (std::vector<std::string>{"first", "last"}));
}

TEST(SendCommand, AcceptedCodeMinusOneNeverRaises)
{
    MemoryConnection m;
    m.Handler.Feed("550 no\r\n");
    EXPECT_EQ(m.Connection.SendCommand("RCPT"), 550);
}

TEST(SendCommand, RejectedReplyRaisesWithItsTextAndCode)
{
    MemoryConnection m;
    m.Handler.Feed("550-mailbox\r\n550 unavailable\r\n");
    try {
        m.Connection.SendCommand("RCPT", TIdReplyCodes{250, 251});
        FAIL() << "no exception";
    } catch (const EIdProtocolReplyError& e) {
        EXPECT_EQ(e.ReplyCode, 550);
        EXPECT_EQ(e.Message, "mailbox\r\nunavailable\r\n");
    }
    EXPECT_TRUE(m.Connection.IsConnected());
    EXPECT_EQ(m.Connection.LastReply.NumericCode(), 550);
}

TEST(RaiseReplyError, ErrWithoutTextGivesOnlyTheLineBreak)
{
    struct Case {
        std::string line;
        std::string message;
    };
    for (const Case& c : {Case{"-ERR", "\r\n"}, Case{"-ERR invalid password", " invalid password\r\n"}}) {
        MemoryConnection m;
        m.Connection.LastReply.ParseLines({c.line});
        try {
            m.Connection.RaiseReplyError();
            ADD_FAILURE() << c.line;
        } catch (const EIdProtocolReplyError& e) {
            EXPECT_EQ(e.Message, c.message);
            EXPECT_EQ(e.ReplyCode, 0);
        }
    }
}

TEST(ReadReply, CloseInsteadOfAReplyRaisesClosedGracefully)
{
    MemoryConnection m;
    m.Handler.Feed("250-first\r\n");
    EXPECT_THROW(m.Connection.ReadReply({}), EIdConnClosedGracefully);
}

#include "IdMessage.h"

#include <gtest/gtest.h>

namespace {

void Apply(TIdMessage& message, std::initializer_list<const char*> lines)
{
    for (const char* line : lines)
        message.RawHeaders.Add(line);
    message.ApplyHeaders();
}

} // namespace

TEST(ApplyHeaders, FillsTheFieldsFromTheHeaderLines)
{
    TIdMessage message;
    Apply(message, {
        "From: =?iso-8859-2?Q?Ji=F8=ED_Nov=E1k?= <jiri@example.cz>",
        "To: a@b, \"Doe, J.\" <j@k>",
        "Cc: c@d",
        "Subject: =?iso-8859-2?Q?P=F8=EDloha?=",
        "Message-Id: <1234@example.cz>",
        "Content-Type: multipart/mixed; boundary=\"XyZ\"; charset=iso-8859-2",
        "Content-Transfer-Encoding: 7bit",
        "Content-Disposition: inline",
        "Newsgroups: cz.test, cz.other",
        "Organization: =?iso-8859-2?Q?not_decoded?=",
        "References: <a@b> <c@d>",
        "Reply-To: r@s",
        "Sender: s@t",
        "Disposition-Notification-To: n@o",
        "X-Priority: 5 (Lowest)",
    });
    EXPECT_EQ(message.From.Name, "Jiří Novák");
    EXPECT_EQ(message.From.Address, "jiri@example.cz");
    EXPECT_EQ(message.From.Text(), "\"Jiří Novák\" <jiri@example.cz>");
    EXPECT_EQ(message.Recipients.JoinedText(), "a@b, \"Doe, J.\" <j@k>");
    EXPECT_EQ(message.CCList().JoinedText(), "c@d");
    EXPECT_EQ(message.Subject, "Příloha");
    EXPECT_EQ(message.MessageId, "<1234@example.cz>");
    EXPECT_EQ(message.CharSet(), "ISO-8859-2");
    EXPECT_EQ(message.ContentTransferEncoding(), "7bit");
    EXPECT_EQ(message.ContentDisposition(), "inline");
    EXPECT_EQ(message.NewsGroups(), (std::vector<std::string>{"cz.test", "cz.other"}));
    EXPECT_EQ(message.Organization(), "=?iso-8859-2?Q?not_decoded?=");
    EXPECT_EQ(message.References(), "<a@b> <c@d>");
    EXPECT_EQ(message.ReplyTo().JoinedText(), "r@s");
    EXPECT_EQ(message.Sender().Address, "s@t");
    EXPECT_EQ(message.ReceiptRecipient().Address, "n@o");
    EXPECT_EQ(message.Priority, mpLowest);
    EXPECT_EQ(message.BoundaryStack.CurrentBoundary(), "XYZ");
}

TEST(ApplyHeaders, CommaFromADecodedNameSplitsTheRecipients)
{
    TIdMessage message;
    // "Novák" alone is no address and is dropped; "Jan <jan@x>" stands by itself.
    Apply(message, {"To: =?iso-8859-2?Q?Nov=E1k,_Jan?= <jan@x>"});
    ASSERT_EQ(message.Recipients.Count(), 1);
    EXPECT_EQ(message.Recipients.JoinedText(), "Jan <jan@x>");
}

TEST(ApplyHeaders, BadAddressLeavesOnlyThatFieldEmpty)
{
    TIdMessage message;
    Apply(message, {
        "From: <a@b> c@d",
        "To: ok@x, <a@b> c@d",
        "Subject: still here",
        "Message-Id: <id@x>",
        "Date: Tue, 1 Dec 2026 10:00:00 +0100",
    });
    EXPECT_EQ(message.From.Text(), "");
    EXPECT_EQ(message.Recipients.Count(), 0);
    EXPECT_EQ(message.Subject, "still here");
    EXPECT_EQ(message.MessageId, "<id@x>");
    EXPECT_GT(message.Date, 40000);
}

TEST(ApplyHeaders, BrokenEncodedWordKeepsTheRawValue)
{
    TIdMessage message;
    Apply(message, {
        "Subject: =?iso-8859-2?Q?a=ZZb?=",
        "From: =?iso-8859-2?Q?=QQ?= <f@x>",
        "To: t@x",
    });
    EXPECT_EQ(message.Subject, "=?iso-8859-2?Q?a=ZZb?=");
    EXPECT_EQ(message.From.Address, "f@x");
    EXPECT_EQ(message.Recipients.JoinedText(), "t@x");
}

TEST(ApplyHeaders, ReturnReceiptToStandsInForTheNotificationHeader)
{
    TIdMessage message;
    Apply(message, {"Return-Receipt-To: r@x"});
    EXPECT_EQ(message.ReceiptRecipient().Address, "r@x");
}

TEST(ApplyHeaders, SecondBlockAppendsAndTheFirstValuesWin)
{
    TIdMessage message;
    Apply(message, {"Subject: first", "Content-Type: multipart/mixed; boundary=b1"});
    Apply(message, {"Subject: second", "Content-Type: multipart/mixed; boundary=b1"});
    EXPECT_EQ(message.RawHeaders.Count(), 4);
    EXPECT_EQ(message.Subject, "first");
    EXPECT_EQ(message.BoundaryStack.Count(), 1);
}

TEST(ApplyHeaders, MissingDateIsZero)
{
    TIdMessage message;
    Apply(message, {"Subject: x"});
    EXPECT_EQ(message.Date, 0);
}

TEST(Reset, ClearsEverythingButTheMessageId)
{
    TIdMessage message;
    Apply(message, {"Subject: s", "From: f@x", "To: t@x", "Message-Id: <m@x>", "Priority: urgent",
                    "Content-Type: multipart/mixed; boundary=b"});
    message.Body().push_back("line");
    message.Reset();
    EXPECT_EQ(message.Subject, "");
    EXPECT_EQ(message.From.Text(), "");
    EXPECT_EQ(message.Recipients.Count(), 0);
    EXPECT_EQ(message.RawHeaders.Count(), 0);
    EXPECT_EQ(message.Priority, mpNormal);
    EXPECT_EQ(message.BoundaryStack.CurrentBoundary(), "");
    EXPECT_TRUE(message.Body().empty());
    EXPECT_EQ(message.Date, 0);
    EXPECT_EQ(message.MessageId, "<m@x>");
}

TEST(ParsePriority, ReadsWordsAndNumbers)
{
    struct Case { const char* value; TIdMessagePriority priority; };
    for (const Case& c : std::initializer_list<Case>{
             {"urgent", mpHigh},
             {"URGENT", mpHigh},
             {"non-priority", mpLow},
             {"normal", mpNormal},
             {"", mpNormal},
             {"1", mpHighest},
             {"2 (High)", mpHigh},
             {"3", mpNormal},
             {"5 (Lowest)", mpLowest},
             {"0", mpHighest},
             {"-7", mpHighest},
             {"9", mpLowest},
             {"2147483647", mpLowest},
         })
        EXPECT_EQ(ParsePriority(c.value), c.priority) << c.value;
}

TEST(CharSetOfContentType, TakesTheParameterUpperCased)
{
    EXPECT_EQ(CharSetOfContentType("text/plain; charset=iso-8859-2"), "ISO-8859-2");
    EXPECT_EQ(CharSetOfContentType("text/plain; charset=\"utf-8\"; format=flowed"), "UTF-8");
    EXPECT_EQ(CharSetOfContentType("text/plain; charset=us-ascii; format=flowed"), "US-ASCII");
    EXPECT_EQ(CharSetOfContentType("text/plain; charset=\"open"), "OPEN");
    EXPECT_EQ(CharSetOfContentType("text/plain"), "");
}

TEST(SplitCommaList, CutsAtCommasOutsideTheFirstQuotes)
{
    EXPECT_EQ(SplitCommaList(" a , b,,c "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaList("\"x,y\",z"), (std::vector<std::string>{"\"x,y\"", "z"}));
    EXPECT_TRUE(SplitCommaList("").empty());
}

TEST(MIMEBoundary, PushesOnlyNewBoundaries)
{
    TIdMIMEBoundary stack;
    stack.PushBoundary("");
    EXPECT_EQ(stack.Count(), 0);
    stack.PushBoundary("OUTER");
    stack.PushBoundary("outer");
    stack.PushBoundary("INNER");
    EXPECT_EQ(stack.Count(), 2);
    EXPECT_EQ(stack.CurrentBoundary(), "INNER");
    stack.PopBoundary();
    EXPECT_EQ(stack.CurrentBoundary(), "OUTER");
    stack.PopBoundary();
    stack.PopBoundary();
    EXPECT_EQ(stack.CurrentBoundary(), "");
}

#include "IdException.h"
#include "IdMessage.h"
#include "MailTestSupport.h"

#include <gtest/gtest.h>

namespace {

using Lines = std::vector<std::string>;

} // namespace

TEST(ReceiveHeaderBlock, AfterTopOnlyTheFullStopEndsTheBlock)
{
    struct Case { const char* reply; Lines raw; };
    for (const Case& c : std::initializer_list<Case>{
             {"From: x\r\n\r\n.\r\n", {"From: x"}},
             {"From: x\r\n\r\nbody\r\n.\r\n", {"From: x", "body"}},
             {"From: x\r\n.\r\n", {"From: x"}},
             {".starts with a dot\r\n.\r\n", {".starts with a dot"}},
         }) {
        MemoryMailClient mail;
        TIdMessage message;
        mail.Handler.Feed(c.reply);
        EXPECT_EQ(mail.Client.ReceiveHeaderBlock(message, "."), ".");
        EXPECT_EQ(message.RawHeaders.Lines(), c.raw) << c.reply;
        EXPECT_EQ(mail.Handler.PendingBytes(), 0);
    }
}

TEST(ReceiveHeaderBlock, AfterRetrTheBlankLineEndsTheBlockAndLeavesTheBody)
{
    MemoryMailClient mail;
    TIdMessage message;
    mail.Handler.Feed("Subject: a\r\n b\r\n\r\nbody\r\n.\r\n");
    EXPECT_EQ(mail.Client.ReceiveHeaderBlock(message, ""), "");
    EXPECT_EQ(message.Subject, "a b");
    mail.Client.ReceiveMessageBody(message, ".");
    EXPECT_EQ(message.Body(), Lines{"body"});
}

TEST(ReceiveHeaderBlock, MessageWithoutBodyEndsAtTheFullStop)
{
    MemoryMailClient mail;
    TIdMessage message;
    mail.Handler.Feed("Subject: only header\r\n.\r\n");
    EXPECT_EQ(mail.Client.ReceiveHeaderBlock(message, ""), ".");
    EXPECT_EQ(message.Subject, "only header");
}

TEST(ReceiveHeaderBlock, SecondBlockIsAppended)
{
    MemoryMailClient mail;
    TIdMessage message;
    mail.Handler.Feed("Subject: one\r\n.\r\nSubject: two\r\n.\r\n");
    mail.Client.ReceiveHeaderBlock(message, ".");
    mail.Client.ReceiveHeaderBlock(message, ".");
    EXPECT_EQ(message.RawHeaders.Count(), 2);
    EXPECT_EQ(message.Subject, "one");
}

TEST(ReceiveHeaderBlock, ReportsTheRunningByteCount)
{
    MemoryMailClient mail;
    std::vector<int32_t> counts;
    int begins = 0;
    int ends = 0;
    mail.Client.OnWork = [&](TIdComponent*, TWorkMode, int32_t count) { counts.push_back(count); };
    mail.Client.OnWorkBegin = [&](TIdComponent*, TWorkMode, int32_t) { ++begins; };
    mail.Client.OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    TIdMessage message;
    mail.Handler.Feed("From: a@b\r\nSubject: 0123456\r\n.\r\n");
    mail.Client.ReceiveHeaderBlock(message, ".");
    EXPECT_EQ(counts, (std::vector<int32_t>{11, 29, 32}));
    EXPECT_EQ(begins, 1);
    EXPECT_EQ(ends, 1);
}

TEST(ReceiveHeaderBlock, ClosedConnectionKeepsTheLinesReadAndEndsTheSpan)
{
    MemoryMailClient mail;
    int ends = 0;
    mail.Client.OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    TIdMessage message;
    mail.Handler.Feed("Subject: x\r\n");
    mail.Handler.FeedClose();
    EXPECT_THROW(mail.Client.ReceiveHeaderBlock(message, "."), EIdException);
    EXPECT_EQ(message.RawHeaders.Count(), 1);
    EXPECT_EQ(message.Subject, "");
    EXPECT_EQ(ends, 1);
}

TEST(ReceiveMessageBody, NoDecodeKeepsTheBodyLinesAsTheyAre)
{
    MemoryMailClient mail;
    TIdMessage message;
    message.NoDecode = true;
    message.RawHeaders.Add("Content-Transfer-Encoding: base64");
    mail.Handler.Feed("YWJj\r\n..x\r\n--\r\n.\r\n");
    mail.Client.ReceiveMessageBody(message, ".");
    EXPECT_EQ(message.Body(), (Lines{"YWJj", ".x", "--"}));
    EXPECT_EQ(message.Parts().Count(), 0);
}

TEST(ReceiveMessageBody, ReadsThroughTheConnectionInSmallChunks)
{
    MemoryMailClient mail;
    mail.Handler.ChunkSize = 7;
    TIdMessage message;
    mail.Retrieve(message, "Content-Type: multipart/mixed; boundary=b\n\npre\n--b\n\nhello\n--b--\npost\n");
    EXPECT_EQ(message.Body(), (Lines{"pre", "post"}));
    ASSERT_EQ(message.Parts().Count(), 1);
    EXPECT_EQ(dynamic_cast<const TIdText&>(message.Parts()[0]).Lines, Lines{"hello"});
}

TEST(ReceiveHeaderBlock, KeepsTheLinesWithinTheLimitsAndDropsTheRestOfTheBlock)
{
    // Lines of exactly 1 MiB.
    auto mebibyteLine = [](char name) { return std::string(1, name) + ": " + std::string((1 << 20) - 3, 'm') + "\r\n"; };
    struct Case { const char* what; std::string reply; std::vector<size_t> keptLengths; };
    for (const Case& c : std::initializer_list<Case>{
             {"a line of 1 MiB is kept", "Subject: a\r\n" + mebibyteLine('X') + ".\r\n", {10, 1 << 20}},
             {"a longer line ends what is kept",
              "Subject: a\r\nX: m" + mebibyteLine('Y') + "From: b\r\n.\r\n", {10}},
             {"so does the line that passes 4 MiB",
              mebibyteLine('A') + mebibyteLine('B') + mebibyteLine('C') + mebibyteLine('D') + "E: e\r\nF: f\r\n.\r\n",
              {1 << 20, 1 << 20, 1 << 20, 1 << 20}},
         }) {
        MemoryMailClient mail;
        TIdMessage message;
        mail.Handler.Feed(c.reply + "+OK next\r\n");
        EXPECT_EQ(mail.Client.ReceiveHeaderBlock(message, "."), ".") << c.what;
        std::vector<size_t> keptLengths;
        for (const std::string& line : message.RawHeaders.Lines())
            keptLengths.push_back(line.size());
        EXPECT_EQ(keptLengths, c.keptLengths) << c.what;
        EXPECT_EQ(mail.Client.ReadLine(), "+OK next") << c.what;
    }
}

TEST(ReceiveHeaderBlock, BlockBeyond64MiBFailsClearly)
{
    MemoryMailClient mail;
    TIdMessage message;
    const std::string line = "X: " + std::string((1 << 20) - 100, 'x') + "\r\n";
    for (int i = 0; i < 65; ++i)
        mail.Handler.Feed(line);
    mail.Handler.Feed(".\r\n");
    try {
        mail.Client.ReceiveHeaderBlock(message, ".");
        FAIL();
    } catch (const EIdException& error) {
        EXPECT_EQ(error.Message, "Záhlaví zprávy je delší než 64 MiB.");
    }
    EXPECT_EQ(message.RawHeaders.Count(), 4);
}

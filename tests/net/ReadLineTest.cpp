#include "IdException.h"
#include "IdWinSock2.h"
#include "MemoryConnection.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::vector<std::string> ReadLines(MemoryConnection& m, int count)
{
    std::vector<std::string> lines;
    for (int i = 0; i < count; ++i)
        lines.push_back(m.Connection.ReadLine());
    return lines;
}

} // namespace

TEST(ReadLine, LineEndsInEveryChunking)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"abc\r\n", {"abc"}},
        {"abc\n", {"abc"}},
        {"abc\r\r\n", {"abc\r"}},
        {"a\rb\n", {"a\rb"}},
        {"\r\n", {""}},
        {"\n\n", {"", ""}},
        {"one\r\ntwo\nthree\r\n", {"one", "two", "three"}},
        {std::string("a\0b\r\n", 5), {std::string("a\0b", 3)}},
        {"\xE8\x9A\xED\r\n", {"\xE8\x9A\xED"}},
    };
    for (const Case& c : cases) {
        for (int chunk : {1, 2, 3, 32768}) {
            MemoryConnection m;
            m.Handler.ChunkSize = chunk;
            m.Handler.Feed(c.bytes);
            EXPECT_EQ(ReadLines(m, static_cast<int>(c.lines.size())), c.lines) << "chunk " << chunk;
            EXPECT_FALSE(m.Connection.LineSplit);
            EXPECT_FALSE(m.Connection.LineTimedOut);
        }
    }
}

TEST(ReadLine, LoneCarriageReturnEndsNoLine)
{
    MemoryConnection m;
    m.Handler.Feed("abc\rdef");
    m.Handler.FeedStall();
    EXPECT_EQ(m.Connection.ReadLine("", 10), "");
    EXPECT_TRUE(m.Connection.LineTimedOut);
    m.Handler.Feed("\n");
    EXPECT_EQ(m.Connection.ReadLine(), "abc\rdef");
}

TEST(ReadLine, LengthLimitCountsTheCarriageReturn)
{
    struct Case {
        size_t length;
        bool raises;
    };
    for (const Case c : {Case{16383, false}, Case{16384, true}}) {
        MemoryConnection m;
        m.Handler.Feed(std::string(c.length, 'x') + "\r\nnext\r\n");
        if (c.raises) {
            try {
                m.Connection.ReadLine();
                ADD_FAILURE() << c.length;
            } catch (const EIdReadLnMaxLineLengthExceeded& e) {
                EXPECT_STREQ(e.what(), "Max line length exceeded.");
            }
        } else {
            EXPECT_EQ(m.Connection.ReadLine().size(), c.length);
            EXPECT_EQ(m.Connection.ReadLine(), "next");
        }
    }
}

TEST(ReadLine, LineWithoutCarriageReturnAtTheLimitIsReturned)
{
    MemoryConnection m;
    m.Handler.ChunkSize = 4096;
    m.Handler.Feed(std::string(16384, 'x') + "\n");
    EXPECT_EQ(m.Connection.ReadLine().size(), 16384u);
}

TEST(ReadLine, OverlongUnterminatedBytesRaiseBeforeMoreIsRead)
{
    MemoryConnection m;
    m.Handler.Feed(std::string(16385, 'x'));
    m.Handler.Feed("never read\r\n");
    EXPECT_THROW(m.Connection.ReadLine(), EIdReadLnMaxLineLengthExceeded);
    EXPECT_EQ(m.Handler.PendingBytes(), 12);
    // Nothing was consumed.
    EXPECT_EQ(m.Connection.InputQueue.Size(), 16385);
}

TEST(ReadLine, SplitModeHandsOutTheLimitAndSetsLineSplit)
{
    MemoryConnection m;
    m.Connection.MaxLineAction = maSplit;
    m.Connection.MaxLineLength = 4;
    m.Handler.Feed("abcdefg\r\nxy\r\n");
    EXPECT_EQ(m.Connection.ReadLine(), "abcd");
    EXPECT_TRUE(m.Connection.LineSplit);
    EXPECT_EQ(m.Connection.ReadLine(), "efg");
    EXPECT_FALSE(m.Connection.LineSplit);
    EXPECT_EQ(m.Connection.ReadLine(), "xy");
}

TEST(ReadLine, ZeroLimitMeansNoLimit)
{
    MemoryConnection m;
    m.Connection.MaxLineLength = 0;
    m.Handler.ChunkSize = 1000;
    m.Handler.Feed(std::string(100000, 'y') + "\r\n");
    EXPECT_EQ(m.Connection.ReadLine().size(), 100000u);
}

TEST(ReadLine, OtherTerminatorSplitAcrossReceivesIsFound)
{
    MemoryConnection m;
    m.Handler.ChunkSize = 3;
    m.Handler.Feed("ab||cd|x||");
    EXPECT_EQ(m.Connection.ReadLine("||"), "ab");
    EXPECT_EQ(m.Connection.ReadLine("||"), "cd|x");
}

TEST(ReadLine, CloseAfterUnterminatedBytesTimesOutThenRaises)
{
    MemoryConnection m;
    m.Handler.Feed("abc");
    EXPECT_EQ(m.Connection.ReadLine(), "");
    EXPECT_TRUE(m.Connection.LineTimedOut);
    EXPECT_EQ(m.Events, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
    EXPECT_THROW(m.Connection.ReadLine(), EIdConnClosedGracefully);
    EXPECT_FALSE(m.Connection.IsConnected());
}

TEST(ReadLine, CloseBetweenLinesReportsThenRaises)
{
    MemoryConnection m;
    m.Handler.Feed("one\r\n");
    EXPECT_EQ(m.Connection.ReadLine(), "one");
    try {
        m.Connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(m.Events, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
    EXPECT_EQ(m.Handler.CloseCount, 1);
}

TEST(ReadLine, LinesBufferedBeforeTheCloseAreStillReturned)
{
    MemoryConnection m;
    m.Handler.Feed("one\r\ntwo\r\nthr");
    EXPECT_EQ(m.Connection.ReadLine(), "one");
    m.Connection.FillInputBuffer(); // notices the close
    EXPECT_FALSE(m.Connection.IsConnected());
    EXPECT_EQ(m.Connection.ReadLine(), "two");
    EXPECT_THROW(m.Connection.ReadLine(), EIdConnClosedGracefully);
    EXPECT_EQ(m.Events, (std::vector<std::string>{"Disconnected.", "OnDisconnected"}));
}

TEST(ReadLine, ExplicitTimeOutReturnsEmptyWithLineTimedOut)
{
    MemoryConnection m;
    m.Handler.Feed("par");
    m.Handler.FeedStall();
    m.Handler.Feed("tial\r\n");
    EXPECT_EQ(m.Connection.ReadLine("", 50), "");
    EXPECT_TRUE(m.Connection.LineTimedOut);
    EXPECT_EQ(m.Connection.ReadLine(), "partial");
    EXPECT_FALSE(m.Connection.LineTimedOut);
}

TEST(ReadLine, ReadTimeoutRaisesReadTimeout)
{
    MemoryConnection m;
    m.Connection.ReadTimeout = 20;
    m.Handler.FeedStall();
    try {
        m.Connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdReadTimeout& e) {
        EXPECT_STREQ(e.what(), "Read Timeout");
    }
}

TEST(ReadLine, AbortedConnectionWithLinesLeftCountsAsClose)
{
    for (int32_t error : {WSAECONNABORTED, WSAESHUTDOWN}) {
        MemoryConnection m;
        m.Handler.Feed("one\r\n");
        m.Handler.FeedError(error);
        m.Connection.FillInputBuffer();
        EXPECT_EQ(m.Connection.FillInputBuffer(), 0);
        EXPECT_FALSE(m.Connection.IsConnected());
        EXPECT_EQ(m.Connection.ReadLine(), "one");
        EXPECT_THROW(m.Connection.ReadLine(), EIdConnClosedGracefully);
    }
}

TEST(ReadLine, AbortedConnectionWithNothingBufferedRaisesItsError)
{
    MemoryConnection m;
    m.Handler.FeedError(WSAECONNABORTED);
    try {
        m.Connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorNumber, 10053);
        EXPECT_STREQ(e.what(), "Socket Error # 10053\r\nSoftware caused connection abort.");
    }
    EXPECT_FALSE(m.Connection.IsConnected());
}

TEST(ReadLine, ResetRaisesWithTheSocketKept)
{
    MemoryConnection m;
    m.Handler.Feed("half");
    m.Handler.FeedError(WSAECONNRESET);
    try {
        m.Connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_STREQ(e.what(), "Socket Error # 10054\r\nConnection reset by peer.");
    }
    EXPECT_EQ(m.Connection.InputQueue.Size(), 4);
    EXPECT_TRUE(m.Handler.Connected);
}

TEST(ReadLine, WithoutHandlerRaisesNotConnected)
{
    TIdTCPConnection connection;
    try {
        connection.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdNotConnected& e) {
        EXPECT_STREQ(e.what(), "Not Connected");
    }
}

TEST(ReadLine, QueueStaysWithinOneChunkAndOneLineWhileLinesStream)
{
    MemoryConnection m;
    const std::string line = std::string(74, 'm') + "\r\n";
    std::string bytes;
    for (int i = 0; i < 20000; ++i)
        bytes += line;
    m.Handler.Feed(bytes);
    size_t largestMemory = 0;
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(m.Connection.ReadLine().size(), 74u);
        ASSERT_LE(m.Connection.InputQueue.Size(), 32768 + 76);
        largestMemory = std::max(largestMemory, m.Connection.InputQueue.Capacity());
    }
    EXPECT_LE(largestMemory, 4u * (32768 + 76));
}

TEST(ReadLine, LongLineArrivingInTinyChunksIsReadWhole)
{
    MemoryConnection m;
    m.Handler.ChunkSize = 7;
    m.Handler.Feed(std::string(16000, 'z') + "\r\n");
    EXPECT_EQ(m.Connection.ReadLine(), std::string(16000, 'z'));
}

TEST(ReadNonEmptyLine, SkipsEmptyAndBlankLinesAndTrims)
{
    MemoryConnection m;
    m.Handler.Feed("\r\n   \r\n\t\r\n  +OK ready \t\r\n");
    EXPECT_EQ(m.Connection.ReadNonEmptyLine(100), "+OK ready");
}

TEST(ReadNonEmptyLine, GivesUpAfterTheTriesWithAnEmptyLine)
{
    MemoryConnection m;
    m.Handler.Feed("\r\n \r\n\r\nlate\r\n");
    EXPECT_EQ(m.Connection.ReadNonEmptyLine(3), "");
    EXPECT_EQ(m.Connection.ReadLine(), "late");
}

TEST(ReadNonEmptyLine, FloodOfBlankLinesEndsInTheClose)
{
    MemoryConnection m;
    std::string blanks;
    for (int i = 0; i < 50000; ++i)
        blanks += "\r\n";
    m.Handler.Feed(blanks);
    EXPECT_THROW(m.Connection.ReadNonEmptyLine(INT32_MAX), EIdConnClosedGracefully);
}

TEST(CaptureLines, WorkCountsTheBytesOfEveryLine)
{
    MemoryConnection m;
    std::vector<int32_t> counts;
    m.Connection.OnWork = [&](TIdComponent*, TWorkMode mode, int32_t count) {
        EXPECT_EQ(mode, wmRead);
        counts.push_back(count);
    };
    m.Handler.Feed("Subject:\r\n" + std::string(18, 'b') + "\r\nabc\r\n.\r\nafter\r\n");
    std::vector<std::string> lines;
    EXPECT_EQ(m.Connection.CaptureLines(lines), 3);
    EXPECT_EQ(counts, (std::vector<int32_t>{10, 30, 35, 38}));
    EXPECT_EQ(lines, (std::vector<std::string>{"Subject:", std::string(18, 'b'), "abc"}));
    counts.clear();
    EXPECT_EQ(m.Connection.ReadLine(), "after");
    EXPECT_TRUE(counts.empty());
}

TEST(CaptureLines, UnstuffsDotsOnlyWhenAsked)
{
    MemoryConnection m;
    m.Handler.Feed("..one\r\n.\r\n..two\r\n.\r\n..three\r\nEND\r\n");
    std::vector<std::string> lines;
    m.Connection.CaptureLines(lines);
    m.Connection.CaptureLines(lines, ".", false);
    std::ostringstream stream;
    EXPECT_EQ(m.Connection.CaptureLines(stream, "END"), 1);
    EXPECT_EQ(lines, (std::vector<std::string>{".one", "..two"}));
    EXPECT_EQ(stream.str(), ".three\r\n");
}

TEST(CaptureLines, EndsTheWorkSpanWhenTheReadFails)
{
    MemoryConnection m;
    int ends = 0;
    m.Connection.OnWorkEnd = [&](TIdComponent*, TWorkMode) { ++ends; };
    m.Handler.Feed("one\r\n");
    std::vector<std::string> lines;
    EXPECT_THROW(m.Connection.CaptureLines(lines), EIdConnClosedGracefully);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(lines, std::vector<std::string>{"one"});
}

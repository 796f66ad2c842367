#include "IdException.h"
#include "IdTCPConnection.h"
#include "MemoryConnection.h"

#include <gtest/gtest.h>

#include <sstream>

TEST(ManagedBuffer, TakeHandsOutTheFrontAndAdvancesTheOffset)
{
    TIdManagedBuffer buffer;
    buffer.Append("abcdef", 6);
    EXPECT_EQ(buffer.Take(2), "ab");
    EXPECT_EQ(buffer.ReadOffset(), 2);
    EXPECT_EQ(buffer.Size(), 4);
    buffer.Discard(1);
    EXPECT_EQ(buffer.Take(3), "def");
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(buffer.ReadOffset(), 0);
}

TEST(ManagedBuffer, ConsumingMoreThanBufferedRaisesAndKeepsTheBytes)
{
    TIdManagedBuffer buffer;
    buffer.Append("abc", 3);
    EXPECT_THROW(buffer.Take(4), EIdNotEnoughDataInBuffer);
    EXPECT_THROW(buffer.Discard(4), EIdNotEnoughDataInBuffer);
    try {
        buffer.Take(4);
    } catch (const EIdNotEnoughDataInBuffer& e) {
        EXPECT_STREQ(e.what(), "Not enough data in buffer.");
    }
    EXPECT_EQ(buffer.Take(3), "abc");
}

TEST(ManagedBuffer, PacksOnceTheThresholdIsConsumed)
{
    TIdManagedBuffer buffer;
    buffer.PackThreshold = 8;
    buffer.Append("0123456789ab", 12);
    buffer.Discard(7);
    EXPECT_EQ(buffer.ReadOffset(), 7);
    buffer.Discard(1);
    EXPECT_EQ(buffer.ReadOffset(), 0);
    EXPECT_EQ(buffer.Take(4), "89ab");
}

TEST(ManagedBuffer, ReportsEveryConsumption)
{
    TIdManagedBuffer buffer;
    std::vector<int32_t> counts;
    buffer.OnConsumed = [&](TIdSimpleBuffer* sender, int32_t count) {
        EXPECT_EQ(sender, &buffer);
        counts.push_back(count);
    };
    buffer.Append("abcdef", 6);
    buffer.Take(2);
    buffer.Discard(4);
    EXPECT_EQ(counts, (std::vector<int32_t>{2, 4}));
}

TEST(ManagedBuffer, FindSearchesFromTheGivenPosition)
{
    TIdManagedBuffer buffer;
    buffer.Append("xxa\nb\r\n", 7);
    buffer.Discard(2);
    EXPECT_EQ(buffer.Find("\n", 0), 1);
    EXPECT_EQ(buffer.Find("\n", 2), 4);
    EXPECT_EQ(buffer.Find("\r\n", 0), 3);
    EXPECT_EQ(buffer.Find("\n", 5), -1);
}

TEST(SimpleBuffer, ConsumingMovesTheRest)
{
    TIdSimpleBuffer buffer;
    buffer.Append("abcdef", 6);
    EXPECT_EQ(buffer.Take(2), "ab");
    EXPECT_EQ(std::string(buffer.Memory(), buffer.Size()), "cdef");
}

TEST(ReadExact, WaitsForAllBytesAcrossChunks)
{
    MemoryConnection m;
    m.Handler.ChunkSize = 3;
    m.Handler.Feed("0123456789\r\n");
    char bytes[8] = {};
    m.Connection.ReadExact(bytes, 7);
    EXPECT_EQ(std::string(bytes, 7), "0123456");
    EXPECT_EQ(m.Connection.ReadLine(), "789");
}

TEST(ReadExact, CloseBeforeTheEndRaisesAndLeavesTheBytes)
{
    MemoryConnection m;
    m.Handler.Feed("0123");
    char bytes[8] = {};
    EXPECT_THROW(m.Connection.ReadExact(bytes, 8), EIdConnClosedGracefully);
    EXPECT_EQ(m.Connection.InputQueue.Size(), 4);
}

TEST(TCPStream, ReadsExactlyWritesAllAndCannotSeek)
{
    MemoryConnection m;
    m.Handler.Feed("hello world\n");
    TIdTCPStream stream(&m.Connection);
    char bytes[5];
    EXPECT_EQ(stream.Read(bytes, 5), 5);
    EXPECT_EQ(std::string(bytes, 5), "hello");
    EXPECT_EQ(stream.Write("sent", 4), 4);
    EXPECT_EQ(m.Handler.Written, "sent");
    EXPECT_EQ(stream.Seek(0, 0), -1);
    EXPECT_EQ(stream.SourceConnection->ReadLine(), " world");
}

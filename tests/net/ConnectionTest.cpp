#include "IdException.h"
#include "IdStack.h"
#include "IdWinSock2.h"
#include "MemoryConnection.h"

#include <gtest/gtest.h>

TEST(WriteLine, SendsTheTextWithCrLfEvenInSmallPieces)
{
    MemoryConnection m;
    m.Handler.SendLimit = 3;
    m.Connection.WriteLine("USER joe");
    m.Connection.WriteText("");
    m.Connection.WriteText("raw");
    EXPECT_EQ(m.Handler.Written, "USER joe\r\nraw");
}

TEST(SendBytes, WritesFireNoWorkOutsideASpan)
{
    MemoryConnection m;
    int events = 0;
    m.Connection.OnWork = [&](TIdComponent*, TWorkMode, int32_t) { ++events; };
    m.Connection.WriteLine("STAT");
    EXPECT_EQ(events, 0);
}

TEST(SendBytes, ConnectionGoneErrorsDropTheSocket)
{
    for (int32_t error : {WSAESHUTDOWN, WSAECONNABORTED, WSAECONNRESET}) {
        MemoryConnection m;
        m.Handler.FailNextSend(error);
        try {
            m.Connection.WriteLine("QUIT");
            ADD_FAILURE() << error;
        } catch (const EIdSocketError& e) {
            EXPECT_EQ(e.ErrorNumber, error);
            EXPECT_EQ(e.Message, TIdStack::SocketErrorText(error));
        }
        EXPECT_FALSE(m.Handler.Connected) << error;
    }
}

TEST(SendBytes, OtherErrorsRaiseWithTheSocketKept)
{
    MemoryConnection m;
    m.Handler.FailNextSend(WSAENOBUFS);
    EXPECT_THROW(m.Connection.WriteLine("QUIT"), EIdSocketError);
    EXPECT_TRUE(m.Handler.Connected);
}

TEST(SendBytes, AfterThePeerClosedRaisesClosedGracefully)
{
    MemoryConnection m;
    m.Handler.Feed("bye\r\n");
    m.Connection.FillInputBuffer();
    m.Connection.FillInputBuffer(false);
    EXPECT_THROW(m.Connection.WriteLine("QUIT"), EIdConnClosedGracefully);
    EXPECT_EQ(m.Handler.Written, "");
}

TEST(SendBytes, WithoutHandlerRaisesNotConnected)
{
    TIdTCPConnection connection;
    EXPECT_THROW(connection.WriteLine("QUIT"), EIdNotConnected);
}

TEST(IsConnected, FollowsTheTransport)
{
    MemoryConnection m;
    EXPECT_TRUE(m.Connection.IsConnected());
    m.Connection.DropSocket();
    EXPECT_FALSE(m.Connection.IsConnected());
    EXPECT_TRUE(m.Connection.PeerClosed);
    EXPECT_TRUE(m.Events.empty());
}

TEST(CloseConnection, ReportsAroundTheCloseAndKeepsTheInput)
{
    MemoryConnection m;
    m.Handler.Feed("one\r\ntwo\r\n");
    EXPECT_EQ(m.Connection.ReadLine(), "one");
    m.Connection.CloseConnection();
    EXPECT_EQ(m.Events, (std::vector<std::string>{"Disconnecting.", "OnDisconnected", "Disconnected."}));
    EXPECT_FALSE(m.Handler.Connected);
    EXPECT_EQ(m.Connection.IOHandler(), &m.Handler);
    EXPECT_GT(m.Connection.InputQueue.Size(), 0);
    m.Connection.ResetInput();
    EXPECT_EQ(m.Connection.InputQueue.Size(), 0);
    EXPECT_FALSE(m.Connection.PeerClosed);
}

TEST(CloseConnection, FreesAnOwnedHandler)
{
    TIdTCPConnection connection;
    connection.SetIOHandler(std::make_unique<TIdIOHandlerMemory>());
    EXPECT_TRUE(connection.OwnsIOHandler());
    connection.CloseConnection();
    EXPECT_EQ(connection.IOHandler(), nullptr);
    EXPECT_FALSE(connection.OwnsIOHandler());
    EXPECT_FALSE(connection.IsConnected());
}

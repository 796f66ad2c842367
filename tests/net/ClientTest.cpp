#include "IdException.h"
#include "IdIOHandlerSocket.h"
#include "IdIOHandlerTls.h"
#include "IdTCPClient.h"
#include "IdWinSock2.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <pthread.h>
#include <thread>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// A client that records its status texts and disconnect events.
struct RecordingClient {
    RecordingClient()
    {
        Client.Host = "127.0.0.1";
        Client.OnStatus = [this](TIdComponent*, TIdStatus, const std::string& text) { Events.push_back(text); };
        Client.OnDisconnected = [this](TIdComponent*) { Events.push_back("OnDisconnected"); };
    }

    // Starts the server's dialogue and connects to it.
    void Connect(ScriptedServer& server)
    {
        Client.Port = server.Start();
        Client.OpenConnection();
    }

    TIdTCPClient Client;
    std::vector<std::string> Events;
};

// A loopback port that is bound but not listening, so a connect to it is refused.
struct RefusingPort {
    RefusingPort()
    {
        Socket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        bind(Socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        getsockname(Socket, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(Socket); }

    int Socket;
    int Port;
};

const std::vector<std::string> NoFailures;

// Interrupts the calling thread with a signal every few milliseconds, with a handler
// installed without SA_RESTART, so blocking calls return EINTR.
struct SignalStorm {
    SignalStorm()
    {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigaction(SIGUSR1, &action, &Previous);
        Thread = std::thread([this, target = pthread_self()] {
            while (!Stop) {
                pthread_kill(target, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
        });
    }
    ~SignalStorm()
    {
        Stop = true;
        Thread.join();
        sigaction(SIGUSR1, &Previous, nullptr);
    }

    std::atomic<bool> Stop{false};
    std::thread Thread;
    struct sigaction Previous {};
};

} // namespace

TEST(OpenConnection, DottedQuadConnectsWithoutResolving)
{
    ScriptedServer server;
    server.Says("+OK ready").Expects("QUIT");
    RecordingClient r;
    r.Connect(server);
    EXPECT_TRUE(r.Client.IsConnected());
    EXPECT_TRUE(r.Client.OwnsIOHandler());
    auto* handler = static_cast<TIdIOHandlerSocket*>(r.Client.IOHandler());
    EXPECT_EQ(handler->SocketHandle()->PeerAddress, "127.0.0.1");
    EXPECT_EQ(handler->SocketHandle()->PeerPortNumber, server.Port());
    EXPECT_EQ(handler->SocketHandle()->IP, "127.0.0.1");
    EXPECT_NE(handler->SocketHandle()->Port, 0);
    EXPECT_EQ(r.Client.ReadLine(), "+OK ready");
    r.Client.WriteLine("QUIT");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
    EXPECT_EQ(r.Events, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.", "Disconnecting.",
                                                  "OnDisconnected", "Disconnected."}));
    EXPECT_EQ(r.Client.IOHandler(), nullptr);
}

TEST(OpenConnection, LocalhostInAnyCaseNeedsNoLookup)
{
    for (const char* host : {"localhost", "LocalHost"}) {
        ScriptedServer server;
        server.Says("hello");
        RecordingClient r;
        r.Client.Host = host;
        r.Client.Port = server.Start();
        r.Client.OpenConnection();
        EXPECT_EQ(r.Client.ReadLine(), "hello");
        r.Client.CloseConnection();
        EXPECT_EQ(server.Finish(), NoFailures);
        EXPECT_EQ(r.Events.front(), "Connecting to 127.0.0.1.") << host;
    }
}

TEST(OpenConnection, ARefusedAddressFallsThroughToTheNext)
{
    TIdComponent component;
    ScriptedServer server;
    server.Says("hello");
    const int port = server.Start();
    TIdIOHandlerSocket handler;
    std::vector<std::string> events;
    handler.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { events.push_back(text); };
    // The server listens on 127.0.0.1 only, so ::1 refuses (or, without IPv6, cannot be reached).
    handler.ConnectToAddresses({{Id_PF_INET6, "::1"}, {Id_PF_INET, "127.0.0.1"}}, port, -1, 0, 0, 0, "");
    EXPECT_EQ(events, (std::vector<std::string>{"Connecting to ::1.", "Connecting to 127.0.0.1."}));
    EXPECT_EQ(handler.SocketHandle()->PeerAddress, "127.0.0.1");
    char greeting[16] = {};
    EXPECT_EQ(handler.RecvInto(greeting, sizeof greeting), 7);
    EXPECT_STREQ(greeting, "hello\r\n");
    handler.CloseHandler();
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(OpenConnection, RefusedThenGoodOnTheSameObject)
{
    RefusingPort refusing;
    RecordingClient r;
    r.Client.Port = refusing.Port;
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.ErrorNumber, 10061);
        EXPECT_EQ(e.Message, "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(r.Client.IsConnected());
    EXPECT_NE(r.Client.IOHandler(), nullptr);
    EXPECT_EQ(r.Events, std::vector<std::string>{"Connecting to 127.0.0.1."});

    ScriptedServer server;
    server.Says("+OK second try");
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK second try");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(OpenConnection, WhileConnectedIsRefusedAndLeavesTheConnection)
{
    ScriptedServer server;
    server.Expects("still here").Says("+OK");
    RecordingClient r;
    r.Connect(server);
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdAlreadyConnected& e) {
        EXPECT_STREQ(e.what(), "Already connected.");
    }
    r.Client.WriteLine("still here");
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
    EXPECT_EQ(server.Connections(), 1);
}

TEST(OpenConnection, OpenAndCloseTwiceMakesAFreshHandlerEachTime)
{
    ScriptedServer server;
    server.Says("one").AcceptsNext().Says("two");
    RecordingClient r;
    r.Client.Port = server.Start();
    for (const char* greeting : {"one", "two"}) {
        r.Client.OpenConnection();
        EXPECT_TRUE(r.Client.OwnsIOHandler());
        EXPECT_EQ(r.Client.ReadLine(), greeting);
        r.Client.CloseConnection();
        EXPECT_EQ(r.Client.IOHandler(), nullptr);
    }
    EXPECT_EQ(server.Finish(), NoFailures);
    EXPECT_EQ(server.Connections(), 2);
}

TEST(OpenConnection, PortOutOfRangeIsRefusedNotCut)
{
    ScriptedServer server;
    RecordingClient r;
    r.Client.Port = server.Port() + 65536;
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.Message, "Socket Error # 10022\r\nInvalid argument.");
    }
    EXPECT_FALSE(r.Client.IsConnected());
}

TEST(OpenConnection, BoundPortInUseCannotBind)
{
    ScriptedServer server;
    RecordingClient r;
    r.Client.Port = server.Port();
    r.Client.BoundIP = "127.0.0.1";
    r.Client.BoundPort = server.Port();
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdCouldNotBindSocket& e) {
        EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
    }
    EXPECT_FALSE(r.Client.IsConnected());
}

TEST(OpenConnection, PortRangeBackwardsIsInvalid)
{
    RecordingClient r;
    r.Client.Port = 110;
    r.Client.BoundPortMin = 5000;
    r.Client.BoundPortMax = 4000;
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdInvalidPortRange& e) {
        EXPECT_STREQ(e.what(), "Invalid Port Range (5000 - 4000)");
    }
}

TEST(OpenConnection, PortRangeWithEveryPortInUseCannotBind)
{
    ScriptedServer server;
    RecordingClient r;
    r.Client.Port = server.Port();
    r.Client.BoundIP = "127.0.0.1";
    r.Client.BoundPortMin = server.Port();
    r.Client.BoundPortMax = server.Port();
    try {
        r.Client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdCanNotBindPortInRange& e) {
        const std::string port = std::to_string(server.Port());
        EXPECT_EQ(e.Message, "Can not bind in port range (" + port + " - " + port + ")");
    }
    EXPECT_FALSE(r.Client.IsConnected());
}

TEST(OpenConnection, WithTimeOutConnects)
{
    ScriptedServer server;
    server.Says("+OK");
    RecordingClient r;
    r.Client.Port = server.Start();
    r.Client.OpenConnection(2000);
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(OpenConnection, WithTimeOutRefusedCarriesTheSocketMessage)
{
    RefusingPort refusing;
    RecordingClient r;
    r.Client.Port = refusing.Port;
    try {
        r.Client.OpenConnection(2000);
        FAIL() << "no exception";
    } catch (const EIdConnectException& e) {
        EXPECT_EQ(e.Message, "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_FALSE(r.Client.IsConnected());
}

// A listener whose accept queue is full drops further connection attempts unanswered.
TEST(OpenConnection, WithTimeOutGivesUpOnASilentListener)
{
    RefusingPort full;
    listen(full.Socket, 0);
    std::vector<int> queued;
    for (int i = 0; i < 4; ++i) {
        int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(full.Port));
        connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        queued.push_back(socket);
    }
    RecordingClient r;
    r.Client.Port = full.Port;
    try {
        r.Client.OpenConnection(300);
        FAIL() << "no exception";
    } catch (const EIdConnectTimeout& e) {
        EXPECT_EQ(e.Message, "Server neodpovídá: " + r.Client.Host);
    }
    EXPECT_FALSE(r.Client.IsConnected());
    for (int socket : queued)
        close(socket);
}

TEST(ReadLine, ServerClosingAfterUnterminatedBytesTimesOutThenRaises)
{
    ScriptedServer server;
    server.Sends("abc");
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "");
    EXPECT_TRUE(r.Client.LineTimedOut);
    EXPECT_THROW(r.Client.ReadLine(), EIdConnClosedGracefully);
    EXPECT_FALSE(r.Client.IsConnected());
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(ReadLine, ServerClosingBetweenLinesReportsThenRaises)
{
    ScriptedServer server;
    server.Says("+OK").Says("+OK again").Closes();
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    EXPECT_EQ(r.Client.ReadLine(), "+OK again");
    EXPECT_THROW(r.Client.ReadLine(), EIdConnClosedGracefully);
    EXPECT_EQ(r.Events, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Connected.", "Disconnected.",
                                                  "OnDisconnected"}));
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(OpenConnection, TlsHandshakeWithASilentServerGivesUp)
{
    ScriptedServer server;
    server.Stalls(5000ms);
    TIdIOHandlerTls transport;
    transport.HandshakeTimeout = 200;
    TIdTCPClient client;
    client.SetIOHandler(&transport);
    client.Host = "127.0.0.1";
    client.Port = server.Start();
    client.Security = csImplicitTls;
    const auto start = std::chrono::steady_clock::now();
    try {
        client.OpenConnection();
        FAIL() << "no exception";
    } catch (const EIdTlsError& e) {
        EXPECT_EQ(e.Failure, tfHandshake);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4000ms) << "before the server gives up";
    EXPECT_FALSE(client.IsConnected());
    server.Finish();
}

TEST(ReadLine, PartialDataAndStallsMakeOneLine)
{
    ScriptedServer server;
    server.Sends("+OK hel").Stalls(50ms).Sends("lo\r").Stalls(50ms).Sends("\n");
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK hello");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(ReadLine, InterruptedCallsAreCarriedOn)
{
    ScriptedServer server;
    server.Stalls(100ms).Says("+OK late").Expects("QUIT").Stalls(100ms).Says("+OK bye");
    RecordingClient r;
    r.Connect(server);
    {
        SignalStorm storm;
        EXPECT_EQ(r.Client.ReadLine(), "+OK late");
        r.Client.WriteLine("QUIT");
        r.Client.ReadTimeout = 5000;
        EXPECT_EQ(r.Client.ReadLine(), "+OK bye");
    }
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(ReadLine, SilentServerRaisesReadTimeoutWhenOneIsSet)
{
    ScriptedServer server;
    server.Stalls(200ms);
    RecordingClient r;
    r.Client.ReadTimeout = 50;
    r.Connect(server);
    EXPECT_THROW(r.Client.ReadLine(), EIdReadTimeout);
    EXPECT_TRUE(r.Client.IsConnected());
    r.Client.CloseConnection();
    server.Finish();
}

TEST(ReadLine, ResetByTheServerRaisesSocketError)
{
    ScriptedServer server;
    server.Says("+OK").Expects("STAT").Resets();
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    r.Client.WriteLine("STAT");
    try {
        r.Client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_EQ(e.Message, "Socket Error # 10054\r\nConnection reset by peer.");
    }
    EXPECT_EQ(server.Finish(), NoFailures);
}

TEST(SendBytes, ToAClosedPeerRaisesWithoutSignal)
{
    ScriptedServer server;
    server.Says("+OK").Expects("go").Resets();
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    r.Client.WriteLine("go");
    EXPECT_EQ(server.Finish(), NoFailures);
    const std::string block(65536, 'x');
    try {
        for (int i = 0; i < 100; ++i)
            r.Client.WriteText(block);
        FAIL() << "no exception";
    } catch (const EIdSocketError& e) {
        EXPECT_TRUE(e.ErrorNumber == WSAECONNRESET || e.ErrorNumber == WSAESHUTDOWN) << e.ErrorNumber;
    }
    EXPECT_FALSE(r.Client.IsConnected());
}

TEST(CloseConnection, RecordsWhatTheClientSent)
{
    ScriptedServer server;
    server.Says("+OK");
    RecordingClient r;
    r.Connect(server);
    EXPECT_EQ(r.Client.ReadLine(), "+OK");
    r.Client.WriteLine("DELE 1");
    r.Client.WriteLine("QUIT");
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), NoFailures);
    EXPECT_EQ(server.Received(), (std::vector<std::string>{"DELE 1", "QUIT"}));
}

TEST(ScriptedServer, ReportsAnUnexpectedLine)
{
    ScriptedServer server;
    server.Expects("USER joe").Says("+OK");
    RecordingClient r;
    r.Connect(server);
    r.Client.WriteLine("USER ann");
    EXPECT_THROW(r.Client.ReadLine(), EIdConnClosedGracefully);
    r.Client.CloseConnection();
    EXPECT_EQ(server.Finish(), std::vector<std::string>{"expected \"USER joe\", got \"USER ann\""});
}

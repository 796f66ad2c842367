// Servers that misbehave in the middle of a download: each failure ends the operation
// with its own words, drops the connection, and the next download works on a new one.
#include "SessionDialogue.h"

#include "IdMessageCoder.h"
#include "Progress.h"

#include <QCoreApplication>
#include <chrono>
#include <thread>

using namespace Dialogue;
using namespace std::chrono_literals;

namespace {

const std::string Message = "Subject: one\r\nMessage-Id: <1@x>\r\n\r\nbody one\r\n";

} // namespace

TEST_F(SessionTest, ABrokenDownloadDropsItsConnectionAndTheNextOneWorks)
{
    struct Case {
        const char* Name;
        std::function<void(ScriptedServer&)> BrokenReply;
        std::string Failure;
    };
    const std::vector<Case> cases = {
        {"close in the middle of the download",
         [](ScriptedServer& s) { s.Says("+OK").Says("Subject: one").Says("").Says("body"); },
         "Connection Closed Gracefully."},
        {"silent server",
         [](ScriptedServer& s) { s.Says("+OK").Says("Subject: one").Stalls(1000ms); },
         "Server neodpovídá: 127.0.0.1"},
        {"endless continuation",
         [](ScriptedServer& s) { s.Streams("+OK-more\r\n", 1200 * 10); },
         "Odpověď serveru je příliš dlouhá."},
        {"cancel during a slow download",
         [](ScriptedServer& s) { s.Says("+OK").Says("Subject: one").Stalls(500ms); },
         "Operace byla přerušena."},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        SetServerTimeouts(2000, 300);
        ScriptedServer server;
        Check(server, {Message}).Says("+OK").AcceptsNext();
        Login(server);
        Headers(server, 1, Message).Expects(DownloadCommand(1, Message));
        test.BrokenReply(server);
        server.AcceptsNext();
        Login(server);
        Headers(server, 1, Message);
        Retrieve(server, 1, Message).Expects("QUIT").Says("+OK");
        CheckMailbox(CreateSession(Account(server.Start())));
        const auto record = HeaderRecords()[0];
        // The user presses the cancel button as soon as the first bytes show.
        SetWorkListener([](int32_t) { CancelServerOperation(); });
        if (test.Failure != "Operace byla přerušena.")
            SetWorkListener({});
        EXPECT_EQ(FailureOf([&] { record->Download(); }), test.Failure);
        SetWorkListener({});
        EXPECT_FALSE(record->Downloaded);
        EXPECT_FALSE(record->Session->IsConnected());
        // The silent server may still be stalling before it takes the next connection.
        record->Session->ReadTimeout = 5000;
        record->Download();
        EXPECT_EQ(record->Msg->Body(), (std::vector<std::string>{"body one"}));
        CloseOpenSessions();
        EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    }
}

TEST_F(SessionTest, ADownloadsConnectionEndsWithQuitAfterLyingIdle)
{
    ScriptedServer server;
    Check(server, {Message}).Says("+OK").AcceptsNext();
    Login(server);
    Headers(server, 1, Message);
    Retrieve(server, 1, Message).Expects("QUIT").Says("+OK");
    CheckMailbox(CreateSession(Account(server.Start())));
    SetIdleCloseDelay(100);
    const auto record = HeaderRecords()[0];
    record->Download();
    EXPECT_TRUE(record->Session->IsConnected());
    for (auto end = std::chrono::steady_clock::now() + 3s;
         record->Session->IsConnected() && std::chrono::steady_clock::now() < end;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    SetIdleCloseDelay(DefaultIdleCloseMs);
    EXPECT_FALSE(record->Session->IsConnected());
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}

// A TOP whose header block never ends: the check stops at the header budget with a clear
// error, sends nothing more on that connection, and the next check works.
TEST_F(SessionTest, AnEndlessHeaderBlockEndsTheCheckAndTheNextCheckWorks)
{
    ScriptedServer server;
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK 1 100").Expects("UIDL").Says("-ERR unknown command");
    server.Expects("TOP 1 0").Says("+OK");
    server.Streams("X-Filler: " + std::string(100, 'x') + "\r\n", (int64_t(64) << 20) + (64 << 10));
    server.AcceptsNext();
    Check(server, {Message}).Says("+OK");
    const auto first = CreateSession(Account(server.Start()));
    EXPECT_THROW(CheckMailbox(first), EIdHeaderBlockTooLong);
    EXPECT_FALSE(first->IsConnected());
    EXPECT_EQ(CheckMailbox(CreateSession(Account(server.Port()))), 1);
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}

// The server worker of the window: the idle QUIT of a download's connection runs there and
// gives way to the user's next command at once.
#include "SessionDialogue.h"

#include "ServerWorker.h"

#include <QCoreApplication>
#include <QObject>
#include <chrono>
#include <thread>

using namespace Dialogue;
using namespace std::chrono_literals;

namespace {

const std::string Message = "Subject: one\r\nMessage-Id: <1@x>\r\n\r\nbody one\r\n";

// Runs events until done is true; false after five seconds.
bool RunEventsUntil(const bool& done)
{
    for (auto end = std::chrono::steady_clock::now() + 5s; !done && std::chrono::steady_clock::now() < end;)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done;
}

} // namespace

TEST_F(SessionTest, TheIdleQuitOnTheWorkerGivesWayToTheUsersCommand)
{
    ScriptedServer server;
    Check(server, {Message}).Says("+OK").AcceptsNext();
    Login(server);
    Headers(server, 1, Message);
    // The server never answers the idle QUIT.
    Retrieve(server, 1, Message).Expects("QUIT").Stalls(2s);
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto record = HeaderRecords()[0];
    SetIdleCloseDelay(100);
    QObject receiver;
    {
        TServerWorker worker(&receiver);
        bool downloaded = false;
        std::unique_ptr<TIdMessage> whole;
        worker.Run([&] { whole = record->Retrieve(); }, [&](std::exception_ptr failure) {
            EXPECT_FALSE(failure);
            downloaded = true;
        });
        ASSERT_TRUE(RunEventsUntil(downloaded));
        record->TakeDownload(std::move(whole));
        for (auto end = std::chrono::steady_clock::now() + 3s;
             server.Received().back() != "QUIT" && std::chrono::steady_clock::now() < end;)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(server.Received().back(), "QUIT");

        const auto queued = std::chrono::steady_clock::now();
        std::chrono::steady_clock::time_point started;
        bool done = false;
        worker.Run([&] { started = std::chrono::steady_clock::now(); }, [&](std::exception_ptr) { done = true; });
        ASSERT_TRUE(RunEventsUntil(done));
        EXPECT_LT(started - queued, 500ms);
    }
    SetIdleCloseDelay(DefaultIdleCloseMs);
    EXPECT_TRUE(record->Downloaded);
    EXPECT_FALSE(record->Session->IsConnected());
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}

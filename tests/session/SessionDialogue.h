#pragma once
// Building blocks of the session's dialogues with the scripted server, and a fixture that
// leaves no session open behind a test.

#include "SampleMessages.h"
#include "ScriptedServer.h"
#include "udm.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace Dialogue {

using Sample::HeaderOf;
using Sample::OnTheWire;

// The text of what the operation raised, or "(no failure)".
inline std::string FailureOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "(no failure)";
}

inline TPOP3Rec Account(int port)
{
    TPOP3Rec account;
    account.Address = "joe@localhost";
    account.Host = "127.0.0.1";
    account.Port = port;
    account.User = "joe";
    account.Password = "secret";
    return account;
}

inline ScriptedServer& Login(ScriptedServer& server)
{
    return server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK logged in");
}

// A check or a deletion logs in and asks CAPA; this server knows no capabilities, so
// the session sends one command at a time.
inline ScriptedServer& LoginWithoutPipelining(ScriptedServer& server)
{
    return Login(server).Expects("CAPA").Says("-ERR unknown command");
}

// TOP n 0 and LIST n of one message.
inline ScriptedServer& Headers(ScriptedServer& server, int number, const std::string& message)
{
    const std::string n = std::to_string(number);
    return server.Expects("TOP " + n + " 0")
        .Says("+OK")
        .Sends(OnTheWire(HeaderOf(message)))
        .Expects("LIST " + n)
        .Says("+OK " + n + " " + std::to_string(message.size()));
}

inline ScriptedServer& Check(ScriptedServer& server, const std::vector<std::string>& messages)
{
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK " + std::to_string(messages.size()) + " 1000");
    server.Expects("UIDL").Says("-ERR unknown command");
    for (size_t i = 0; i < messages.size(); ++i)
        Headers(server, static_cast<int>(i + 1), messages[i]);
    return server.Expects("QUIT");
}

// The deletions of one connection, ended by QUIT that the server confirms.
inline ScriptedServer& Deletes(ScriptedServer& server, const std::vector<std::pair<int, std::string>>& messages)
{
    // The server knows no capabilities: one command at a time.
    server.Expects("CAPA").Says("-ERR unknown command");
    for (const auto& [number, message] : messages)
        Headers(server, number, message).Expects("DELE " + std::to_string(number)).Says("+OK marked");
    return server.Expects("QUIT").Says("+OK bye");
}

// A download: TOP n with as many lines as LIST gave bytes (Headers gives the message's size).
inline std::string DownloadCommand(int number, const std::string& message)
{
    return "TOP " + std::to_string(number) + " " + std::to_string(message.size());
}

inline ScriptedServer& Retrieve(ScriptedServer& server, int number, const std::string& message)
{
    return server.Expects(DownloadCommand(number, message)).Says("+OK").Sends(OnTheWire(message));
}

} // namespace Dialogue

class SessionTest : public ::testing::Test {
protected:
    // A dialogue that goes wrong ends within seconds, not after the real time-outs.
    void SetUp() override { SetServerTimeouts(5000, 5000); }
    // Sessions a test left open go, and with them nothing carries over to the next test.
    void TearDown() override
    {
        try {
            CloseOpenSessions();
        } catch (...) {
        }
        SetServerTimeouts(DefaultConnectTimeoutMs, DefaultReadTimeoutMs);
    }
};

// TIdPOP3 against the scripted server: what the server says, what the client must send
// back, and what the caller gets.
#include "Exception.h"
#include "IdException.h"
#include "IdMessage.h"
#include "IdPOP3.h"
#include "MessageOf.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
const Lines NoFailures;

class Pop3Dialogue : public ::testing::Test {
protected:
    Pop3Dialogue()
    {
        Client.Host = "127.0.0.1";
        Client.Username = "joe";
        Client.Password = "secret";
        Client.OnWork = [this](TIdComponent*, TWorkMode, int32_t count) { WorkCounts.push_back(count); };
    }

    // The greeting and a USER/PASS log-in that the server accepts.
    ScriptedServer& LogsIn()
    {
        return Server.Says("+OK POP3 ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK logged in");
    }

    void Open()
    {
        Client.Port = Server.Start();
        Client.OpenConnection(-1);
    }

    // Closes the client (QUIT when still connected) and waits for the server's dialogue.
    Lines Finish()
    {
        Client.CloseConnection();
        return Server.Finish();
    }

    ScriptedServer Server;
    TIdPOP3 Client;
    std::vector<int32_t> WorkCounts;
};

// ---- Opening and logging in

TEST_F(Pop3Dialogue, NewClientUsesPort110AndUserPass)
{
    TIdPOP3 client;
    EXPECT_EQ(client.Port, 110);
    EXPECT_FALSE(client.APOP);
    EXPECT_EQ(client.MaxLineLength, 16384);
    EXPECT_EQ(client.ReadTimeout, 0);
}

TEST_F(Pop3Dialogue, LogsInWithUserAndPassThenQuits)
{
    LogsIn().Expects("QUIT");
    Open();
    EXPECT_TRUE(Client.IsConnected());
    EXPECT_EQ(Finish(), NoFailures);
    EXPECT_EQ(Server.Received(), (Lines{"USER joe", "PASS secret", "QUIT"}));
    EXPECT_FALSE(Client.IsConnected());
    EXPECT_TRUE(WorkCounts.empty()) << "commands and one-line replies report no work";
}

TEST_F(Pop3Dialogue, AcceptsAGreetingOfOnlyOk)
{
    Server.Says("+OK").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK").Expects("QUIT");
    Open();
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, AcceptsIndicatorsInLowerCase)
{
    Server.Says("+ok hello").Expects("USER joe").Says("+ok").Expects("PASS secret").Says("+Ok").Expects("STAT")
        .Says("-err locked").Expects("QUIT");
    Open();
    try {
        Client.CountMessages();
        FAIL() << "a lower-case -err is a refusal";
    } catch (const EIdProtocolReplyError& refusal) {
        EXPECT_EQ(refusal.ReplyCode, TIdPOP3::ReplyErr);
        EXPECT_EQ(refusal.Message, " locked\r\n");
    }
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, UnderstandsAReplyAfterBlankLines)
{
    Server.Says("").Says("   ").Says("+OK hi").Expects("USER joe").Says("").Says("+OK").Expects("PASS secret")
        .Says("+OK").Expects("STAT").Says("").Says("+OK 4 100").Expects("QUIT");
    Open();
    EXPECT_EQ(Client.CountMessages(), 4);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, RefusedGreetingRaisesTheServerTextAndQuits)
{
    Server.Says("-ERR too busy").Expects("QUIT");
    Client.Port = Server.Start();
    try {
        Client.OpenConnection(-1);
        FAIL() << "a -ERR greeting must raise";
    } catch (const EIdProtocolReplyError& refusal) {
        EXPECT_EQ(refusal.Message, " too busy\r\n");
        EXPECT_EQ(refusal.ReplyCode, TIdPOP3::ReplyErr);
    }
    EXPECT_FALSE(Client.IsConnected());
    EXPECT_EQ(Server.Finish(), NoFailures);
    EXPECT_EQ(Server.Received(), (Lines{"QUIT"}));
}

TEST_F(Pop3Dialogue, RefusedUserRaisesTheServerTextAndQuits)
{
    Server.Says("+OK").Expects("USER joe").Says("-ERR no such user").Expects("QUIT");
    Client.Port = Server.Start();
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.OpenConnection(-1); }), " no such user\r\n");
    EXPECT_FALSE(Client.IsConnected());
    EXPECT_EQ(Server.Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, RefusedPasswordLeavesTheClientClosedAndReusable)
{
    Server.Says("+OK").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("-ERR [AUTH] invalid password")
        .Expects("QUIT").AcceptsNext();
    LogsIn().Expects("STAT").Says("+OK 1 10").Expects("QUIT");
    Client.Port = Server.Start();
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.OpenConnection(-1); }),
              " [AUTH] invalid password\r\n");
    EXPECT_FALSE(Client.IsConnected());

    Client.OpenConnection(-1);
    EXPECT_EQ(Client.CountMessages(), 1);
    EXPECT_EQ(Finish(), NoFailures);
    EXPECT_EQ(Server.Connections(), 2);
}

// The refusal is what the user must read, even when the server is gone before our QUIT.
TEST_F(Pop3Dialogue, RefusalSurvivesAServerThatResetsBeforeQuit)
{
    Server.Says("+OK").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("-ERR bad password").Resets();
    Client.Port = Server.Start();
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.OpenConnection(-1); }), " bad password\r\n");
    EXPECT_FALSE(Client.IsConnected());
    Server.Finish();
}

TEST_F(Pop3Dialogue, UnrecognizedGreetingRaisesAndCloses)
{
    Server.Says("HELLO there").Expects("QUIT");
    Client.Port = Server.Start();
    EXPECT_EQ(MessageOf<EIdException>([&] { Client.OpenConnection(-1); }),
              "Unrecognized POP3 Response Header:\n\"O there\r\n\"");
    EXPECT_FALSE(Client.IsConnected());
    EXPECT_EQ(Server.Finish(), NoFailures);
}

// ---- APOP

TEST_F(Pop3Dialogue, ApopSendsTheDigestOfTimestampAndPassword)
{
    Server.Says("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>")
        .Expects("APOP mrose c4c9334bac560ecc979e58001b3e22fb")
        .Says("+OK maildrop has 1 message")
        .Expects("QUIT");
    Client.APOP = true;
    Client.Username = "mrose";
    Client.Password = "tanstaaf";
    Open();
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, ApopWithoutATimestampRaisesAndQuits)
{
    for (const char* greeting : {"+OK POP3 server ready", "+OK ready <1896.697170952@dbc", "+OK ready >x<"}) {
        ScriptedServer server;
        server.Says(greeting).Expects("QUIT");
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.APOP = true;
        client.Port = server.Start();
        EXPECT_EQ(MessageOf<EIdException>([&] { client.OpenConnection(-1); }),
                  "Server do not support APOP (no timestamp)")
            << greeting;
        EXPECT_FALSE(client.IsConnected());
        EXPECT_EQ(server.Finish(), NoFailures) << greeting;
    }
}

TEST_F(Pop3Dialogue, PlainConnectionWithATimestampLogsInWithApopNotPass)
{
    Server.Says("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>")
        .Expects("APOP mrose c4c9334bac560ecc979e58001b3e22fb")
        .Says("+OK maildrop has 1 message")
        .Expects("QUIT");
    Client.Username = "mrose";
    Client.Password = "tanstaaf";
    Open();
    EXPECT_EQ(Client.LoginMethodUsed, "APOP");
    EXPECT_FALSE(Client.PasswordSentUnencrypted);
    EXPECT_EQ(Finish(), NoFailures);
}

// A mechanism of the kind a token log-in brings: it may run without TLS, so the scripted
// server can play the exchange.
class TestMechanism : public TIdSASLMechanism {
public:
    std::string Name() const override { return "X-TEST"; }
    std::optional<std::string> InitialResponse() override { return std::string("token"); }
    std::string Respond(const std::string& challenge) override { return "answer to " + challenge; }
    bool NeedsEncryption() const override { return false; }
};

TEST_F(Pop3Dialogue, SaslExchangesEndInTheServersVerdict)
{
    struct Case {
        const char* name;
        Lines afterAuth; // the server's lines, then what the client must send, alternating
        std::string failure;
    };
    const std::vector<Case> cases = {
        {"accepted at once", {"+OK welcome"}, ""},
        {"one challenge", {"+ Y2hhbGxlbmdl", EncodeSaslBase64("answer to challenge"), "+OK welcome"}, ""},
        {"refused", {"-ERR [AUTH] no"}, " [AUTH] no\r\n"},
        {"garbage instead of a verdict", {"* what"}, "Unrecognized POP3 Response Header:\n\"* what\r\n\""},
        {"challenge that is not base64", {"+ !!!"}, "Unrecognized POP3 Response Header:\n\"+ !!!\r\n\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        server.Says("+OK ready <1.2@host>").Expects("CAPA").Says("+OK").Says("USER").Says("SASL PLAIN X-TEST").Says(".");
        server.Expects("AUTH X-TEST " + EncodeSaslBase64("token"))
            .TakesTurns(ScriptedServer::Turn::Server, c.afterAuth)
            .Expects("QUIT");
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.SASLMechanism = std::make_shared<TestMechanism>();
        client.Port = server.Start();
        EXPECT_EQ(MessageOf<EIdException>([&] { client.OpenConnection(-1); }), c.failure);
        EXPECT_EQ(client.IsConnected(), c.failure.empty());
        client.CloseConnection();
        EXPECT_EQ(server.Finish(), NoFailures);
    }
}

// ---- Counting, sizes, deleting

TEST_F(Pop3Dialogue, CountMessagesReadsTheNumberBeforeTheFirstSpace)
{
    struct Case {
        const char* Reply;
        int32_t Count;
    };
    const Case cases[] = {{"+OK 2 320", 2}, {"+OK 0 0", 0}, {"+OK", 0}, {"+OK 2000 1048576", 2000}};
    LogsIn();
    for (const Case& c : cases)
        Server.Expects("STAT").Says(c.Reply);
    Server.Expects("QUIT");
    Open();
    for (const Case& c : cases)
        EXPECT_EQ(Client.CountMessages(), c.Count) << c.Reply;
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, CountMessagesWithoutALeadingNumberRaisesConvertError)
{
    LogsIn().Expects("STAT").Says("+OK 2").Expects("STAT").Says("+OK many 320").Expects("QUIT");
    Open();
    EXPECT_EQ(MessageOf<EConvertError>([&] { Client.CountMessages(); }), "'' is not a valid integer value");
    EXPECT_EQ(MessageOf<EConvertError>([&] { Client.CountMessages(); }), "'many' is not a valid integer value");
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, FetchSizeReadsTheNumberAfterTheFirstSpace)
{
    struct Case {
        const char* Reply;
        int32_t Size;
    };
    const Case cases[] = {{"+OK 3 1200", 1200}, {"+OK 1200", 1200}, {"+OK 3 1200 octets", -1}, {"+OK", -1},
                          {"+OK 3 big", -1}};
    LogsIn();
    for (const Case& c : cases)
        Server.Expects("LIST 3").Says(c.Reply);
    Server.Expects("QUIT");
    Open();
    for (const Case& c : cases)
        EXPECT_EQ(Client.FetchSize(3), c.Size) << c.Reply;
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, RefusedCommandsRaiseAndKeepTheConnection)
{
    LogsIn()
        .Expects("STAT").Says("-ERR mailbox locked")
        .Expects("LIST 7").Says("-ERR no such message")
        .Expects("DELE 7").Says("-ERR no such message")
        .Expects("STAT").Says("+OK 6 600")
        .Expects("QUIT");
    Open();
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.CountMessages(); }), " mailbox locked\r\n");
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.FetchSize(7); }), " no such message\r\n");
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.DeleteMessage(7); }), " no such message\r\n");
    EXPECT_TRUE(Client.IsConnected());
    EXPECT_EQ(Client.CountMessages(), 6);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, RefusalWithoutTextRaisesOnlyCrLf)
{
    LogsIn().Expects("DELE 1").Says("-ERR").Expects("QUIT");
    Open();
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.DeleteMessage(1); }), "\r\n");
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, UnrecognizedReplyAfterLogInKeepsTheConnection)
{
    LogsIn().Expects("STAT").Says("* 2 320").Expects("STAT").Says("+OK 2 320").Expects("QUIT");
    Open();
    EXPECT_EQ(MessageOf<EIdException>([&] { Client.CountMessages(); }),
              "Unrecognized POP3 Response Header:\n\"320\r\n\"");
    EXPECT_TRUE(Client.IsConnected());
    EXPECT_EQ(Client.CountMessages(), 2);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, DeleteThenCloseSendsDeleAndQuitOnOneConnection)
{
    LogsIn().Expects("DELE 3").Says("+OK message 3 deleted").Expects("QUIT");
    Open();
    EXPECT_TRUE(Client.DeleteMessage(3));
    EXPECT_EQ(Finish(), NoFailures);
    EXPECT_EQ(Server.Received(), (Lines{"USER joe", "PASS secret", "DELE 3", "QUIT"}));
    EXPECT_EQ(Server.Connections(), 1);
}

// ---- Header blocks and whole messages

TEST_F(Pop3Dialogue, FetchHeaderReadsTheBlockUpToTheDot)
{
    LogsIn()
        .Expects("TOP 2 0")
        .Says("+OK")
        .Says("From: Anna <anna@example.org>")
        .Says("Subject: Hello")
        .Says("\tthere")
        .Says("")
        .Says(".")
        .Expects("LIST 2")
        .Says("+OK 2 120")
        .Expects("QUIT");
    Open();
    TIdMessage message;
    EXPECT_TRUE(Client.FetchHeader(2, message));
    EXPECT_EQ(message.RawHeaders.Lines(),
              (Lines{"From: Anna <anna@example.org>", "Subject: Hello", "\tthere"}));
    EXPECT_EQ(message.Subject, "Hello there");
    EXPECT_EQ(message.From.Address, "anna@example.org");
    EXPECT_EQ(Client.FetchSize(2), 120) << "the header read must leave nothing behind";
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, FetchHeaderWithoutBlankLineBeforeTheDotReadsTheSameHeader)
{
    LogsIn().Expects("TOP 1 0").Says("+OK").Says("Subject: Hello").Says(".").Expects("QUIT");
    Open();
    TIdMessage message;
    Client.FetchHeader(1, message);
    EXPECT_EQ(message.RawHeaders.Lines(), (Lines{"Subject: Hello"}));
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, HeaderReadReportsRunningByteCounts)
{
    // Lines of 10, 20 and 5 bytes with their CR LF, then the blank line and the dot.
    LogsIn()
        .Expects("TOP 1 0").Says("+OK 35 octets").Says("Subject:").Says("From: a@example.or").Says("X:y")
        .Says("").Says(".")
        .Expects("QUIT");
    Open();
    TIdMessage message;
    Client.FetchHeader(1, message);
    EXPECT_EQ(WorkCounts, (std::vector<int32_t>{10, 30, 35, 37, 40}));
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, FetchMessageReadsHeaderAndBodyWithoutStuffedDots)
{
    LogsIn()
        .Expects("RETR 1")
        .Says("+OK 60 octets")
        .Says("Subject: Body")
        .Says("")
        .Says("first line")
        .Says("..starts with a dot")
        .Says("")
        .Says("last line")
        .Says(".")
        .Expects("STAT")
        .Says("+OK 1 60")
        .Expects("QUIT");
    Open();
    TIdMessage message;
    EXPECT_TRUE(Client.FetchMessage(1, message));
    EXPECT_EQ(message.Subject, "Body");
    EXPECT_EQ(message.Body(), (Lines{"first line", ".starts with a dot", "", "last line"}));
    EXPECT_FALSE(WorkCounts.empty());
    EXPECT_EQ(Client.CountMessages(), 1);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, FetchMessageEndingRightAfterTheHeaderReadsOnlyTheHeader)
{
    LogsIn().Expects("RETR 1").Says("+OK").Says("Subject: Short").Says(".").Expects("STAT").Says("+OK 1 20")
        .Expects("QUIT");
    Open();
    TIdMessage message;
    EXPECT_TRUE(Client.FetchMessage(1, message));
    EXPECT_EQ(message.Subject, "Short");
    EXPECT_TRUE(message.Body().empty());
    EXPECT_EQ(Client.CountMessages(), 1);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, RefusedRetrReturnsFalseAndLeavesTheMessageAlone)
{
    LogsIn().Expects("RETR 9").Says("-ERR no such message").Expects("QUIT");
    Open();
    TIdMessage message;
    message.Subject = "kept";
    message.RawHeaders.Add("Subject: kept");
    EXPECT_FALSE(Client.FetchMessage(9, message));
    EXPECT_EQ(message.Subject, "kept");
    EXPECT_EQ(message.RawHeaders.Lines(), (Lines{"Subject: kept"}));
    EXPECT_TRUE(Client.IsConnected());
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3Dialogue, StatCountTheServerDoesNotHoldGivesTheRefusal)
{
    LogsIn().Expects("STAT").Says("+OK 3 300").Expects("TOP 3 0").Says("-ERR no such message").Expects("QUIT");
    Open();
    ASSERT_EQ(Client.CountMessages(), 3);
    TIdMessage message;
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Client.FetchHeader(3, message); }), " no such message\r\n");
    EXPECT_EQ(Finish(), NoFailures);
}

// ---- Hostile servers: each failure is the connection's own, and the client can be
// opened again afterwards.

class Pop3BrokenServer : public Pop3Dialogue {
protected:
    // After the broken first connection, a second one that works.
    void ExpectReusable()
    {
        Client.CloseConnection();
        EXPECT_FALSE(Client.IsConnected());
        Client.OpenConnection(-1);
        EXPECT_EQ(Client.CountMessages(), 5);
        EXPECT_EQ(Finish(), NoFailures);
    }

    void ThenWorks() { Server.AcceptsNext(); LogsIn().Expects("STAT").Says("+OK 5 500").Expects("QUIT"); }
};

TEST_F(Pop3BrokenServer, CloseInTheMiddleOfTop)
{
    LogsIn().Expects("TOP 1 0").Says("+OK").Says("Subject: cut").Sends("From: half a li");
    ThenWorks();
    Open();
    TIdMessage message;
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Client.FetchHeader(1, message); }),
              "Connection Closed Gracefully.");
    ExpectReusable();
}

TEST_F(Pop3BrokenServer, CloseInTheMiddleOfRetr)
{
    LogsIn().Expects("RETR 1").Says("+OK").Says("Subject: cut").Says("").Says("body line");
    ThenWorks();
    Open();
    TIdMessage message;
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Client.FetchMessage(1, message); }),
              "Connection Closed Gracefully.");
    ExpectReusable();
}

TEST_F(Pop3BrokenServer, TextBeyondTheBudgetEndsTheDownloadAndTheConnection)
{
    LogsIn().Expects("RETR 1").Says("+OK").Says("Subject: big").Says("").Says(std::string(900, 't'))
        .Says(std::string(900, 't')).Says("unread").Says(".");
    ThenWorks();
    Client.MessageTextBudget = 1000;
    Open();
    TIdMessage message;
    EXPECT_EQ(MessageOf<EIdException>([&] { Client.FetchMessage(1, message); }), "Text zprávy je delší než 64 MiB.");
    ExpectReusable();
}

TEST_F(Pop3BrokenServer, CloseWithoutTheTerminatingDot)
{
    LogsIn().Expects("TOP 1 0").Says("+OK").Says("Subject: no end").Says("");
    ThenWorks();
    Open();
    TIdMessage message;
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Client.FetchHeader(1, message); }),
              "Connection Closed Gracefully.");
    ExpectReusable();
}

TEST_F(Pop3Dialogue, HeaderLineBeyondTheHeaderLimitIsDroppedWithTheRestOfTheBlock)
{
    LogsIn().Expects("TOP 1 0").Says("+OK").Says("Subject: " + std::string(16384, 'x'))
        .Says("X-Trace: " + std::string(3 << 19, 't')).Says("From: dropped").Says(".")
        .Expects("LIST 1").Says("+OK 1 4000000").Expects("QUIT");
    Open();
    TIdMessage message;
    Client.FetchHeader(1, message);
    EXPECT_EQ(message.RawHeaders.Lines(), Lines{"Subject: " + std::string(16384, 'x')});
    EXPECT_EQ(Client.FetchSize(1), 4000000);
    EXPECT_EQ(Client.MaxLineAction, maException);
    EXPECT_EQ(Finish(), NoFailures);
}

TEST_F(Pop3BrokenServer, CloseAfterTheGreeting)
{
    Server.Says("+OK");
    ThenWorks();
    Client.Port = Server.Start();
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Client.OpenConnection(-1); }),
              "Connection Closed Gracefully.");
    ExpectReusable();
}

TEST_F(Pop3BrokenServer, ReplyWithNeitherIndicator)
{
    LogsIn().Expects("STAT").Says("OK 5 500").Expects("QUIT");
    ThenWorks();
    Open();
    EXPECT_EQ(MessageOf<EIdException>([&] { Client.CountMessages(); }),
              "Unrecognized POP3 Response Header:\n\" 500\r\n\"");
    ExpectReusable();
}

// ---- Closing

TEST_F(Pop3Dialogue, CloseAfterTheServerHasClosedSendsNothing)
{
    LogsIn().Closes();
    Open();
    EXPECT_EQ(MessageOf<EIdConnClosedGracefully>([&] { Client.CountMessages(); }), "Connection Closed Gracefully.");
    std::vector<std::string> statuses;
    Client.OnStatus = [&](TIdComponent*, TIdStatus, const std::string& text) { statuses.push_back(text); };
    Client.CloseConnection();
    EXPECT_EQ(statuses, (Lines{"Disconnecting.", "Disconnected."}));
    Server.Finish();
    EXPECT_EQ(Server.Received(), (Lines{"USER joe", "PASS secret", "STAT"}));
}

TEST_F(Pop3Dialogue, QuitThatCannotBeSentRaisesAfterClosing)
{
    LogsIn().Resets();
    Open();
    // Let the reset arrive before the goodbye is written.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_THROW(Client.CloseConnection(), EIdSocketError);
    EXPECT_FALSE(Client.IsConnected());
    Server.Finish();
}

TEST_F(Pop3Dialogue, CommandsWithoutAConnectionFailInTheLineLayer)
{
    EXPECT_THROW(Client.CountMessages(), EIdException);
    EXPECT_THROW(Client.FetchSize(1), EIdException);
    EXPECT_THROW(Client.DeleteMessage(1), EIdException);
    EXPECT_NO_THROW(Client.CloseConnection());
}

} // namespace

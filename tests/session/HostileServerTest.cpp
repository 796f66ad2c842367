// A server that tries to wear the program out or to make it send what it must not: each
// attempt ends within its bound, in words of its own, with nothing sent that should not be.
#include "SessionDialogue.h"

#include <algorithm>
#include <chrono>

using namespace Dialogue;
using namespace std::chrono_literals;

namespace {

const std::string Message = "Subject: one\r\nMessage-Id: <1@x>\r\n\r\nbody one\r\n";

// A reply that comes a few bytes at a time, each piece after a pause shorter than the
// read time-out.
ScriptedServer& Trickle(ScriptedServer& server, const std::vector<std::string>& pieces)
{
    for (const std::string& piece : pieces)
        server.Sends(piece).Stalls(150ms);
    return server;
}

} // namespace

TEST_F(SessionTest, AHostileServerIsBoundedAndToldApart)
{
    struct Case {
        const char* Name;
        std::function<void(TPOP3Rec&)> Account;
        std::function<void(ScriptedServer&)> Dialogue;
        std::string Failure;
    };
    const std::string noSend = " obsahuje konec řádku nebo nulový znak; nic nebylo odesláno.";
    const std::vector<Case> cases = {
        {"a count that would make a billion records", {},
         [](ScriptedServer& s) { LoginWithoutPipelining(s).Expects("STAT").Says("+OK 1000000000 5").Expects("QUIT"); },
         "Server 127.0.0.1 hlásí 1000000000 zpráv, víc než 1000000, kolik program přečte. Nic nebylo načteno."},
        {"a greeting that trickles", {},
         [](ScriptedServer& s) { Trickle(s, {"+O", "K r", "ea", "dy", "\r\n"}); },
         "Server 127.0.0.1 neposlal uvítání. Možná na tomto portu čeká šifrované spojení; zkuste zabezpečení SSL/TLS."},
        {"a header block that trickles", {},
         [](ScriptedServer& s) {
             LoginWithoutPipelining(s).Expects("STAT").Says("+OK 1 5").Expects("UIDL").Says("-ERR unknown command");
             s.Expects("TOP 1 0").Says("+OK");
             Trickle(s, {"Subject: a\r\n", "From: b@c\r\n", "To: d@e\r\n", "X: f\r\n", ".\r\n"});
         },
         "Server neodpovídá: 127.0.0.1"},
        {"silence after +OK to STLS", [](TPOP3Rec& a) { a.Security = csStartTls; },
         [](ScriptedServer& s) { s.Says("+OK ready").Expects("STLS").Says("+OK begin").Stalls(5000ms); },
         "Server 127.0.0.1 nedokončil navázání šifrovaného spojení (TLS) v čase."},
        {"a password with a line end", [](TPOP3Rec& a) { a.Password = "first\r\nSECOND"; }, {}, "Heslo" + noSend},
        {"a password with a NUL", [](TPOP3Rec& a) { a.Password = std::string("a\0b", 3); }, {}, "Heslo" + noSend},
        {"a user name with a line end", [](TPOP3Rec& a) { a.User = "joe\nDELE 1"; }, {}, "Uživatelské jméno" + noSend},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        SetServerTimeouts(2000, 300);
        ScriptedServer server;
        if (test.Dialogue)
            test.Dialogue(server);
        TPOP3Rec account = Account(server.Start());
        if (test.Account)
            test.Account(account);
        const std::vector<std::shared_ptr<TMessageHeader>> before = HeaderRecords();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(FailureOf([&] { CheckMailbox(CreateSession(account)); }), test.Failure);
        EXPECT_LT(std::chrono::steady_clock::now() - start, 4000ms) << "the client gives up before the server";
        for (const auto& record : HeaderRecords()) {
            EXPECT_NE(std::find(before.begin(), before.end(), record), before.end()) << "a record of the failed check";
        }
        if (!test.Dialogue)
            EXPECT_EQ(server.Connections(), 0);
    }
}

// With a size from LIST the attachments are bounded by it; without one (a bare "+OK"),
// by the fixed bound, lowered here so that a few MiB cross it.
TEST_F(SessionTest, AnAttachmentLargerThanTheMessageStopsTheDownload)
{
    struct Case {
        const char* Name;
        std::string ListReply;
        std::string Download;
        std::string Failure;
    };
    const std::vector<Case> cases = {
        {"sized", "+OK 1 " + std::to_string(Message.size()), DownloadCommand(1, Message),
         "Příloha je větší, než server u zprávy ohlásil; stahování bylo zastaveno."},
        {"without a size", "+OK", "TOP 1 2147483647",
         "Příloha je větší než 1 MiB a server velikost zprávy neohlásil; stahování bylo zastaveno."},
    };
    SetUnsizedAttachmentLimit(1 << 20);
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        ScriptedServer server;
        auto header = [&] {
            server.Expects("TOP 1 0").Says("+OK").Sends(OnTheWire(HeaderOf(Message))).Expects("LIST 1").Says(test.ListReply);
        };
        LoginWithoutPipelining(server).Expects("STAT").Says("+OK 1 1000").Expects("UIDL").Says("-ERR unknown command");
        header();
        server.Expects("QUIT").Says("+OK").AcceptsNext();
        Login(server);
        header();
        server.Expects(test.Download).Says("+OK");
        server.Sends("Content-Type: application/octet-stream; name=x\r\nContent-Transfer-Encoding: base64\r\n\r\n")
            .Streams(std::string(76, 'Q') + "\r\n", 8 << 20);
        CheckMailbox(CreateSession(Account(server.Start())));
        const auto record = HeaderRecords()[0];
        EXPECT_EQ(FailureOf([&] { record->Download(); }), test.Failure);
        EXPECT_FALSE(record->Downloaded);
        EXPECT_FALSE(record->Session->IsConnected());
    }
    SetUnsizedAttachmentLimit(DefaultUnsizedAttachmentLimit);
}

TEST_F(SessionTest, AConnectionLostDuringDeleSaysNothingWasDeleted)
{
    ScriptedServer server;
    Check(server, {Message, Message}).Says("+OK").AcceptsNext();
    Login(server).Expects("CAPA").Says("-ERR unknown command");
    Headers(server, 1, Message).Expects("DELE 1").Says("+OK marked");
    Headers(server, 2, Message).Expects("DELE 2").Resets();
    CheckMailbox(CreateSession(Account(server.Start())));
    const std::string failure = FailureOf([] { DeleteMessages(HeaderRecords()); });
    EXPECT_NE(failure.find("Nic nebylo vymazáno: spojení skončilo dřív, než server potvrdil ukončení (QUIT)"),
              std::string::npos)
        << failure;
    EXPECT_FALSE(HeaderRecords()[0]->Deleted);
    EXPECT_FALSE(HeaderRecords()[1]->Deleted);
}

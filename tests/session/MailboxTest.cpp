// The check, downloads and deletions as dialogues with the scripted server.
#include "SampleMessages.h"
#include "SessionDialogue.h"

#include "IdException.h"
#include "Progress.h"

#include <thread>

using namespace Dialogue;

namespace {

const std::string First = "Subject: one\r\nMessage-Id: <1@x>\r\n\r\nbody one\r\n";
const std::string Second = "Subject: two\r\nMessage-Id: <2@x>\r\n\r\nbody two\r\n";
const std::string Third = "Subject: three\r\n\r\nbody three\r\n";

std::vector<std::string> Commands(const ScriptedServer& server)
{
    return server.Received();
}

// The text of the reply error operation raises.
std::string ReplyErrorOf(const std::function<void()>& operation)
{
    try {
        operation();
    } catch (const EIdProtocolReplyError& error) {
        return error.Message;
    }
    return "(no reply error)";
}

} // namespace

TEST_F(SessionTest, AnEmptyMailboxIsOpenedCountedAndClosed)
{
    ScriptedServer server;
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK 0 0").Expects("UIDL").Says("-ERR unknown command").Expects("QUIT");
    const auto session = CreateSession(Account(server.Start()));
    EXPECT_FALSE(session->IsConnected());
    EXPECT_EQ(CheckMailbox(session), 0);
    EXPECT_TRUE(HeaderRecords().empty());
    EXPECT_FALSE(session->IsConnected());
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}

TEST_F(SessionTest, ACheckMakesOneRecordPerMessageInOrder)
{
    ScriptedServer server;
    Check(server, {Sample::Plain, Sample::Multipart});
    const auto session = CreateSession(Account(server.Start()));
    EXPECT_EQ(CheckMailbox(session), 2);
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    ASSERT_EQ(HeaderRecords().size(), 2u);
    const TMessageHeader& plain = *HeaderRecords()[0];
    EXPECT_EQ(plain.Number, 1);
    EXPECT_EQ(plain.Session, session);
    EXPECT_FALSE(plain.Downloaded);
    EXPECT_FALSE(plain.Deleted);
    EXPECT_EQ(plain.DateText(), "15 Mar 2023 13:05:09");
    EXPECT_EQ(plain.SizeText(), std::to_string(Sample::Plain.size()));
    EXPECT_EQ(plain.FromText(), "jiri@example.cz");
    EXPECT_EQ(plain.ToText(), "Anna <anna@example.org>, bob@example.org");
    EXPECT_EQ(plain.SubjectText(), "Příprava");
    EXPECT_EQ(plain.IdText(), "<plain@example.org>");
    EXPECT_EQ(HeaderRecords()[1]->Number, 2);
    EXPECT_EQ(HeaderRecords()[1]->DateText(), "16 Mar 2023");
    EXPECT_FALSE(session->IsConnected());
}

TEST_F(SessionTest, AListReplyWithoutANumberGivesMinusOne)
{
    ScriptedServer server;
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK 1 10").Expects("UIDL").Says("-ERR unknown command");
    server.Expects("TOP 1 0").Says("+OK").Sends(OnTheWire(HeaderOf(First)));
    server.Expects("LIST 1").Says("+OK 1 lots").Expects("QUIT");
    CheckMailbox(CreateSession(Account(server.Start())));
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    ASSERT_EQ(HeaderRecords().size(), 1u);
    EXPECT_EQ(HeaderRecords()[0]->SizeText(), "-1");
}

TEST_F(SessionTest, ARefusedTopEndsTheCheckWithTheRecordsMadeSoFar)
{
    ScriptedServer earlier;
    Check(earlier, {First});
    CheckMailbox(CreateSession(Account(earlier.Start())));
    const std::weak_ptr<TMessageHeader> earlierRecord = HeaderRecords().front();

    ScriptedServer server;
    LoginWithoutPipelining(server).Expects("STAT").Says("+OK 2 100").Expects("UIDL").Says("-ERR unknown command");
    Headers(server, 1, First).Expects("TOP 2 0").Says("-ERR no such message").Expects("QUIT");
    const auto session = CreateSession(Account(server.Start()));
    EXPECT_EQ(ReplyErrorOf([&] { CheckMailbox(session); }), " no such message\r\n");
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_FALSE(session->IsConnected());
    ASSERT_EQ(HeaderRecords().size(), 1u);
    EXPECT_EQ(HeaderRecords()[0]->IdText(), "<1@x>");
    // A row that kept the previous check's record finds nothing now, not another message.
    EXPECT_TRUE(earlierRecord.expired());
}

TEST_F(SessionTest, ARefusedTopInThePipelineEndsTheCheckWithTheRecordsSoFarAndQuit)
{
    ScriptedServer server;
    Login(server).Expects("CAPA").Says("+OK").Says("PIPELINING").Says(".").Expects("STAT").Says("+OK 3 100");
    for (const char* command : {"UIDL", "TOP 1 0", "LIST 1", "TOP 2 0", "LIST 2", "TOP 3 0", "LIST 3"})
        server.Expects(command);
    // The commands after the refused one are answered too; QUIT comes after their replies.
    server.Says("-ERR unknown command").Says("+OK").Sends(OnTheWire(HeaderOf(First))).Says("+OK 1 40");
    server.Says("-ERR no such message").Says("+OK 2 40");
    server.Says("+OK").Sends(OnTheWire(HeaderOf(Second))).Says("+OK 3 40").Expects("QUIT");
    const auto session = CreateSession(Account(server.Start()));
    EXPECT_EQ(ReplyErrorOf([&] { CheckMailbox(session); }), " no such message\r\n");
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_FALSE(session->IsConnected());
    ASSERT_EQ(HeaderRecords().size(), 1u);
    EXPECT_EQ(HeaderRecords()[0]->IdText(), "<1@x>");
    EXPECT_EQ(HeaderRecords()[0]->SizeText(), "40");
}

TEST_F(SessionTest, AMessageWithAnOverlongHeaderLineKeepsItsRowAndCanBeDeleted)
{
    const std::string huge = "Message-ID: <huge@x>\r\nX-Trace: " + std::string(3 << 19, 't')
                             + "\r\nSubject: never read\r\n\r\nbody\r\n";
    ScriptedServer server;
    Check(server, {huge, Second});
    server.AcceptsNext();
    Login(server);
    Deletes(server, {{1, huge}});
    EXPECT_EQ(CheckMailbox(CreateSession(Account(server.Start()))), 2);
    ASSERT_EQ(HeaderRecords().size(), 2u);
    EXPECT_EQ(HeaderRecords()[0]->IdText(), "<huge@x>");
    EXPECT_EQ(HeaderRecords()[0]->SubjectText(), "");
    EXPECT_EQ(HeaderRecords()[0]->SizeText(), std::to_string(huge.size()));
    EXPECT_EQ(HeaderRecords()[1]->IdText(), "<2@x>");
    EXPECT_TRUE(HeaderRecords()[0]->DeleteOnServer());
    CloseOpenSessions();
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
}

TEST_F(SessionTest, ARefusedLoginKeepsThePreviousRecords)
{
    ScriptedServer earlier;
    Check(earlier, {First, Second});
    CheckMailbox(CreateSession(Account(earlier.Start())));

    ScriptedServer server;
    server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("-ERR wrong password");
    server.Expects("QUIT");
    EXPECT_THROW(CheckMailbox(CreateSession(Account(server.Start()))), EIdProtocolReplyError);
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(HeaderRecords().size(), 2u);
}

TEST_F(SessionTest, ADeletionEndsItsConnectionWithQuitAtOnce)
{
    ScriptedServer server;
    Check(server, {First, Second});
    server.AcceptsNext();
    Login(server);
    Deletes(server, {{2, Second}}).AcceptsNext();
    Check(server, {First});
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto second = HeaderRecords()[1];
    EXPECT_TRUE(second->DeleteOnServer());
    EXPECT_TRUE(second->Deleted);
    EXPECT_FALSE(second->Session->IsConnected());
    EXPECT_EQ(CheckMailbox(CreateSession(Account(server.Port()))), 1);
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(server.Connections(), 3);
}

// The numbers of the messages still listed follow the server's: a download after the
// deletions asks for the message under its new number and finds it.
TEST_F(SessionTest, DeletionsRenumberTheMessagesBelowThem)
{
    ScriptedServer server;
    Check(server, {First, Second, Third});
    server.AcceptsNext();
    Login(server);
    Deletes(server, {{3, Third}, {1, First}}).AcceptsNext();
    Login(server);
    Headers(server, 1, Second);
    Retrieve(server, 1, Second).Expects("QUIT");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto records = HeaderRecords();
    DeleteMessages({records[2], records[0]});
    EXPECT_TRUE(records[2]->Deleted);
    EXPECT_TRUE(records[0]->Deleted);
    EXPECT_EQ(records[1]->Number, 1);
    records[1]->Download();
    EXPECT_EQ(records[1]->Msg->Body(), (std::vector<std::string>{"body two"}));
    CloseOpenSessions();
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(server.Connections(), 3);
}

// A refused DELE or QUIT: what the server carried out is marked, nothing else, and the
// user reads the server's words.
TEST_F(SessionTest, RefusedDeletionsAndQuitMarkOnlyWhatTheServerCarriedOut)
{
    struct Case {
        const char* Name;
        const char* SecondDele;
        const char* QuitReply;
        bool FirstDeleted;
        const char* Error;
    };
    const Case cases[] = {
        {"second DELE refused", "-ERR locked", "+OK", true, " locked\r\n"},
        {"QUIT refused", "+OK", "-ERR some deleted messages not removed", false,
         " some deleted messages not removed\r\nZkontrolujte zprávy znovu."},
        {"no answer to QUIT", "+OK", nullptr, false, nullptr},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        ScriptedServer server;
        Check(server, {First, Second});
        server.AcceptsNext();
        LoginWithoutPipelining(server);
        Headers(server, 2, Second).Expects("DELE 2").Says("+OK");
        Headers(server, 1, First).Expects("DELE 1").Says(test.SecondDele).Expects("QUIT");
        if (test.QuitReply)
            server.Says(test.QuitReply);
        CheckMailbox(CreateSession(Account(server.Start())));
        const auto records = HeaderRecords();
        std::string error = "(none)";
        try {
            DeleteMessages({records[1], records[0]});
        } catch (const std::exception& failure) {
            error = failure.what();
        }
        if (test.Error)
            EXPECT_EQ(error, test.Error);
        else
            EXPECT_NE(error.find("Zkontrolujte zprávy znovu."), std::string::npos) << error;
        EXPECT_EQ(records[1]->Deleted, test.FirstDeleted);
        EXPECT_FALSE(records[0]->Deleted);
        EXPECT_EQ(records[0]->Number, 1);
        EXPECT_FALSE(records[0]->Session->IsConnected());
        EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    }
}

// A server that pipelines gets the identity checks in one batch and the DELE commands in
// the next; a DELE refused in the middle does not undo those sent after it, which the
// server accepted and QUIT carries out.
TEST_F(SessionTest, APipelinedDeletionCarriesOutWhatTheServerAcceptedAroundARefusal)
{
    ScriptedServer server;
    Check(server, {First, Second, Third});
    server.AcceptsNext();
    Login(server).Expects("CAPA").Says("+OK").Says("PIPELINING").Says(".");
    for (const char* command : {"TOP 3 0", "LIST 3", "TOP 2 0", "LIST 2", "TOP 1 0", "LIST 1"})
        server.Expects(command);
    const std::pair<int, const std::string*> chosen[] = {{3, &Third}, {2, &Second}, {1, &First}};
    for (const auto& [number, message] : chosen)
        server.Says("+OK").Sends(OnTheWire(HeaderOf(*message))).Says("+OK " + std::to_string(number) + " " +
                                                                      std::to_string(message->size()));
    server.Expects("DELE 3").Expects("DELE 2").Expects("DELE 1");
    server.Says("+OK marked").Says("-ERR locked").Says("+OK marked").Expects("QUIT").Says("+OK bye");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto records = HeaderRecords();
    EXPECT_EQ(ReplyErrorOf([&] { DeleteMessages({records[2], records[1], records[0]}); }), " locked\r\n");
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_TRUE(records[2]->Deleted);
    EXPECT_FALSE(records[1]->Deleted);
    EXPECT_TRUE(records[0]->Deleted);
    EXPECT_EQ(records[1]->Number, 1) << "the message left is number 1 now";
    EXPECT_FALSE(records[1]->Session->IsConnected());
}

// As one at a time: the messages before the first that changed are deleted, no other.
TEST_F(SessionTest, APipelinedDeletionStopsAtTheFirstChangedMessage)
{
    ScriptedServer server;
    Check(server, {First, Second, Third});
    server.AcceptsNext();
    Login(server).Expects("CAPA").Says("+OK").Says("PIPELINING").Says(".");
    for (const char* command : {"TOP 3 0", "LIST 3", "TOP 2 0", "LIST 2", "TOP 1 0", "LIST 1"})
        server.Expects(command);
    server.Says("+OK").Sends(OnTheWire(HeaderOf(Third))).Says("+OK 3 " + std::to_string(Third.size()));
    server.Says("+OK").Sends(OnTheWire(HeaderOf(Second))).Says("+OK 2 1");
    server.Says("+OK").Sends(OnTheWire(HeaderOf(First))).Says("+OK 1 " + std::to_string(First.size()));
    server.Expects("DELE 3").Says("+OK marked").Expects("QUIT").Says("+OK bye");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto records = HeaderRecords();
    EXPECT_THROW(DeleteMessages({records[2], records[1], records[0]}), EMailboxChanged);
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_TRUE(records[2]->Deleted);
    EXPECT_FALSE(records[1]->Deleted);
    EXPECT_FALSE(records[0]->Deleted);
}

TEST_F(SessionTest, ADownloadOpensANewConnectionAndTheNextOneReusesIt)
{
    ScriptedServer server;
    Check(server, {First, Second});
    server.AcceptsNext();
    Login(server);
    Headers(server, 1, First);
    Retrieve(server, 1, First);
    Headers(server, 2, Second);
    Retrieve(server, 2, Second);
    server.Expects("QUIT");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto first = HeaderRecords()[0];
    const auto second = HeaderRecords()[1];
    first->Download();
    EXPECT_TRUE(first->Downloaded);
    EXPECT_EQ(first->Msg->Body(), (std::vector<std::string>{"body one"}));
    EXPECT_EQ(first->SizeText(), std::to_string(First.size()));
    second->Download();
    EXPECT_EQ(second->Msg->Body(), (std::vector<std::string>{"body two"}));
    EXPECT_EQ(FindHeader("<2@x>"), second);
    CloseOpenSessions();
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(server.Connections(), 2);
}

TEST_F(SessionTest, RefusedRetrievalsAndDeletionsRaiseTheServersTextAndChangeNothing)
{
    ScriptedServer server;
    Check(server, {First});
    server.AcceptsNext();
    Login(server);
    Headers(server, 1, First).Expects(DownloadCommand(1, First)).Says("-ERR message is locked");
    server.Expects("CAPA").Says("-ERR unknown command").Expects("DELE 1").Says("-ERR locked");
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto record = HeaderRecords()[0];
    EXPECT_EQ(ReplyErrorOf([&] { record->Download(); }), " message is locked\r\n");
    EXPECT_FALSE(record->Downloaded);
    EXPECT_EQ(record->GetText(), HeaderOf(First).substr(0, HeaderOf(First).size() - 2));
    EXPECT_EQ(record->SizeText(), std::to_string(First.size()));
    EXPECT_EQ(ReplyErrorOf([&] { record->DeleteOnServer(); }), " locked\r\n");
    EXPECT_FALSE(record->Deleted);
}

TEST_F(SessionTest, AChangedMailboxRefusesTheDeletionAndSendsNothingDestructive)
{
    const std::string replacement = "Subject: someone else's\r\nMessage-Id: <1@x>\r\n\r\nx\r\n";
    ScriptedServer server;
    Check(server, {First, Second});
    server.AcceptsNext();
    LoginWithoutPipelining(server);
    // Another client deleted message 1 meanwhile: number 1 is now the second message.
    Headers(server, 1, Second).Expects("QUIT").Says("+OK").AcceptsNext();
    LoginWithoutPipelining(server);
    // Same header, other size.
    server.Expects("TOP 2 0").Says("+OK").Sends(OnTheWire(HeaderOf(Second))).Expects("LIST 2").Says("+OK 2 1");
    server.Expects("QUIT").Says("+OK").AcceptsNext();
    Login(server);
    // Another message under the number, with the same Message-Id.
    Headers(server, 1, replacement);
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto first = HeaderRecords()[0];
    const auto second = HeaderRecords()[1];
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto& record = attempt == 0 ? first : second;
        try {
            record->DeleteOnServer();
            FAIL() << "deleted message " << record->Number;
        } catch (const EMailboxChanged& error) {
            EXPECT_NE(error.Message.find("Zkontrolujte zprávy znovu"), std::string::npos);
        }
        EXPECT_FALSE(record->Deleted);
    }
    EXPECT_THROW(first->Download(), EMailboxChanged);
    EXPECT_FALSE(first->Downloaded);
    for (const std::string& command : Commands(server)) {
        EXPECT_NE(command.substr(0, 4), "DELE");
        EXPECT_NE(command.substr(0, 4), "RETR");
    }
}

TEST_F(SessionTest, AMessageGoneFromTheServerIsAChangedMailbox)
{
    ScriptedServer server;
    Check(server, {First});
    server.AcceptsNext();
    LoginWithoutPipelining(server).Expects("TOP 1 0").Says("-ERR no such message");
    CheckMailbox(CreateSession(Account(server.Start())));
    EXPECT_THROW(HeaderRecords()[0]->DeleteOnServer(), EMailboxChanged);
}

// A download leaves its connection open; the server ends it for inactivity. The next
// operation notices that before it sends anything and logs in again, unbothered.
TEST_F(SessionTest, AConnectionTheServerEndedIsReplacedWithoutAnError)
{
    ScriptedServer server;
    Check(server, {First, Second});
    server.AcceptsNext();
    Login(server);
    Headers(server, 1, First);
    Retrieve(server, 1, First).Says("-ERR Disconnected for inactivity.").AcceptsNext();
    Login(server);
    Deletes(server, {{2, Second}});
    CheckMailbox(CreateSession(Account(server.Start())));
    HeaderRecords()[0]->Download();
    // The server's goodbye arrives while the connection lies idle.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(HeaderRecords()[1]->DeleteOnServer());
    EXPECT_EQ(server.Finish(), std::vector<std::string>{});
    EXPECT_EQ(server.Connections(), 3);
}

TEST_F(SessionTest, RowsWithoutOrWithTheSameIdKeepTheirOwnRecords)
{
    const std::string a = "Subject: a\r\n\r\nA\r\n";
    const std::string b = "Subject: b\r\n\r\nB\r\n";
    const std::string c = "Subject: c\r\nMessage-Id: <same@x>\r\n\r\nC\r\n";
    const std::string d = "Subject: d\r\nMessage-Id: <same@x>\r\n\r\nD\r\n";
    ScriptedServer server;
    Check(server, {a, b, c, d});
    server.AcceptsNext();
    Login(server);
    Deletes(server, {{2, b}}).AcceptsNext();
    Login(server);
    Headers(server, 3, d);
    Retrieve(server, 3, d);
    CheckMailbox(CreateSession(Account(server.Start())));
    // A row keeps a weak reference to its own record.
    const std::weak_ptr<TMessageHeader> rowB = HeaderRecords()[1];
    const std::weak_ptr<TMessageHeader> rowD = HeaderRecords()[3];
    EXPECT_TRUE(rowB.lock()->DeleteOnServer());
    rowD.lock()->Download();
    EXPECT_EQ(rowD.lock()->Msg->Body(), (std::vector<std::string>{"D"}));
    EXPECT_EQ(FindHeader(""), HeaderRecords()[0]);
    EXPECT_EQ(FindHeader("<same@x>"), HeaderRecords()[2]);
    EXPECT_EQ(FindHeader("<SAME@x>"), nullptr);
    EXPECT_EQ(FindHeader("<nothing@x>"), nullptr);
}

TEST_F(SessionTest, NoSecondServerOperationStartsWhileOneRuns)
{
    std::string big = "Subject: big\r\n\r\n";
    for (int line = 0; line < 5000; ++line)
        big += std::string(70, 'x') + "\r\n";
    ScriptedServer server;
    Check(server, {big});
    server.AcceptsNext();
    Login(server);
    Headers(server, 1, big);
    Retrieve(server, 1, big);
    CheckMailbox(CreateSession(Account(server.Start())));
    const auto record = HeaderRecords()[0];
    std::vector<std::string> refusals;
    auto tryAgain = [&](const std::function<void()>& operation) {
        try {
            operation();
        } catch (const ESessionBusy& busy) {
            refusals.push_back(busy.Message);
        }
    };
    // The window lets events run while the body arrives; the user clicks meanwhile.
    SetWorkListener([&](int32_t) {
        tryAgain([&] { CheckMailbox(CreateSession(Account(server.Port()))); });
        tryAgain([&] { record->DeleteOnServer(); });
        tryAgain([&] { record->Download(); });
        tryAgain([&] { CloseOpenSessions(); });
    });
    record->Download();
    SetWorkListener({});
    EXPECT_TRUE(record->Downloaded);
    ASSERT_GE(refusals.size(), 4u);
    EXPECT_EQ(HeaderRecords().size(), 1u);
    for (const std::string& command : Commands(server))
        EXPECT_NE(command, "DELE 1");
}

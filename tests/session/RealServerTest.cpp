// The session against the private Dovecot: what a real server makes of the dialogues.
#include "PrivatePop3Server.h"
#include "SampleMessages.h"
#include "SessionDialogue.h"
#include "TemporaryDirectory.h"

#include "RecordingUserInterface.h"

#include <sys/wait.h>
#include <unistd.h>

namespace {

TPOP3Rec AccountOf(const PrivatePop3Server& server)
{
    TPOP3Rec account = Dialogue::Account(server.Port());
    account.User = server.User();
    account.Password = server.Password();
    return account;
}

std::vector<std::string> IdsOnServer(const PrivatePop3Server& server)
{
    CheckMailbox(CreateSession(AccountOf(server)));
    std::vector<std::string> ids;
    for (const auto& record : HeaderRecords())
        ids.push_back(record->IdText().empty() ? record->SubjectText() : record->IdText());
    return ids;
}

class RealServerTest : public SessionTest {
protected:
    void SetUp() override { Server.AddMessages({Sample::Plain, Sample::Multipart, Sample::PdfOnly}); }

    PrivatePop3Server Server;
};

} // namespace

TEST(RealServerCheck, TwoThousandMessagesComeInOrderThroughThePipeline)
{
    PrivatePop3Server server;
    std::vector<std::string> messages;
    for (int i = 1; i <= 2000; ++i)
        messages.push_back("Subject: number " + std::to_string(i) + "\r\nMessage-Id: <" + std::to_string(i) +
                           "@x>\r\n\r\n" + std::string(i % 97, 'b') + "\r\n");
    server.AddMessages(messages);
    const auto session = CreateSession(AccountOf(server));
    ASSERT_EQ(CheckMailbox(session), 2000);
    EXPECT_TRUE(session->Pipelining());
    EXPECT_FALSE(session->IsConnected());
    ASSERT_EQ(HeaderRecords().size(), 2000u);
    for (int i = 1; i <= 2000; ++i) {
        const TMessageHeader& record = *HeaderRecords()[i - 1];
        ASSERT_EQ(record.Number, i);
        ASSERT_EQ(record.SubjectText(), "number " + std::to_string(i));
        ASSERT_EQ(record.SizeText(), std::to_string(messages[i - 1].size()));
    }
    CloseOpenSessions();
}

TEST_F(RealServerTest, CheckDeleteCheck)
{
    const auto session = CreateSession(AccountOf(Server));
    ASSERT_EQ(CheckMailbox(session), 3);
    EXPECT_EQ(HeaderRecords()[0]->SizeText(), std::to_string(Sample::Plain.size()));
    EXPECT_EQ(HeaderRecords()[0]->FromText(), "jiri@example.cz");
    EXPECT_EQ(HeaderRecords()[1]->GetText(), Sample::MultipartHeader);
    EXPECT_TRUE(HeaderRecords()[1]->DeleteOnServer());
    EXPECT_EQ(IdsOnServer(Server), (std::vector<std::string>{"<plain@example.org>", "Faktura"}));
}

TEST_F(RealServerTest, ADownloadedAttachmentIsSavedAsSent)
{
    CheckMailbox(CreateSession(AccountOf(Server)));
    const auto record = HeaderRecords()[1];
    record->Download();
    EXPECT_NE(record->GetText().find("\r\nhttp://localhost/a.txt/ID=1 A.TXT (text/plain)\r\n"), std::string::npos);
    TTemporaryDirectory directory;
    TRecordingUserInterface dialog;
    dialog.Answer = directory.File("a.txt");
    record->SaveAttachment("http://localhost/a.txt/ID=1");
    EXPECT_EQ(ReadBytes(directory.File("a.txt")), Sample::MultipartAttachment);
}

TEST_F(RealServerTest, AMailboxChangedByAnotherClientIsLeftAlone)
{
    CheckMailbox(CreateSession(AccountOf(Server)));
    const auto first = HeaderRecords()[0];
    const auto third = HeaderRecords()[2];

    // Another client deletes the first message; the numbers move up by one.
    TIdPOP3 other;
    other.Host = "127.0.0.1";
    other.Port = Server.Port();
    other.Username = Server.User();
    other.Password = Server.Password();
    other.OpenConnection();
    other.DeleteMessage(1);
    other.CloseConnection();

    EXPECT_THROW(first->DeleteOnServer(), EMailboxChanged);
    EXPECT_THROW(third->DeleteOnServer(), EMailboxChanged);
    EXPECT_THROW(third->Download(), EMailboxChanged);
    EXPECT_EQ(IdsOnServer(Server), (std::vector<std::string>{"<multi@example.org>", "Faktura"}));
}

TEST_F(RealServerTest, DeletionsPendingWhenTheProgramEndsAreCarriedOut)
{
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        CheckMailbox(CreateSession(AccountOf(Server)));
        HeaderRecords()[0]->DeleteOnServer();
        HeaderRecords()[2]->DeleteOnServer();
        std::exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(IdsOnServer(Server), std::vector<std::string>{"<multi@example.org>"});
}

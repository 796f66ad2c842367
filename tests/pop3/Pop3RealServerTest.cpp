// TIdPOP3 against a real POP3 server: a private Dovecot on 127.0.0.1.
#include "IdException.h"
#include "IdHashMessageDigest.h"
#include "IdMessage.h"
#include "IdPOP3.h"
#include "Pop3TestMessages.h"
#include "PrivatePop3Server.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

const int SmallMessages = 3;
const std::string AttachmentName = "report.bin";

void Configure(TIdPOP3& client, const PrivatePop3Server& server)
{
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Username = server.User();
    client.Password = server.Password();
}

std::unique_ptr<PrivatePop3Server> StartWithSmallMessages()
{
    auto server = std::make_unique<PrivatePop3Server>();
    std::vector<std::string> messages;
    for (int i = 1; i <= SmallMessages; ++i)
        messages.push_back(SmallMessage(i));
    server->AddMessages(messages);
    return server;
}

// One server for the tests that leave the mailbox as it was: three small messages and a
// multipart message with an attachment.
class Pop3RealServer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Server = StartWithSmallMessages();
        Server->AddMessage(MultipartMessage(BinaryAttachmentBytes(40000), AttachmentName));
    }
    static void TearDownTestSuite() { Server.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(Server) << "the private POP3 server did not start";
        Configure(Client, *Server);
    }

    static std::unique_ptr<PrivatePop3Server> Server;
    TIdPOP3 Client;
};

std::unique_ptr<PrivatePop3Server> Pop3RealServer::Server;

TEST_F(Pop3RealServer, ChecksTheMailboxLikeTheSessionDoes)
{
    Client.OpenConnection(-1);
    ASSERT_EQ(Client.CountMessages(), SmallMessages + 1);
    for (int i = 1; i <= SmallMessages; ++i) {
        TIdMessage message;
        EXPECT_TRUE(Client.FetchHeader(i, message));
        EXPECT_EQ(message.Subject, "Message number " + std::to_string(i));
        EXPECT_EQ(message.From.Address, "sender" + std::to_string(i) + "@example.org");
        EXPECT_EQ(message.MessageId, "<" + std::to_string(i) + ".test@example.org>");
        EXPECT_EQ(message.RawHeaders.Count(), 6) << "the blank line and the body stay out";
        // The messages are stored with CR LF, so the reported size is their length.
        EXPECT_EQ(Client.FetchSize(i), int32_t(SmallMessage(i).size()));
    }
    Client.CloseConnection();
    EXPECT_FALSE(Client.IsConnected());
}

TEST_F(Pop3RealServer, RefusedPasswordCarriesTheServerTextAndLeavesTheClientReusable)
{
    Client.Password = "wrong";
    try {
        Client.OpenConnection(-1);
        FAIL() << "a wrong password must be refused";
    } catch (const EIdProtocolReplyError& refusal) {
        EXPECT_EQ(refusal.ReplyCode, TIdPOP3::ReplyErr);
        EXPECT_EQ(refusal.Message, " [AUTH] Authentication failed.\r\n");
    }
    EXPECT_FALSE(Client.IsConnected());

    Client.Password = Server->Password();
    Client.OpenConnection(-1);
    EXPECT_EQ(Client.CountMessages(), SmallMessages + 1);
    Client.CloseConnection();
}

TEST_F(Pop3RealServer, HeaderReadReportsTheBytesOfTheBlock)
{
    std::vector<int32_t> counts;
    Client.OnWork = [&](TIdComponent*, TWorkMode mode, int32_t count) {
        EXPECT_EQ(mode, wmRead);
        counts.push_back(count);
    };
    Client.OpenConnection(-1);
    TIdMessage message;
    Client.FetchHeader(2, message);
    Client.CloseConnection();

    std::string expected = SmallMessage(2);
    size_t headerAndBlankLine = expected.find("\r\n\r\n") + 4;
    ASSERT_EQ(counts.size(), 8u) << "six header lines, the blank line and the dot";
    EXPECT_EQ(counts.back(), int32_t(headerAndBlankLine + 3));
}

TEST_F(Pop3RealServer, RetrDecodesTextAndAttachment)
{
    Client.OpenConnection(-1);
    TIdMessage message;
    ASSERT_TRUE(Client.FetchMessage(SmallMessages + 1, message));
    Client.CloseConnection();

    EXPECT_EQ(message.Subject, "Report with an attachment");
    ASSERT_EQ(message.Parts().Count(), 2);
    auto* text = dynamic_cast<TIdText*>(&message.Parts()[0]);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->Lines, (std::vector<std::string>(std::begin(MultipartTextLines), std::end(MultipartTextLines))));
    auto* attachment = dynamic_cast<TIdAttachment*>(&message.Parts()[1]);
    ASSERT_NE(attachment, nullptr);
    EXPECT_EQ(attachment->AttachmentName, AttachmentName);
    EXPECT_EQ(TIdHashMessageDigest5::HashValueAsHex(attachment->Data()),
              TIdHashMessageDigest5::HashValueAsHex(BinaryAttachmentBytes(40000)));
}

TEST_F(Pop3RealServer, RetrOfAMissingMessageReturnsFalse)
{
    Client.OpenConnection(-1);
    TIdMessage message;
    EXPECT_FALSE(Client.FetchMessage(99, message));
    EXPECT_TRUE(message.RawHeaders.Lines().empty());
    EXPECT_EQ(Client.CountMessages(), SmallMessages + 1) << "the connection goes on";
    Client.CloseConnection();
}

// Deleting changes the mailbox, so each of these has a server of its own.

TEST(Pop3RealServerDeletion, DeleteThenQuitRemovesTheMessage)
{
    auto server = StartWithSmallMessages();
    TIdPOP3 client;
    Configure(client, *server);
    client.OpenConnection(-1);
    EXPECT_TRUE(client.DeleteMessage(1));
    client.CloseConnection();

    client.OpenConnection(-1);
    EXPECT_EQ(client.CountMessages(), SmallMessages - 1);
    TIdMessage first;
    client.FetchHeader(1, first);
    EXPECT_EQ(first.Subject, "Message number 2");
    client.CloseConnection();
}

TEST(Pop3RealServerDeletion, DeleteWithoutQuitKeepsTheMessage)
{
    auto server = StartWithSmallMessages();
    {
        TIdPOP3 client;
        Configure(client, *server);
        client.OpenConnection(-1);
        EXPECT_TRUE(client.DeleteMessage(1));
        client.DropSocket(); // gone without QUIT
    }
    TIdPOP3 client;
    Configure(client, *server);
    client.OpenConnection(-1);
    EXPECT_EQ(client.CountMessages(), SmallMessages);
    TIdMessage first;
    client.FetchHeader(1, first);
    EXPECT_EQ(first.Subject, "Message number 1");
    client.CloseConnection();
}

} // namespace

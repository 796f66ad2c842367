// The session against the private Dovecot: what a real server makes of the dialogues.
#include "PrivatePop3Server.h"
#include "SampleMessages.h"
#include "SessionDialogue.h"
#include "TemporaryDirectory.h"

#include "RecordingUserInterface.h"

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
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

// Stands between the client and the server and ends a connection, on both sides, once it
// has carried nothing for idleTime: the server's own idle time-out, made short.
class IdleDroppingProxy {
public:
    IdleDroppingProxy(int serverPort, std::chrono::milliseconds idleTime) : FServerPort(serverPort), FIdle(idleTime)
    {
        FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address = Loopback(0);
        ::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(FListener, 4);
        socklen_t length = sizeof address;
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length);
        Port = ntohs(address.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~IdleDroppingProxy()
    {
        FStop = true;
        FThread.join();
        ::close(FListener);
    }

    int Port = 0;
    std::atomic<int> Drops{0};

private:
    static sockaddr_in Loopback(int port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(port));
        return address;
    }

    void Run()
    {
        while (!FStop) {
            pollfd waiting{FListener, POLLIN, 0};
            if (::poll(&waiting, 1, 50) != 1)
                continue;
            const int client = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in address = Loopback(FServerPort);
            if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
                Relay(client, server);
            ::close(server);
            ::close(client);
        }
    }

    void Relay(int client, int server)
    {
        auto lastTraffic = std::chrono::steady_clock::now();
        while (!FStop) {
            pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
            ::poll(ends, 2, 50);
            for (int i = 0; i < 2; ++i) {
                if (!(ends[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buffer[65536];
                const ssize_t got = ::recv(ends[i].fd, buffer, sizeof buffer, 0);
                if (got <= 0 || ::send(ends[1 - i].fd, buffer, static_cast<size_t>(got), MSG_NOSIGNAL) != got)
                    return;
                lastTraffic = std::chrono::steady_clock::now();
            }
            if (std::chrono::steady_clock::now() - lastTraffic > FIdle) {
                ++Drops;
                return;
            }
        }
    }

    int FServerPort;
    std::chrono::milliseconds FIdle;
    int FListener = -1;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

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
    EXPECT_NE(record->GetText().find("\r\nhttp://localhost/a.txt/ID=1 a.txt (text/plain)\r\n"), std::string::npos);
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
    // The server's unique IDs are what tells the messages apart.
    for (const auto& record : HeaderRecords())
        EXPECT_TRUE(record->ConfirmsByUniqueId());

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

TEST_F(RealServerTest, DeletionsAreDoneBeforeTheProgramEnds)
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

// With the server's idle time-out a second long: a download's connection lies idle and
// is dropped, deletions come before and after that, and every deleted message stays
// deleted, because each deletion ended its own connection with QUIT.
TEST_F(RealServerTest, DeletedMessagesStayDeletedWhenTheServerDropsIdleConnections)
{
    IdleDroppingProxy proxy(Server.Port(), std::chrono::milliseconds(1000));
    TPOP3Rec account = AccountOf(Server);
    account.Port = proxy.Port;
    CheckMailbox(CreateSession(account));
    const auto records = HeaderRecords();
    EXPECT_TRUE(records[1]->DeleteOnServer());
    // A download leaves its connection open, and the server drops it.
    records[0]->Download();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(proxy.Drops, 1);
    EXPECT_TRUE(records[2]->DeleteOnServer());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(IdsOnServer(Server), std::vector<std::string>{"<plain@example.org>"});
}

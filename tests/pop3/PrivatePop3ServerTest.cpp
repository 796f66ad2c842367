// The private Dovecot server, spoken to over a bare socket so that it is known to work
// before any client of ours talks to it.
#include "PrivatePop3Server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class RawPop3Dialogue {
public:
    explicit RawPop3Dialogue(int port)
    {
        FSocket = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        FConnected = connect(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawPop3Dialogue() { close(FSocket); }

    bool Connected() const { return FConnected; }

    // One line without its CR LF; empty when the server closed.
    std::string ReadLine()
    {
        std::string line;
        char byte;
        while (recv(FSocket, &byte, 1, 0) == 1) {
            if (byte == '\n')
                break;
            line += byte;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        return line;
    }

    std::string Command(const std::string& command)
    {
        std::string line = command + "\r\n";
        send(FSocket, line.data(), line.size(), MSG_NOSIGNAL);
        return ReadLine();
    }

    // The lines of a multi-line answer, up to the terminating ".".
    std::string ReadUpToDot()
    {
        std::string text;
        for (int lines = 0; lines < 100; ++lines) {
            std::string line = ReadLine();
            if (line == ".")
                break;
            text += line + "\n";
        }
        return text;
    }

private:
    int FSocket;
    bool FConnected;
};

const std::string FirstMessage = "From: anna@example.org\r\nSubject: first\r\n\r\nHello.\r\n";
const std::string SecondMessage = "From: bert@example.org\nSubject: second\n\nLF only.\n";

class PrivatePop3ServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Server = std::make_unique<PrivatePop3Server>();
        Server->AddMessages({FirstMessage, SecondMessage});
    }
    static void TearDownTestSuite() { Server.reset(); }

    static std::unique_ptr<PrivatePop3Server> Server;
};

std::unique_ptr<PrivatePop3Server> PrivatePop3ServerTest::Server;

TEST_F(PrivatePop3ServerTest, GreetsLogsInCountsAndSaysGoodbye)
{
    RawPop3Dialogue dialogue(Server->Port());
    ASSERT_TRUE(dialogue.Connected());
    EXPECT_EQ(dialogue.ReadLine().substr(0, 3), "+OK");
    EXPECT_EQ(dialogue.Command("USER " + Server->User()).substr(0, 3), "+OK");
    EXPECT_EQ(dialogue.Command("PASS " + Server->Password()).substr(0, 3), "+OK");
    // Sizes count every line end as CR LF, whatever was stored.
    EXPECT_EQ(dialogue.Command("STAT"), "+OK 2 " + std::to_string(FirstMessage.size() + SecondMessage.size() + 4));
    EXPECT_EQ(dialogue.Command("QUIT").substr(0, 3), "+OK");
}

TEST_F(PrivatePop3ServerTest, RefusesAWrongPassword)
{
    RawPop3Dialogue dialogue(Server->Port());
    ASSERT_TRUE(dialogue.Connected());
    dialogue.ReadLine();
    dialogue.Command("USER " + Server->User());
    EXPECT_EQ(dialogue.Command("PASS wrong").substr(0, 4), "-ERR");
}

TEST_F(PrivatePop3ServerTest, LogsInRightAfterARefusal)
{
    {
        RawPop3Dialogue refused(Server->Port());
        refused.ReadLine();
        refused.Command("USER " + Server->User());
        refused.Command("PASS wrong");
    }
    RawPop3Dialogue dialogue(Server->Port());
    dialogue.ReadLine();
    dialogue.Command("USER " + Server->User());
    EXPECT_EQ(dialogue.Command("PASS " + Server->Password()).substr(0, 3), "+OK");
}

TEST_F(PrivatePop3ServerTest, NumbersMessagesInTheOrderAdded)
{
    RawPop3Dialogue dialogue(Server->Port());
    dialogue.ReadLine();
    dialogue.Command("USER " + Server->User());
    dialogue.Command("PASS " + Server->Password());
    ASSERT_EQ(dialogue.Command("TOP 1 0").substr(0, 3), "+OK");
    EXPECT_EQ(dialogue.ReadUpToDot(), "From: anna@example.org\nSubject: first\n\n");
    ASSERT_EQ(dialogue.Command("TOP 2 0").substr(0, 3), "+OK");
    EXPECT_EQ(dialogue.ReadUpToDot(), "From: bert@example.org\nSubject: second\n\n");
}

TEST(PrivatePop3Server, SaysWhyItCannotStart)
{
    setenv("KORMORAN_DOVECOT", "/nonexistent/dovecot", 1);
    std::string failure;
    try {
        PrivatePop3Server server;
    } catch (const std::runtime_error& error) {
        failure = error.what();
    }
    unsetenv("KORMORAN_DOVECOT");
    EXPECT_NE(failure.find("dovecot is not installed"), std::string::npos) << failure;
}

// A normal user's PATH on Debian has no /usr/sbin, where dovecot is.
TEST(PrivatePop3Server, StartsWithoutSbinOnThePath)
{
    std::string path = getenv("PATH");
    setenv("PATH", "/usr/bin:/bin", 1);
    std::string failure;
    try {
        PrivatePop3Server server;
    } catch (const std::runtime_error& error) {
        failure = error.what();
    }
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(failure, "");
}

TEST(PrivatePop3Server, IsGoneWhenTheObjectIs)
{
    int port;
    {
        PrivatePop3Server server;
        port = server.Port();
        RawPop3Dialogue dialogue(port);
        ASSERT_TRUE(dialogue.Connected());
    }
    RawPop3Dialogue dialogue(port);
    EXPECT_FALSE(dialogue.Connected());
}

} // namespace

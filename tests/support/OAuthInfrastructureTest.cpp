// The OAuth2 helpers as a C++ test drives them: the private POP3 server in oauth2 mode and
// the tests' authorization server behind HTTPS with the POP3 server's certificate; the test
// plays the browser and the client, and logs in over a bare socket.
#include "LoopbackHttp.h"
#include "OAuthTestServer.h"
#include "PrivatePop3Server.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <memory>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

std::string Base64(const std::string& bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                 reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
    out.resize(size_t(length));
    return out;
}

std::string Base64Url(const std::string& bytes)
{
    std::string text = Base64(bytes);
    for (char& c : text)
        c = c == '+' ? '-' : c == '/' ? '_' : c;
    return text.substr(0, text.find('='));
}

std::string Sha256(const std::string& text)
{
    unsigned char digest[32];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    return std::string(reinterpret_cast<char*>(digest), length);
}

std::string RandomVerifier()
{
    unsigned char bytes[32];
    RAND_bytes(bytes, sizeof bytes);
    return Base64Url(std::string(reinterpret_cast<char*>(bytes), sizeof bytes));
}

// The value of a parameter in a URL's query (the server's values need no decoding).
std::string QueryValue(const std::string& url, const std::string& name)
{
    size_t start = url.find('?');
    while (start != std::string::npos) {
        ++start;
        size_t end = url.find('&', start);
        std::string pair = url.substr(start, end - start);
        if (pair.starts_with(name + "="))
            return pair.substr(name.size() + 1);
        start = end;
    }
    return "";
}

// The value of a string member of the server's JSON answers.
std::string JsonString(const std::string& json, const std::string& name)
{
    size_t key = json.find("\"" + name + "\": \"");
    if (key == std::string::npos)
        return "";
    size_t start = key + name.size() + 5;
    return json.substr(start, json.find('"', start) - start);
}

const std::string RedirectUri = "http://127.0.0.1:40999/";

// One POP3 login with AUTH XOAUTH2: the server's last line.
std::string LoginWithXoauth2(int port, const std::string& user, const std::string& token)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(uint16_t(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval timeout{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return "no connection";
    }
    auto readLine = [fd] {
        std::string line;
        char byte;
        while (recv(fd, &byte, 1, 0) == 1 && byte != '\n')
            line += byte;
        return line.substr(0, line.find('\r'));
    };
    auto command = [&](const std::string& line) {
        std::string bytes = line + "\r\n";
        send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        return readLine();
    };
    readLine();
    std::string answer = command("AUTH XOAUTH2 " + Base64("user=" + user + "\1auth=Bearer " + token + "\1\1"));
    if (answer.starts_with("+ "))
        answer = command("");
    close(fd);
    return answer;
}

class OAuthInfrastructureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        PrivatePop3Options pop3;
        pop3.Tls = PrivatePop3Tls::Valid;
        pop3.OAuth2 = true;
        Pop3 = std::make_unique<PrivatePop3Server>(pop3);
        OAuthTestServerOptions auth;
        auth.KeyFile = Pop3->OAuth2KeyFile();
        auth.TlsCertificate = Pop3->CertificateFile();
        auth.TlsKey = Pop3->CertificateKeyFile();
        Auth = std::make_unique<OAuthTestServer>(auth);
    }
    static void TearDownTestSuite()
    {
        Auth.reset();
        Pop3.reset();
    }
    void SetUp() override { Auth->Reset(); }

    // Plays the client and the browser through the authorization code flow: the token
    // endpoint's answer.
    static LoopbackHttpAnswer FirstLogin()
    {
        std::string verifier = RandomVerifier();
        std::string url = Auth->AuthorizationUrl() + "?" +
                          FormEncode({{"response_type", "code"},
                                      {"client_id", Auth->ClientId()},
                                      {"redirect_uri", RedirectUri},
                                      {"code_challenge", Base64Url(Sha256(verifier))},
                                      {"code_challenge_method", "S256"},
                                      {"state", "s1"}});
        std::string location = Auth->Authorize(url);
        EXPECT_TRUE(location.starts_with(RedirectUri + "?")) << location;
        EXPECT_EQ(QueryValue(location, "state"), "s1");
        return LoopbackHttpRequest("POST", Auth->TokenUrl(),
                                   FormEncode({{"grant_type", "authorization_code"},
                                               {"code", QueryValue(location, "code")},
                                               {"redirect_uri", RedirectUri},
                                               {"client_id", Auth->ClientId()},
                                               {"code_verifier", verifier}}));
    }

    static std::unique_ptr<PrivatePop3Server> Pop3;
    static std::unique_ptr<OAuthTestServer> Auth;
};

std::unique_ptr<PrivatePop3Server> OAuthInfrastructureTest::Pop3;
std::unique_ptr<OAuthTestServer> OAuthInfrastructureTest::Auth;

TEST_F(OAuthInfrastructureTest, TokenFromTheCodeFlowOpensTheMailboxAndAnotherUserIsRefused)
{
    LoopbackHttpAnswer tokens = FirstLogin();
    ASSERT_EQ(tokens.Status, 200) << tokens.Body;
    std::string access = JsonString(tokens.Body, "access_token");
    EXPECT_EQ(LoginWithXoauth2(Pop3->Port(), Pop3->User(), access), "+OK Logged in.");
    EXPECT_TRUE(LoginWithXoauth2(Pop3->Port(), "somebody", access).starts_with("-ERR"));
    EXPECT_EQ(Auth->Count("authorize"), 1);
    EXPECT_EQ(Auth->Count("token"), 1);
}

TEST_F(OAuthInfrastructureTest, SwitchesReachTheServer)
{
    Auth->Set("lifetime", "-10");
    std::string expired = JsonString(FirstLogin().Body, "access_token");
    EXPECT_TRUE(LoginWithXoauth2(Pop3->Port(), Pop3->User(), expired).starts_with("-ERR"));

    Auth->Set("token", "html");
    LoopbackHttpAnswer html =
        LoopbackHttpRequest("POST", Auth->TokenUrl(), FormEncode({{"grant_type", "refresh_token"}}));
    EXPECT_TRUE(html.Header("content-type").starts_with("text/html"));

    Auth->RevokeRefreshTokens();
    EXPECT_THROW(Auth->Set("token", "no-such-mode"), std::runtime_error);
}

TEST_F(OAuthInfrastructureTest, RequestsCanComeFromAnotherLoopbackAddress)
{
    LoopbackHttpRequest("POST", Auth->TokenUrl(), "grant_type=refresh_token", 10000, "127.0.0.2");
    EXPECT_NE(Auth->Stats().find("\"client\": \"127.0.0.2\""), std::string::npos) << Auth->Stats();
}

} // namespace

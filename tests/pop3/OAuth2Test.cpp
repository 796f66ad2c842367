// OAuth2 log-ins. On the wire: XOAUTH2 and OAUTHBEARER against the scripted server, with
// the refusals servers send. End to end: the private Dovecot taking locally signed access
// tokens, the tests' authorization server over HTTPS, the keyring on a private D-Bus
// session, and the test playing the browser by following the authorization URL.
#include "AccountFile.h"
#include "IdException.h"
#include "IdPOP3.h"
#include "IdSASLOAuth2.h"
#include "Keyring.h"
#include "LoopbackHttp.h"
#include "MessageOf.h"
#include "OAuth2SignIn.h"
#include "OAuthTestServer.h"
#include "PrivatePop3Server.h"
#include "RunCli.h"
#include "ScriptedServer.h"
#include "TemporaryDirectory.h"
#include "udm.h"

#include "FileContents.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <thread>

namespace {

using Lines = std::vector<std::string>;
const Lines NoFailures;

// The scripted server speaks no TLS; these mechanisms may go without it.
class PlainXOAuth2 : public TIdSASLXOAuth2 {
public:
    using TIdSASLXOAuth2::TIdSASLXOAuth2;
    bool NeedsEncryption() const override { return false; }
};
class PlainOAuthBearer : public TIdSASLOAuthBearer {
public:
    using TIdSASLOAuthBearer::TIdSASLOAuthBearer;
    bool NeedsEncryption() const override { return false; }
};

const std::string XOAuth2Payload = EncodeSaslBase64("user=joe@example.org\x01" "auth=Bearer tok\x01\x01");
const std::string BearerPayload = EncodeSaslBase64("n,a=joe@example.org,\x01" "auth=Bearer tok\x01\x01");
const std::string RefusalChallenge = "+ " + EncodeSaslBase64(R"({"status":"401","schemes":"bearer","scope":"mail"})");

ScriptedServer& Capabilities(ScriptedServer& server, const std::string& sasl)
{
    return server.Says("+OK ready").Expects("CAPA").Says("+OK").Says("USER").Says(sasl).Says(".");
}

TEST(OAuth2OnTheWire, TokensGoAsTheMechanismAndTheServerWantThem)
{
    struct Case {
        const char* name;
        std::string sasl;
        bool twoStep;
        Lines dialogue; // what the client sends, then the server's lines, alternating
        std::string failure;
    };
    const std::vector<Case> cases = {
        {"XOAUTH2 in one step", "SASL XOAUTH2 OAUTHBEARER", false, {"AUTH XOAUTH2 " + XOAuth2Payload, "+OK"}, ""},
        {"XOAUTH2 in two steps", "SASL XOAUTH2", true, {"AUTH XOAUTH2", "+ ", XOAuth2Payload, "+OK"}, ""},
        {"XOAUTH2 refused", "SASL XOAUTH2", true,
         {"AUTH XOAUTH2", "+ ", XOAuth2Payload, RefusalChallenge, "", "-ERR [AUTH] Authentication failed."},
         " [AUTH] Authentication failed.\r\nServer k tomu uvedl: schemes bearer, scope mail, status 401\r\n"},
        {"only OAUTHBEARER listed", "SASL PLAIN OAUTHBEARER", false, {"AUTH OAUTHBEARER " + BearerPayload, "+OK"}, ""},
        {"OAUTHBEARER refused", "SASL OAUTHBEARER", false,
         {"AUTH OAUTHBEARER " + BearerPayload, RefusalChallenge, "AQ==", "-ERR [AUTH] Authentication failed."},
         " [AUTH] Authentication failed.\r\nServer k tomu uvedl: schemes bearer, scope mail, status 401\r\n"},
        {"neither listed: nothing is sent", "SASL PLAIN", false, {},
         "Server 127.0.0.1 nenabízí přihlášení XOAUTH2 ani OAUTHBEARER."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server;
        Capabilities(server, c.sasl).TakesTurns(ScriptedServer::Turn::Client, c.dialogue).Expects("QUIT");
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.Username = "joe@example.org";
        client.SASLMechanisms = {std::make_shared<PlainXOAuth2>("joe@example.org", "tok", c.twoStep),
                                 std::make_shared<PlainOAuthBearer>("joe@example.org", "tok")};
        client.Port = server.Start();
        EXPECT_EQ(MessageOf<EIdException>([&] { client.OpenConnection(-1); }), c.failure);
        EXPECT_EQ(client.AuthRefused, c.failure.starts_with(" [AUTH]"));
        client.CloseConnection();
        EXPECT_EQ(server.Finish(), NoFailures);
    }
}

TEST(OAuth2OnTheWire, ATokenNeverGoesOverAPlainConnection)
{
    ScriptedServer server;
    Capabilities(server, "SASL XOAUTH2").Expects("QUIT");
    TIdPOP3 client;
    client.Host = "127.0.0.1";
    client.SASLMechanisms = {std::make_shared<TIdSASLXOAuth2>("joe", "tok")};
    client.Port = server.Start();
    EXPECT_EQ(MessageOf<EIdException>([&] { client.OpenConnection(-1); }),
              "Přístupový údaj smí jít jen šifrovaným spojením; zvolte zabezpečení SSL/TLS nebo STARTTLS. "
              "Nic nebylo odesláno.");
    EXPECT_EQ(server.Finish(), NoFailures);
}

// ---- End to end

class OAuth2EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Pop3 = new PrivatePop3Server(PrivatePop3Options{.Tls = PrivatePop3Tls::Valid, .OAuth2 = true});
        Pop3->AddMessage("Subject: one\r\n\r\nbody\r\n");
        Auth = new OAuthTestServer({.KeyFile = Pop3->OAuth2KeyFile(),
                                    .User = Pop3->User(),
                                    .TlsCertificate = Pop3->CertificateFile(),
                                    .TlsKey = Pop3->CertificateKeyFile()});
    }
    static void TearDownTestSuite()
    {
        delete Auth;
        delete Pop3;
    }

    OAuth2EndToEnd()
    {
        ::setenv("SSL_CERT_FILE", Pop3->CaFile().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
        ::setenv("XDG_STATE_HOME", Config.Path().c_str(), 1);
        SetAppFileDirectory(Config.Path());
        Auth->Reset();
        Account.Address = "joe@example.org";
        Account.Host = "127.0.0.1";
        Account.User = Pop3->User();
        Account.Port = Pop3->TlsPort();
        Account.Security = csImplicitTls;
        Account.Login = lmOAuth2;
        UseMechanisms("OAUTHBEARER XOAUTH2");
        SignOut(Account);
    }
    ~OAuth2EndToEnd() override
    {
        EndSessions();
        SetOAuth2HttpTimeouts(15000, 30000);
        SetAppFileDirectory("");
    }

    void UseMechanisms(const std::string& mechanisms)
    {
        WriteUserOAuth2Client("127.0.0.1", {Auth->ClientId(), "", Auth->AuthorizationUrl(), Auth->TokenUrl(),
                                            Auth->DeviceUrl(), "mail", mechanisms});
    }

    // Signs in, the browser played on a thread of its own as the real one runs apart.
    void SignIn()
    {
        std::thread browser;
        std::string browserFailure;
        TSignInCallbacks callbacks;
        callbacks.OpenUrl = [&](const std::string& url) {
            browser = std::thread([url, &browserFailure] {
                try {
                    LoopbackHttpRequest("GET", Auth->Authorize(url));
                } catch (const std::exception& failure) {
                    browserFailure = failure.what();
                }
            });
        };
        try {
            SignInWithBrowser(Account, callbacks);
        } catch (...) {
            if (browser.joinable())
                browser.join();
            throw;
        }
        browser.join();
        EXPECT_EQ(browserFailure, "");
    }

    int32_t Check()
    {
        const auto session = CreateSession(Account);
        session->TakePasswordFromKeyring();
        return CheckMailbox(session);
    }

    std::optional<std::string> StoredRefreshToken() const
    {
        return ReadKeyringRefreshToken({Account.Address, Account.Host, Account.User});
    }

    static PrivatePop3Server* Pop3;
    static OAuthTestServer* Auth;
    TTemporaryDirectory Config;
    TPOP3Rec Account;
};

PrivatePop3Server* OAuth2EndToEnd::Pop3 = nullptr;
OAuthTestServer* OAuth2EndToEnd::Auth = nullptr;

const std::string SignInAgain = "Přihlášení k účtu joe@example.org vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu.";

TEST_F(OAuth2EndToEnd, FirstSignInThenChecksWithTheKeptTokenCostNoRequestToTheProvider)
{
    EXPECT_EQ(MessageOf<EOAuth2SignInNeeded>([&] { Check(); }),
              "Účet joe@example.org se přihlašuje u poskytovatele (OAuth2) a zatím přihlášen nebyl. Přihlaste se k účtu.");
    SignIn();
    EXPECT_TRUE(SignedIn(Account));
    EXPECT_EQ(Auth->Count("token"), 1);
    EXPECT_EQ(LinesFromRecord(Account).Host, "pop3s+oauth2://127.0.0.1");
    EXPECT_EQ(LinesFromRecord(Account).Password, "") << "the account file holds no token";

    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Auth->Count("token"), 1) << "a valid access token is used as it is";
    ForgetAccessTokens();
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Auth->Count("token"), 2) << "one refresh, one HTTPS request";
}

TEST_F(OAuth2EndToEnd, ATokenAboutToExpireIsRefreshedAndARefusedOneOnceMoreNeverInALoop)
{
    UseMechanisms("XOAUTH2 OAUTHBEARER");
    Auth->Set("lifetime", "2");
    SignIn();
    EXPECT_EQ(Check(), 1) << "two seconds left is too little to start a check with";
    EXPECT_EQ(Auth->Count("token"), 2);

    // Tokens born expired: the server refuses a fresh one, and a kept one and its successor.
    Auth->Set("lifetime", "-60");
    ForgetAccessTokens();
    const std::string refused = " [AUTH] Authentication failed.\r\nServer k tomu uvedl: schemes bearer, scope mail, status 401\r\n";
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Check(); }), refused);
    EXPECT_EQ(Auth->Count("token"), 3) << "a fresh token refused is not refreshed again";
    EXPECT_EQ(MessageOf<EIdProtocolReplyError>([&] { Check(); }), refused);
    EXPECT_EQ(Auth->Count("token"), 4) << "the kept token refused, one refresh, and no more";

    Auth->Set("lifetime", "3600");
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Auth->Count("token"), 5);
}

TEST_F(OAuth2EndToEnd, ARevokedRefreshTokenAsksOnceToSignInAgainAndThenNeverTheProvider)
{
    Auth->Set("rotate", "1");
    SignIn();
    const auto first = StoredRefreshToken();
    ForgetAccessTokens();
    EXPECT_EQ(Check(), 1);
    EXPECT_NE(StoredRefreshToken(), first) << "a rotated refresh token goes back to the keyring";

    Auth->RevokeRefreshTokens();
    ForgetAccessTokens();
    EXPECT_EQ(MessageOf<EOAuth2SignInNeeded>([&] { Check(); }), SignInAgain);
    const int requests = Auth->Count("token");
    EXPECT_EQ(MessageOf<EOAuth2SignInNeeded>([&] { Check(); }), SignInAgain);
    EXPECT_EQ(Auth->Count("token"), requests);

    SignIn();
    EXPECT_EQ(Check(), 1);
}

TEST_F(OAuth2EndToEnd, BadRedirectsAndBadTokenAnswersEndInAClearErrorAndStoreNothing)
{
    SetOAuth2HttpTimeouts(5000, 1500);
    struct Case {
        const char* name;
        const char* value;
        std::string expected; // a piece of the message
    };
    const Case cases[] = {
        {"authorize", "wrong-state", "nesouhlasí parametr state"},
        {"authorize", "no-state", "nesouhlasí parametr state"},
        {"authorize", "error", "Přihlášení bylo v prohlížeči odmítnuto; nic nebylo uloženo."},
        {"authorize", "no-code", "Prohlížeč se vrátil bez ověřovacího kódu"},
        {"token", "garbage", "neodpověděl tokenem"},
        {"token", "html", "neodpověděl tokenem (HTTP 200, text/html)"},
        {"token", "server-error", "odmítl požadavek (server_error: the test asked for a failure); nic nebylo uloženo."},
        {"token", "hang", "Poskytovatel přihlášení není dostupný: Server 127.0.0.1 neodpověděl do 1 s."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "=" + c.value);
        Auth->Reset();
        Auth->Set(c.name, c.value);
        const std::string message = MessageOf<EOAuth2Error>([&] { SignIn(); });
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        EXPECT_FALSE(SignedIn(Account));
        if (std::string(c.name) == "authorize")
            EXPECT_EQ(Auth->Count("token"), 0);
    }
    Auth->Reset();
    Auth->Set("token", "no-expires-in");
    SignIn();
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Check(), 1);
    EXPECT_EQ(Auth->Count("token"), 1) << "a token without expires_in is kept for a while";
}

TEST_F(OAuth2EndToEnd, ASignInWaitingForTheBrowserEndsWhenCancelled)
{
    TSignInCallbacks callbacks;
    std::thread canceller;
    callbacks.OpenUrl = [&](const std::string&) {
        canceller = std::thread([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            CancelServerOperation();
        });
    };
    EXPECT_EQ(MessageOf<EOperationCancelled>([&] { SignInWithBrowser(Account, callbacks); }), "Operace byla přerušena.");
    canceller.join();
    int polls = 0;
    callbacks.OpenUrl = {};
    callbacks.Cancelled = [&] { return ++polls == 5; };
    EXPECT_EQ(MessageOf<EOperationCancelled>([&] { SignInWithBrowser(Account, callbacks); }), "Operace byla přerušena.");
    EXPECT_FALSE(SignedIn(Account));
    EXPECT_FALSE(ServerOperationRunning());
}

TEST_F(OAuth2EndToEnd, TheTerminalSignsInThroughTheBrowserItNamesTheAddressFor)
{
    const std::string path = Config.File("accounts.dat");
    SaveAccountFile(path, {LinesFromRecord(Account)});
    std::thread browser;
    std::string browserFailure;
    const TCliResult login = RunCli({"--accounts", path, "login", "1"}, "", [&](const std::string& out) {
        const size_t lineEnd = out.find('\n');
        if (lineEnd == std::string::npos || browser.joinable())
            return;
        browser = std::thread([url = out.substr(0, lineEnd), &browserFailure] {
            try {
                LoopbackHttpRequest("GET", Auth->Authorize(url));
            } catch (const std::exception& failure) {
                browserFailure = failure.what();
            }
        });
    });
    if (browser.joinable())
        browser.join();
    ASSERT_EQ(login.Status, 0) << login.Err;
    EXPECT_EQ(browserFailure, "");
    EXPECT_NE(login.Err.find("Otevřete v prohlížeči tuto adresu"), std::string::npos) << login.Err;
    EXPECT_TRUE(StoredRefreshToken());
}

TEST_F(OAuth2EndToEnd, TheTerminalSignsInWithADeviceCodeAndChecksWithATokenFromAnotherProgram)
{
    const std::string path = Config.File("accounts.dat");
    SaveAccountFile(path, {LinesFromRecord(Account)});
    Auth->Set("device", "approve");
    const TCliResult login = RunCli({"--accounts", path, "login", "1", "--device"});
    ASSERT_EQ(login.Status, 0) << login.Err;
    EXPECT_NE(login.Out.find("zadejte kód"), std::string::npos) << login.Out;
    EXPECT_TRUE(StoredRefreshToken());
    const TCliResult checked = RunCli({"--accounts", path, "check", "1"});
    EXPECT_EQ(checked.Status, 0) << checked.Err;

    SignOut(Account);
    const TOAuth2Client client = OAuth2ClientFor(Account.Host);
    const std::string token = PollDeviceCode(client, RequestDeviceCode(client), {}).AccessToken;
    const TCliResult given = RunCli({"--accounts", path, "--token-command", "echo ' " + token + " '", "check", "1"});
    EXPECT_EQ(given.Status, 3) << given.Err << " (checked, nothing new)";
    const TCliResult noToken = RunCli({"--accounts", path, "--token-command", "echo not-a-token", "check", "1"});
    EXPECT_EQ(noToken.Status, 1);
    EXPECT_NE(noToken.Err.find("[AUTH] Authentication failed."), std::string::npos) << noToken.Err;
    EXPECT_EQ(RunCli({"--accounts", path, "--token-command", "false", "check", "1"}).Err,
              "Příkaz pro přístupový token selhal: false\n");
}

} // namespace

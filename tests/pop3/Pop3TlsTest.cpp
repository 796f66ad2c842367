// TIdPOP3 over TLS against the private Dovecot: TLS from the first byte and STLS, the
// certificate checks, and the mix-ups of a plain client and a TLS port.
#include "IdException.h"
#include "IdIOHandlerTls.h"
#include "IdMessage.h"
#include "IdPOP3.h"
#include "Pop3TestMessages.h"
#include "PrivatePop3Server.h"
#include "ScriptedServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// Sets an environment variable for the life of the object.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : FName(name)
    {
        if (const char* old = std::getenv(name))
            FOld = old;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment()
    {
        if (FOld)
            setenv(FName, FOld->c_str(), 1);
        else
            unsetenv(FName);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

// The TLS transport, recording what the client sent before encryption.
class RecordingTls : public TIdIOHandlerTls {
public:
    int SendFrom(const char* buffer, int length) override
    {
        const int sent = TIdIOHandlerTls::SendFrom(buffer, length);
        if (sent > 0)
            Sent.append(buffer, size_t(sent));
        return sent;
    }
    std::string Sent;
};

std::unique_ptr<PrivatePop3Server> StartServer(PrivatePop3Tls tls, int messages)
{
    auto server = std::make_unique<PrivatePop3Server>(tls);
    std::vector<std::string> bytes;
    for (int i = 1; i <= messages; ++i)
        bytes.push_back(SmallMessage(i));
    server->AddMessages(bytes);
    return server;
}

void Configure(TIdPOP3& client, const PrivatePop3Server& server, TIdConnectionSecurity security,
               const std::string& host = "127.0.0.1")
{
    client.Host = host;
    client.Security = security;
    client.Port = security == csImplicitTls ? server.TlsPort() : server.Port();
    client.Username = server.User();
    client.Password = server.Password();
}

class Pop3Tls : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        Server = StartServer(PrivatePop3Tls::Valid, 3);
        Expired = std::make_unique<PrivatePop3Server>(PrivatePop3Tls::Expired);
        Plain = std::make_unique<PrivatePop3Server>();
    }
    static void TearDownTestSuite()
    {
        Server.reset();
        Expired.reset();
        Plain.reset();
    }
    void SetUp() override { ASSERT_TRUE(Server && Expired && Plain) << "the private POP3 servers did not start"; }

    static std::unique_ptr<PrivatePop3Server> Server;
    static std::unique_ptr<PrivatePop3Server> Expired;
    static std::unique_ptr<PrivatePop3Server> Plain;
};

std::unique_ptr<PrivatePop3Server> Pop3Tls::Server;
std::unique_ptr<PrivatePop3Server> Pop3Tls::Expired;
std::unique_ptr<PrivatePop3Server> Pop3Tls::Plain;

// The work counts of one whole message, read over the given security.
std::vector<int32_t> WorkCountsOfRetr(const PrivatePop3Server& server, TIdConnectionSecurity security)
{
    TIdPOP3 client;
    Configure(client, server, security);
    std::vector<int32_t> counts;
    client.OnWork = [&](TIdComponent*, TWorkMode, int32_t count) { counts.push_back(count); };
    client.OpenConnection(-1);
    TIdMessage message;
    client.FetchMessage(1, message);
    client.CloseConnection();
    return counts;
}

TEST_F(Pop3Tls, ChecksAndDownloadsEncrypted)
{
    ScopedEnvironment trust("SSL_CERT_FILE", Server->CaFile());
    const std::vector<int32_t> plainCounts = WorkCountsOfRetr(*Server, csNone);
    ASSERT_FALSE(plainCounts.empty());
    EXPECT_EQ(WorkCountsOfRetr(*Server, csImplicitTls), plainCounts) << "work events as in plain text";

    struct Case {
        TIdConnectionSecurity security;
        const char* host;
    };
    std::vector<Case> cases = {{csImplicitTls, "127.0.0.1"}, {csStartTls, "127.0.0.1"}};
    if (PrivatePop3Server::HasIPv6Loopback())
        cases.insert(cases.end(), {{csImplicitTls, "::1"}, {csStartTls, "[::1]"}});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.host) + (c.security == csImplicitTls ? " implicit TLS" : " STLS"));
        TIdPOP3 client;
        Configure(client, *Server, c.security, c.host);
        client.OpenConnection(-1);
        EXPECT_TRUE(client.Encrypted());
        EXPECT_FALSE(client.PasswordSentUnencrypted);
        EXPECT_TRUE(client.LastTls.Version == "TLS 1.3" || client.LastTls.Version == "TLS 1.2")
            << client.LastTls.Version;
        EXPECT_FALSE(client.LastTls.Cipher.empty());
        EXPECT_EQ(client.LastTls.PeerSubject, "CN=Kormoran test server");
        ASSERT_EQ(client.CountMessages(), 3);
        TIdMessage header;
        client.FetchHeader(2, header);
        EXPECT_EQ(header.Subject, "Message number 2");
        EXPECT_EQ(client.FetchSize(2), int32_t(SmallMessage(2).size()));
        TIdMessage whole;
        ASSERT_TRUE(client.FetchMessage(3, whole));
        EXPECT_EQ(whole.MessageId, "<3.test@example.org>");
        EXPECT_FALSE(whole.Body().empty());
        client.CloseConnection();
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(Pop3Tls, LogsInWithoutSendingThePasswordWhereTheServerOffersAWay)
{
    ScopedEnvironment trust("SSL_CERT_FILE", Server->CaFile());
    struct Case {
        TIdConnectionSecurity security;
        const char* password;
        const char* method;
        bool accepted;
    };
    for (const Case& c : {Case{csImplicitTls, nullptr, "AUTH PLAIN", true}, Case{csStartTls, nullptr, "AUTH PLAIN", true},
                          Case{csNone, nullptr, "APOP", true}, Case{csImplicitTls, "wrong", "AUTH PLAIN", false},
                          Case{csNone, "wrong", "APOP", false}}) {
        SCOPED_TRACE(std::string(c.method) + (c.accepted ? "" : " refused"));
        RecordingTls transport;
        TIdPOP3 client;
        client.SetIOHandler(&transport);
        Configure(client, *Server, c.security);
        if (c.password)
            client.Password = c.password;
        if (c.accepted) {
            client.OpenConnection(-1);
            EXPECT_EQ(client.CountMessages(), 3);
            client.CloseConnection();
        } else {
            EXPECT_THROW(client.OpenConnection(-1), EIdProtocolReplyError);
        }
        EXPECT_EQ(client.LoginMethodUsed, c.method);
        EXPECT_FALSE(client.PasswordSentUnencrypted);
        EXPECT_EQ(transport.Sent.find("PASS"), std::string::npos);
        if (c.security == csNone)
            EXPECT_EQ(transport.Sent.find(client.Password), std::string::npos) << transport.Sent;
    }
}

// Trust on first use: refused, trusted, accepted; then another certificate is refused
// loudly. A certificate with a wrong name or date is never offered, not even behind an
// authority nobody knows.
TEST_F(Pop3Tls, ACertificateTrustedByItsFingerprintIsTheOnlyOneAccepted)
{
    TIdPOP3 client;
    Configure(client, *Server, csImplicitTls);
    TIdCertificateFacts shown;
    try {
        client.OpenConnection(-1);
        FAIL() << "a certificate of an unknown authority was accepted";
    } catch (const EIdTlsError& refusal) {
        EXPECT_EQ(refusal.Failure, tfUntrusted);
        EXPECT_TRUE(refusal.Trustable);
        shown = refusal.Certificate;
    }
    EXPECT_EQ(shown.Subject, "CN=Kormoran test server");
    EXPECT_EQ(shown.Issuer, "CN=Kormoran test authority");
    EXPECT_EQ(shown.Fingerprint.size(), 95U) << shown.Fingerprint;
    EXPECT_FALSE(shown.NotAfter.empty());

    client.PinnedFingerprint = shown.Fingerprint;
    client.OpenConnection(-1);
    EXPECT_EQ(client.CountMessages(), 3);
    client.CloseConnection();

    auto replaced = std::make_unique<PrivatePop3Server>(PrivatePop3Tls::Valid);
    for (TIdConnectionSecurity security : {csImplicitTls, csStartTls}) {
        TIdPOP3 other;
        Configure(other, *replaced, security);
        other.PinnedFingerprint = shown.Fingerprint;
        try {
            other.OpenConnection(-1);
            FAIL() << "a changed certificate was accepted";
        } catch (const EIdTlsError& refusal) {
            EXPECT_EQ(refusal.Failure, tfPinChanged);
            EXPECT_FALSE(refusal.Trustable);
            EXPECT_NE(refusal.Message.find(shown.Fingerprint), std::string::npos) << refusal.Message;
            EXPECT_NE(refusal.Message.find(refusal.Certificate.Fingerprint), std::string::npos);
            EXPECT_NE(refusal.Certificate.Fingerprint, shown.Fingerprint);
        }
    }

    struct Case {
        const PrivatePop3Server* server;
        const char* host;
        TIdTlsFailure failure;
    };
    for (const Case& c : {Case{Server.get(), "localhost", tfNameMismatch}, Case{Expired.get(), "127.0.0.1", tfExpired}}) {
        TIdPOP3 refused;
        Configure(refused, *c.server, csImplicitTls, c.host);
        try {
            refused.OpenConnection(-1);
            FAIL() << c.host;
        } catch (const EIdTlsError& refusal) {
            EXPECT_EQ(refusal.Failure, c.failure) << refusal.Message;
            EXPECT_FALSE(refusal.Trustable);
        }
    }
}

TEST_F(Pop3Tls, ReadTimeOutHoldsInsideTls)
{
    ScopedEnvironment trust("SSL_CERT_FILE", Server->CaFile());
    TIdPOP3 client;
    Configure(client, *Server, csImplicitTls);
    client.OpenConnection(-1);
    client.ReadTimeout = 300;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(client.ReadLine(), EIdReadTimeout) << "the server says nothing unasked";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(client.CountMessages(), 3) << "the session still works";
    client.CloseConnection();
}

TEST(Pop3TlsDeletion, DeletionOverTlsIsCarriedOutAtQuit)
{
    auto server = StartServer(PrivatePop3Tls::Valid, 2);
    ScopedEnvironment trust("SSL_CERT_FILE", server->CaFile());
    TIdPOP3 deleting;
    Configure(deleting, *server, csImplicitTls);
    deleting.OpenConnection(-1);
    EXPECT_TRUE(deleting.DeleteMessage(1));
    deleting.CloseConnection();

    TIdPOP3 checking;
    Configure(checking, *server, csStartTls);
    checking.OpenConnection(-1);
    ASSERT_EQ(checking.CountMessages(), 1);
    TIdMessage header;
    checking.FetchHeader(1, header);
    EXPECT_EQ(header.Subject, "Message number 2");
    checking.CloseConnection();
}

TEST_F(Pop3Tls, RefusedCertificatesEndTheConnectionBeforeTheLogIn)
{
    struct Case {
        const char* name;
        PrivatePop3Server* server;
        bool trusted;
        const char* host;
        TIdConnectionSecurity security;
        TIdTlsFailure failure;
        const char* words;
    };
    const Case cases[] = {
        {"unknown authority", Server.get(), false, "127.0.0.1", csImplicitTls, tfUntrusted, "není důvěryhodný"},
        {"unknown authority, STLS", Server.get(), false, "127.0.0.1", csStartTls, tfUntrusted, "není důvěryhodný"},
        {"wrong name", Server.get(), true, "localhost", csImplicitTls, tfNameMismatch, "nepatří k adrese localhost"},
        {"expired", Expired.get(), true, "127.0.0.1", csImplicitTls, tfExpired, "vypršela platnost (01.02.2020"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvironment trust("SSL_CERT_FILE", c.trusted ? c.server->CaFile() : "/dev/null");
        ScopedEnvironment noDirectory("SSL_CERT_DIR", "/nonexistent");
        RecordingTls transport;
        TIdPOP3 client;
        client.SetIOHandler(&transport);
        Configure(client, *c.server, c.security, c.host);
        try {
            client.OpenConnection(-1);
            FAIL() << "the certificate must be refused";
        } catch (const EIdTlsError& refusal) {
            EXPECT_EQ(refusal.Failure, c.failure) << refusal.Message;
            const std::string& message = refusal.Message;
            EXPECT_NE(message.find(c.words), std::string::npos) << message;
            EXPECT_NE(message.find("SHA-256: "), std::string::npos) << message;
            EXPECT_NE(message.find("Subjekt: CN=Kormoran test server"), std::string::npos) << message;
            EXPECT_NE(message.find("Vydavatel: CN=Kormoran test authority"), std::string::npos) << message;
        }
        EXPECT_EQ(transport.Sent, c.security == csStartTls ? "STLS\r\n" : "") << "no USER, PASS or QUIT";
        EXPECT_FALSE(client.IsConnected());
    }
}

TEST_F(Pop3Tls, StlsRefusedByTheServerSendsNoUserName)
{
    RecordingTls transport;
    TIdPOP3 client;
    client.SetIOHandler(&transport);
    Configure(client, *Plain, csStartTls);
    try {
        client.OpenConnection(-1);
        FAIL() << "a server without STLS must be refused";
    } catch (const EIdTlsError& refusal) {
        EXPECT_EQ(refusal.Failure, tfNoStartTls);
        EXPECT_NE(refusal.Message.find("nenabízí šifrování STARTTLS"), std::string::npos)
            << refusal.Message;
    }
    EXPECT_EQ(transport.Sent, "STLS\r\n");
    EXPECT_FALSE(client.IsConnected());
}

TEST_F(Pop3Tls, PlainAndTlsMixedUpEndInAnErrorWithinSeconds)
{
    ScopedEnvironment trust("SSL_CERT_FILE", Server->CaFile());
    struct Case {
        const char* name;
        TIdConnectionSecurity security;
        bool toTlsPort;
        const char* words;
    };
    const Case cases[] = {
        {"plain client, TLS port", csNone, true, "neposlal uvítání"},
        {"TLS client, plain port", csImplicitTls, false, "nešifruje"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TIdPOP3 client;
        Configure(client, *Server, c.security);
        client.Port = c.toTlsPort ? Server->TlsPort() : Server->Port();
        client.GreetingTimeout = 1000;
        const auto start = std::chrono::steady_clock::now();
        try {
            client.OpenConnection(-1);
            FAIL() << "the mix-up must end in an error";
        } catch (const EIdException& failure) {
            EXPECT_NE(failure.Message.find(c.words), std::string::npos) << failure.Message;
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(client.IsConnected());
        EXPECT_FALSE(client.PasswordSentUnencrypted);
    }
}

// After "+OK" to STLS the switch fails: whoever refused it, the user hears that the
// credentials stayed here, never that encryption could be switched off.
TEST(Pop3StartTls, AFailedSwitchSaysWhoMayHaveRefusedAndThatNothingWasSent)
{
    struct Case {
        const char* Name;
        std::function<void(ScriptedServer&)> AfterStls;
        std::string Reason;
    };
    const std::vector<Case> cases = {
        {"plain text instead of TLS", [](ScriptedServer& s) { s.Stalls(std::chrono::milliseconds(200)).Says("-ERR no TLS"); },
         "wrong version number"},
        {"the server closes", [](ScriptedServer& s) { s.Closes(); },
         "server spojení během navazování šifrování uzavřel"},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.Name);
        ScriptedServer server;
        server.Says("+OK ready").Expects("STLS").Says("+OK begin TLS");
        test.AfterStls(server);
        TIdPOP3 client;
        client.Host = "127.0.0.1";
        client.Port = server.Start();
        client.Security = csStartTls;
        client.Username = "joe";
        client.Password = "secret";
        client.ReadTimeout = 2000;
        try {
            client.OpenConnection(-1);
            ADD_FAILURE() << "the switch must fail";
        } catch (const EIdTlsError& failure) {
            EXPECT_EQ(failure.Message, "Šifrování STARTTLS se serverem 127.0.0.1 se nepodařilo navázat: " + test.Reason +
                                           ". Šifrování odmítl server nebo něco mezi ním a vámi. Jméno ani heslo nebylo "
                                           "odesláno.");
        }
        EXPECT_FALSE(client.IsConnected());
        server.Finish();
        // STLS, then at most the start of the handshake: no user name, no password.
        EXPECT_EQ(server.Received().front(), "STLS");
        EXPECT_EQ(server.ReceivedBytes().find("USER"), std::string::npos);
        EXPECT_EQ(server.ReceivedBytes().find("secret"), std::string::npos);
    }
}

} // namespace

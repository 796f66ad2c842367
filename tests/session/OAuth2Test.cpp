// The pieces of an OAuth2 sign-in that need no server: PKCE, the authorization URL, what
// the browser brings back, what a token endpoint answers, and where client IDs live.
#include "OAuth2.h"
#include "MessageOf.h"
#include "OAuth2Providers.h"
#include "TemporaryDirectory.h"
#include "udm.h"

#include "FileContents.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sys/stat.h>

namespace {

TEST(OAuth2Pkce, ChallengeIsTheBase64UrlSha256OfTheVerifier)
{
    // RFC 7636, appendix B.
    EXPECT_EQ(PkceChallenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"), "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        const TPkce pkce = MakePkce();
        EXPECT_EQ(pkce.Verifier.size(), 43U);
        EXPECT_EQ(pkce.Verifier.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_"),
                  std::string::npos);
        EXPECT_EQ(pkce.Challenge, PkceChallenge(pkce.Verifier));
        const std::string state = RandomState();
        EXPECT_EQ(state.size(), 43U);
        seen.insert(pkce.Verifier);
        seen.insert(state);
    }
    EXPECT_EQ(seen.size(), 40U) << "every verifier and state is new";
}

TEST(OAuth2AuthorizationUrl, CarriesTheStandardParametersEncodedAndTheProvidersOwn)
{
    TOAuth2Client client;
    client.AuthorizationUrl = "https://accounts.example.org/o/auth?tenant=a b";
    client.ClientId = "id 1";
    client.Scope = "https://mail.example.org/ offline_access";
    client.ExtraAuthorizationParameters = "access_type=offline&prompt=consent";
    const TPkce pkce{"v", "challenge"};
    EXPECT_EQ(AuthorizationUrl(client, "http://127.0.0.1:5000/", pkce, "st", "joe+x@example.org"),
              "https://accounts.example.org/o/auth?tenant=a b&response_type=code&client_id=id%201"
              "&redirect_uri=http%3A%2F%2F127.0.0.1%3A5000%2F&scope=https%3A%2F%2Fmail.example.org%2F%20offline_access"
              "&state=st&code_challenge=challenge&code_challenge_method=S256&login_hint=joe%2Bx%40example.org"
              "&access_type=offline&prompt=consent");
}

TEST(OAuth2Redirect, GivesTheCodeOnlyForThisSignInsState)
{
    EXPECT_EQ(CodeFromRedirect("/?state=s1&code=a%2Fb+c", "s1"), "a/b c");
    const std::string foreign = "Odpověď v prohlížeči nepatří k tomuto přihlášení (nesouhlasí parametr state); "
                                "přihlášení bylo ukončeno a nic nebylo uloženo.";
    const std::string noCode = "Prohlížeč se vrátil bez ověřovacího kódu; přihlášení bylo ukončeno.";
    struct Case {
        const char* target;
        std::string message;
    };
    const Case cases[] = {
        {"/?code=abc&state=other", foreign},
        {"/?code=abc", foreign},
        {"/", foreign},
        {"/?error=access_denied&state=other", foreign},
        {"/?error=access_denied&state=s1", "Přihlášení bylo v prohlížeči odmítnuto; nic nebylo uloženo."},
        {"/?error=invalid_scope&error_description=Scope+%0Anot+allowed&state=s1",
         "Poskytovatel přihlášení ohlásil chybu: invalid_scope (Scope not allowed)."},
        {"/?state=s1", noCode},
        {"/?state=s1&code=", noCode},
        {"/?state=s1&code=a&code=b", noCode},
        {"/?state=s1&code=%G1", "Prohlížeč se vrátil s poškozenou adresou; přihlášení bylo ukončeno."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf<EOAuth2Error>([&] { CodeFromRedirect(c.target, "s1"); }), c.message) << c.target;
}

TEST(OAuth2TokenAnswer, OnlyABearerTokenIsTaken)
{
    const auto answer = [](int status, std::string body, std::string type = "application/json") {
        return TIdHTTPResponse{status, type, "", body};
    };
    const std::string endpoint = "https://login.example.org/token";
    const auto before = std::chrono::steady_clock::now();
    TOAuth2Tokens tokens = TokensFromAnswer(
        answer(200, R"({"access_token":"at","refresh_token":"rt","token_type":"bearer","expires_in":"3600"})"), endpoint,
        false, "");
    EXPECT_EQ(tokens.AccessToken, "at");
    EXPECT_EQ(tokens.RefreshToken, "rt");
    EXPECT_GE(tokens.Expires, before + std::chrono::seconds(3600));
    tokens = TokensFromAnswer(answer(200, R"({"access_token":"at"})"), endpoint, true, "");
    EXPECT_EQ(tokens.RefreshToken, "");
    EXPECT_LE(tokens.Expires, std::chrono::steady_clock::now() + UnknownLifetime) << "without expires_in";

    const std::string noToken = "Poskytovatel přihlášení login.example.org neodpověděl tokenem (HTTP 200, text/html); "
                                "nic nebylo uloženo.";
    const std::string unusable = "Poskytovatel přihlášení login.example.org poslal nepoužitelný token; nic nebylo uloženo.";
    struct Case {
        const char* name;
        TIdHTTPResponse answer;
        bool refreshing;
        std::string message;
    };
    const Case cases[] = {
        {"HTML", answer(200, "<html><body>Sign in</body></html>", "text/html"), false, noToken},
        {"garbage", answer(200, "\x01\x02{{", "text/html"), false, noToken},
        {"server error", answer(503, "Service Unavailable", "text/plain"), false,
         "Poskytovatel přihlášení login.example.org hlásí chybu HTTP 503; zkuste to později."},
        {"refused code", answer(400, R"({"error":"invalid_grant","error_description":"Code expired"})"), false,
         "Poskytovatel přihlášení login.example.org odmítl požadavek (invalid_grant: Code expired); nic nebylo uloženo."},
        {"revoked refresh token", answer(400, R"({"error":"invalid_grant"})"), true,
         "Přihlášení k účtu joe@example.org vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu."},
        {"no token", answer(200, R"({"token_type":"Bearer"})"), false, unusable},
        {"token with a line end", answer(200, R"({"access_token":"a\r\nQUIT"})"), false, unusable},
        {"another kind of token", answer(200, R"({"access_token":"at","token_type":"mac"})"), false, unusable},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf<EOAuth2Error>([&] { TokensFromAnswer(c.answer, endpoint, c.refreshing, "joe@example.org"); }),
                  c.message)
            << c.name;
}

// The user's file over the distribution's, in directories of the test's own.
class OAuth2ClientFiles : public ::testing::Test {
protected:
    OAuth2ClientFiles()
    {
        const char* previous = std::getenv("XDG_CONFIG_HOME");
        FPreviousConfig = previous ? previous : "";
        ::setenv("XDG_CONFIG_HOME", Config.Path().c_str(), 1);
        SetAppFileDirectory(Shared.Path());
    }
    ~OAuth2ClientFiles() override
    {
        SetAppFileDirectory("");
        if (FPreviousConfig.empty())
            ::unsetenv("XDG_CONFIG_HOME");
        else
            ::setenv("XDG_CONFIG_HOME", FPreviousConfig.c_str(), 1);
    }

    TTemporaryDirectory Config;
    TTemporaryDirectory Shared;

private:
    std::string FPreviousConfig;
};

TEST_F(OAuth2ClientFiles, ProvidersComeFromTheHostAndClientIdsFromTheFilesUserFirst)
{
    EXPECT_EQ(OAuth2ProviderOf("Outlook.Office365.com"), "microsoft");
    EXPECT_EQ(OAuth2ProviderOf("pop.gmail.com"), "google");
    EXPECT_EQ(OAuth2ProviderOf("pop3.seznam.cz"), "seznam");
    EXPECT_EQ(OAuth2ProviderOf("pop.example.org"), "custom");
    EXPECT_EQ(OAuth2ClientFor("outlook.office365.com").ClientId, "") << "none is built in";

    ReplaceFileContents(Shared.File("oauth-clients"),
                        "# shipped\n[microsoft]\nclient_id = shipped-ms\n[google]\nclient_id=shipped-g\n"
                        "client_secret = shipped-secret\n",
                        0644);
    WriteUserOAuth2Client("google", {"mine-g", "", "", "", "", ""});
    WriteUserOAuth2Client("POP.example.org", {"mine-c", "s", "https://id.example.org/auth", "https://id.example.org/token",
                                              "", "mail"});

    const TOAuth2Client microsoft = OAuth2ClientFor("outlook.office365.com");
    EXPECT_EQ(microsoft.ClientId, "shipped-ms");
    EXPECT_EQ(microsoft.Scope, "https://outlook.office.com/POP.AccessAsUser.All offline_access");
    EXPECT_FALSE(microsoft.DeviceUrl.empty());
    EXPECT_TRUE(microsoft.TwoStepXOAuth2);
    EXPECT_EQ(microsoft.Mechanisms, (std::vector<std::string>{"XOAUTH2", "OAUTHBEARER"}));

    const TOAuth2Client google = OAuth2ClientFor("pop.gmail.com");
    EXPECT_EQ(google.ClientId, "mine-g");
    EXPECT_EQ(google.ClientSecret, "shipped-secret") << "the user's entries win key by key";
    EXPECT_EQ(google.Scope, "https://mail.google.com/");
    EXPECT_EQ(google.DeviceUrl, "");

    const TOAuth2Client custom = OAuth2ClientFor("pop.example.org");
    EXPECT_EQ(custom.Provider, "custom");
    EXPECT_EQ(custom.Section, "pop.example.org");
    EXPECT_EQ(custom.TokenUrl, "https://id.example.org/token");
    EXPECT_EQ(custom.Scope, "mail");
    EXPECT_EQ(ReadUserOAuth2Client(OAuth2ClientSection("POP.EXAMPLE.ORG")).ClientSecret, "s");

    WriteUserOAuth2Client("google", {});
    EXPECT_EQ(OAuth2ClientFor("pop.gmail.com").ClientId, "shipped-g") << "an empty entry leaves the section out";
    EXPECT_EQ(OAuth2ClientFor("pop.example.org").ClientId, "mine-c") << "other sections stay";
    struct stat status {};
    ASSERT_EQ(::stat(UserOAuth2ClientsPath().c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0600U);
    EXPECT_THROW(WriteUserOAuth2Client("google", {"a\n[microsoft]", "", "", "", "", ""}), Exception);
    EXPECT_EQ(OAuth2ClientFor("outlook.office365.com").ClientId, "shipped-ms");

    const TOAuth2Client nobody = OAuth2ClientFor("pop.nobody.org");
    EXPECT_EQ(MessageOf<EOAuth2Error>([&] { RequireClientId(nobody); }),
              "Pro přihlášení u poskytovatele custom chybí identifikátor klienta (client ID). Zadejte ho v nastavení "
              "účtu (uloží se do " + Config.Path() + "/kormoran/oauth-clients, oddíl [pop.nobody.org], klíč client_id).");
}

} // namespace

// OAuth2 accounts in the window, against the tests' authorization server and the private
// POP3 server in its oauth2 mode, with a keyring of their own: the sign-in from the
// account editor with the test playing the browser, its cancel, and a check after the
// provider has revoked the sign-in.
#include "AppFixture.h"

#include "AccountFile.h"
#include "HeaderList.h"
#include "LoopbackHttp.h"
#include "OAuth2Page.h"
#include "OAuth2Providers.h"
#include "OAuth2SignIn.h"
#include "OAuthTestServer.h"
#include "PrivatePop3Server.h"
#include "QtText.h"
#include "fmEdit.h"
#include "fmMain.h"
#include "udm.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

namespace {

const std::string Message = "From: Jana <jana@firma.cz>\r\nTo: petr@demo.cz\r\nSubject: Porada\r\n"
                            "Date: Mon, 05 Jan 2026 08:12:44 +0100\r\nMessage-ID: <1@firma.cz>\r\n\r\nAhoj\r\n";
const std::string LapsedText = "Přihlášení k účtu petr@demo.cz vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu.";
constexpr int WaitMs = 20000;

class OAuth2WindowTest : public AppFixture {
protected:
    OAuth2WindowTest()
    {
        // A provider of the account's own: the tests' authorization server.
        WriteUserOAuth2Client("127.0.0.1", {Auth.ClientId(), "", Auth.AuthorizationUrl(), Auth.TokenUrl(), "", ""});
        // Tokens go only over an encrypted connection.
        setenv("SSL_CERT_FILE", Server.CaFile().c_str(), 1);
        WriteBytes(AccountsPath(), "petr@demo.cz\r\npop3s+oauth2://127.0.0.1\r\n" + Server.User() + "\r\n\r\n" +
                                       std::to_string(Server.TlsPort()) + "\r\n");
        Server.AddMessages({Message});
        Signed = RecordFromLines(ParseAccounts(ReadBytes(AccountsPath())).front());
        Window = std::make_unique<Tfmain>();
        Window->show();
        Window->poplist->setCurrentRow(0);
    }
    ~OAuth2WindowTest() override
    {
        Window.reset();
        CloseOpenSessions();
        // The keyring lives as long as the test program.
        SignOut(Signed);
        unsetenv("SSL_CERT_FILE");
    }

    // The browser: it follows the authorization URL the program opened, and the provider's
    // redirect back to the program's listener.
    void PlayTheBrowser(size_t url)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return Ui.Urls.size() > url; }, WaitMs));
        const LoopbackHttpAnswer answer = LoopbackHttpRequest("GET", Auth.Authorize(Ui.Urls[url]));
        EXPECT_EQ(answer.Status, 200) << answer.Body;
    }

    // "Přihlásit v prohlížeči" in the account editor; play is what the browser does
    // meanwhile. Returns the editor's word on how it went.
    std::string SignInFromTheEditor(const std::function<void(Tfedit&)>& play)
    {
        std::string state;
        Modal.Answer = [&](QDialog& dialog) {
            // The About box of the window's first activation may come first.
            auto* shown = dynamic_cast<Tfedit*>(&dialog);
            if (!shown)
                return;
            Tfedit& editor = *shown;
            EXPECT_FALSE(editor.OAuth2Page->bSignIn->isHidden());
            editor.OAuth2Page->bSignIn->click();
            EXPECT_TRUE(Window->ServerBusy());
            EXPECT_EQ(FromQt(Window->inflabel->text()), "Přihlášení v prohlížeči: petr@demo.cz");
            play(editor);
            EXPECT_TRUE(QTest::qWaitFor([&] { return !editor.OAuth2Page->SigningIn(); }, WaitMs));
            state = FromQt(editor.OAuth2Page->lSignInState->text());
            editor.reject();
        };
        Window->EditAccount();
        EXPECT_TRUE(Window->WaitForServer(WaitMs));
        return state;
    }

    void Check()
    {
        Window->CheckAccount();
        ASSERT_TRUE(Window->WaitForServer(WaitMs));
    }

    PrivatePop3Server Server{PrivatePop3Options{.Tls = PrivatePop3Tls::Valid, .OAuth2 = true}};
    OAuthTestServer Auth{{.KeyFile = Server.OAuth2KeyFile()}};
    std::unique_ptr<Tfmain> Window;
    // The account of the file, as the keyring knows it.
    TPOP3Rec Signed;
};

TEST_F(OAuth2WindowTest, SignInFromTheEditorServesTheChecksUntilTheAccountIsDeleted)
{
    const std::string state = SignInFromTheEditor([this](Tfedit&) { PlayTheBrowser(0); });
    EXPECT_EQ(state, "Účet je přihlášen.");
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
    ASSERT_EQ(Ui.Urls.size(), 1u);
    EXPECT_EQ(Ui.Urls[0].rfind(Auth.AuthorizationUrl() + "?", 0), 0u) << Ui.Urls[0];
    EXPECT_NE(Ui.Urls[0].find("code_challenge_method=S256"), std::string::npos);
    EXPECT_TRUE(SignedIn(Signed));

    // With no access token in memory the check takes one with the keyring's refresh token.
    ForgetAccessTokens();
    Check();
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
    ASSERT_EQ(Window->headlist->RowCount(), 1);
    EXPECT_EQ(Window->headlist->Row(0)->Data().SubjectText, "Porada");
    EXPECT_EQ(Ui.Urls.size(), 1u);

    Ui.Answers = {true};
    Window->DeleteAccount();
    EXPECT_FALSE(SignedIn(Signed));
}

TEST_F(OAuth2WindowTest, SignInCutShortFromTheEditorStoresNothing)
{
    const std::string state = SignInFromTheEditor([this](Tfedit& editor) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !Ui.Urls.empty(); }, WaitMs));
        // Where no browser comes up, the address is there to copy.
        EXPECT_EQ(FromQt(editor.OAuth2Page->eSignInUrl->text()), Ui.Urls[0]);
        EXPECT_FALSE(editor.OAuth2Page->eSignInUrl->isHidden());
        EXPECT_EQ(FromQt(editor.OAuth2Page->bSignIn->text()), "Přerušit přihlášení");
        editor.OAuth2Page->bSignIn->click();
    });
    EXPECT_EQ(state, "Přihlášení bylo přerušeno.");
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
    EXPECT_FALSE(SignedIn(Signed));
    EXPECT_EQ(Auth.Count("token"), 0);
}

TEST_F(OAuth2WindowTest, RevokedSignInIsOfferedOnceAndOnlyYesOpensTheBrowser)
{
    SignInFromTheEditor([this](Tfedit&) { PlayTheBrowser(0); });
    Auth.RevokeRefreshTokens();
    ForgetAccessTokens();

    Ui.Answers = {false};
    Check();
    ASSERT_EQ(Ui.Questions.size(), 1u);
    EXPECT_EQ(Ui.Questions[0], "Warning|" + LapsedText + "\n\nPřihlásit se k účtu teď v prohlížeči?");
    EXPECT_EQ(Ui.Urls.size(), 1u) << "no browser without the user's yes";
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
    EXPECT_EQ(Window->headlist->RowCount(), 0);

    Ui.Answers = {true};
    Window->CheckAccount();
    PlayTheBrowser(1);
    ASSERT_TRUE(Window->WaitForServer(WaitMs));
    EXPECT_EQ(Ui.Questions.size(), 2u);
    EXPECT_EQ(Ui.Errors, std::vector<std::string>{});
    EXPECT_EQ(Ui.Urls.size(), 2u);
    EXPECT_EQ(Window->headlist->RowCount(), 1) << "the check runs again after the sign-in";
}

} // namespace

#include "AppFixture.h"

#include "PortEdit.h"
#include "QtText.h"
#include "fmEdit.h"
#include "fmHelp.h"
#include "HelpFile.h"
#include "AccountFile.h"
#include "OAuth2Page.h"
#include "OAuth2Providers.h"
#include "SignInRunner.h"
#include "udm.h"

#include <QApplication>
#include <QLabel>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <filesystem>

namespace {

class AccountEditorTest : public AppFixture {
protected:
    Tfedit Editor{nullptr};

    // The focus leaves the address field.
    void LeaveAddress(const char* address)
    {
        Editor.eAddress->setText(address);
        QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(Editor.eAddress, &focusOut);
    }
    std::string User() const { return FromQt(Editor.eUser->text()); }
    std::string Host() const { return FromQt(Editor.eHost->text()); }
};

TEST_F(AccountEditorTest, LeavingTheAddressFillsEmptyUserAndServer)
{
    Editor.ePort->SetValue(110);
    LeaveAddress("jan.novak@mail.example.org");
    EXPECT_EQ(User(), "jan.novak");
    EXPECT_EQ(Host(), "mail.example.org");
    EXPECT_EQ(Editor.ePort->Value(), 110);
    EXPECT_EQ(FromQt(Editor.eAddress->text()), "jan.novak@mail.example.org");
}

TEST_F(AccountEditorTest, AddressWithoutLocalPartOrAtSignFillsNothing)
{
    LeaveAddress("@mail.example.org");
    LeaveAddress("nobody");
    EXPECT_EQ(User(), "");
    EXPECT_EQ(Host(), "");
}

TEST_F(AccountEditorTest, FirstAtSignSplitsTheAddress)
{
    LeaveAddress("a@b@c");
    EXPECT_EQ(User(), "a");
    EXPECT_EQ(Host(), "b@c");
}

TEST_F(AccountEditorTest, FieldsWithTextAreNeverOverwritten)
{
    Editor.eUser->setText("me");
    LeaveAddress("jan@example.org");
    EXPECT_EQ(User(), "me");
    EXPECT_EQ(Host(), "example.org");
    LeaveAddress("eva@other.org");
    EXPECT_EQ(Host(), "example.org");
}

TEST_F(AccountEditorTest, TabOrderRunsThroughTheFieldsThenTheButtons)
{
    Editor.show();
    Editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Editor));
    Editor.eAddress->setFocus();
    std::vector<QWidget*> visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    QWidget* port = Editor.ePort->focusProxy() ? Editor.ePort->focusProxy() : Editor.ePort;
    std::vector<QWidget*> expected{Editor.eUser, Editor.cbLogin, Editor.ePassw, Editor.eHost, Editor.cbSecurity,
                                   port, Editor.Button1, Editor.CancelButton};
    ASSERT_EQ(visited.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(visited[i] == expected[i] || visited[i]->parentWidget() == expected[i]) << "step " << i;
}

TEST_F(AccountEditorTest, TypingStartsInTheAddressField)
{
    Editor.show();
    Editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Editor));
    EXPECT_EQ(QApplication::focusWidget(), Editor.eAddress);
    QTest::keyClicks(QApplication::focusWidget(), "jan@x.cz");
    EXPECT_EQ(FromQt(Editor.eAddress->text()), "jan@x.cz");
}

TEST_F(AccountEditorTest, SecurityChoiceMovesTheWellKnownPortsOnly)
{
    struct Case {
        TIdConnectionSecurity from;
        int32_t port;
        TIdConnectionSecurity to;
        int32_t portAfter;
    };
    const Case cases[] = {
        {csNone, 110, csImplicitTls, 995},      {csStartTls, 110, csImplicitTls, 995},
        {csImplicitTls, 995, csStartTls, 110},  {csImplicitTls, 995, csNone, 110},
        {csNone, 2110, csImplicitTls, 2110},    {csImplicitTls, 1995, csNone, 1995},
        {csStartTls, 110, csNone, 110},
    };
    for (const Case& c : cases) {
        Editor.SetSecurity(c.from);
        Editor.ePort->SetValue(c.port);
        Editor.SetSecurity(c.to);
        EXPECT_EQ(Editor.ePort->Value(), c.portAfter) << c.from << " -> " << c.to << " at " << c.port;
    }
    std::vector<std::string> choices;
    for (int i = 0; i < Editor.cbSecurity->count(); ++i)
        choices.push_back(FromQt(Editor.cbSecurity->itemText(i)));
    EXPECT_EQ(choices, (std::vector<std::string>{"SSL/TLS", "STARTTLS", "Žádné"}));
}

TEST_F(AccountEditorTest, PasswordIsShownAsStars)
{
    EXPECT_EQ(Editor.ePassw->echoMode(), QLineEdit::Password);
}

TEST_F(AccountEditorTest, EditorOpensTheAccountTopicOnF1)
{
    InstallHelpFile();
    SetApplicationHelpFile(Directory.File("bin/Kormoran.hlp"));
    Tfedit editor(nullptr);
    int topic = 0;
    Modal.Answer = [&topic](QDialog& dialog) {
        if (auto* help = dynamic_cast<THelpWindow*>(&dialog))
            topic = help->ShownTopic();
    };
    editor.show();
    editor.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
    QTest::keyClick(editor.eAddress, Qt::Key_F1);
    EXPECT_EQ(topic, 10);
}

class PortFieldTest : public AppFixture {
protected:
    TPortEdit Port{nullptr};
    QLineEdit* Text() { return Port.findChild<QLineEdit*>(); }
};

TEST_F(PortFieldTest, TextThatIsNoIntegerReadsAsZero)
{
    for (const char* text : {"", "1.5", "1,5", "-", "12a"}) {
        Text()->setText(text);
        EXPECT_EQ(Port.Value(), 0) << text;
    }
}

TEST_F(PortFieldTest, AnyIntegerIsAccepted)
{
    Text()->setText("-25");
    EXPECT_EQ(Port.Value(), -25);
    Text()->setText("70000");
    EXPECT_EQ(Port.Value(), 70000);
}

TEST_F(PortFieldTest, TypedLettersAreRefusedWithABeep)
{
    Port.setLocale(QLocale::c());
    Text()->clear();
    QTest::keyClicks(&Port, "1a2+-.x,");
    EXPECT_EQ(FromQt(Text()->text()), "12+-.");
    EXPECT_EQ(Ui.Beeps, 3);
}

TEST_F(PortFieldTest, LocaleDecimalSeparatorIsAccepted)
{
    Port.setLocale(QLocale(QLocale::Czech, QLocale::CzechRepublic));
    Text()->clear();
    QTest::keyClicks(&Port, "1,5.");
    EXPECT_EQ(FromQt(Text()->text()), "1,5");
    EXPECT_EQ(Ui.Beeps, 1);
    EXPECT_EQ(Port.Value(), 0);
}

TEST_F(PortFieldTest, UpAndDownStepByOneAndStopAtTheEnds)
{
    Port.SetValue(110);
    QTest::keyClick(&Port, Qt::Key_Up);
    EXPECT_EQ(Port.Value(), 111);
    QTest::keyClick(&Port, Qt::Key_Down);
    QTest::keyClick(&Port, Qt::Key_Down);
    EXPECT_EQ(Port.Value(), 109);
    Port.SetValue(2147483647);
    Port.stepBy(1);
    EXPECT_EQ(Port.Value(), 2147483647);
}

class EditAccountDialogTest : public AppFixture {
protected:
    TPOP3Rec Account{"a@x.cz", "pop.x.cz", "a", "pw", 110};
};

TEST_F(EditAccountDialogTest, FieldsComeFromTheRecordAndGoBackOnOk)
{
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        EXPECT_EQ(FromQt(editor.eAddress->text()), "a@x.cz");
        EXPECT_EQ(FromQt(editor.eHost->text()), "pop.x.cz");
        EXPECT_EQ(FromQt(editor.eUser->text()), "a");
        EXPECT_EQ(FromQt(editor.ePassw->text()), "pw");
        editor.ePassw->setText(ToQt(" heslo "));
        editor.ePort->findChild<QLineEdit*>()->setText("1,5");
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
    };
    EXPECT_TRUE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(Modal.Shown, std::vector<std::string>{"Caption"});
    EXPECT_EQ(Account.Password, " heslo ");
    EXPECT_EQ(Account.Port, 0);
}

TEST_F(EditAccountDialogTest, SecurityComesFromTheRecordAndATypedPrefixWins)
{
    struct Case {
        TIdConnectionSecurity stored;
        int32_t port;
        const char* typedHost;
        TIdConnectionSecurity saved;
        const char* savedHost;
    };
    const Case cases[] = {
        {csStartTls, 110, nullptr, csStartTls, "pop.x.cz"},
        {csImplicitTls, 110, nullptr, csImplicitTls, "pop.x.cz"},
        {csNone, 110, "pop3s://mail.x.cz", csImplicitTls, "mail.x.cz"},
        {csImplicitTls, 995, "STARTTLS://mail.x.cz", csStartTls, "mail.x.cz"},
    };
    for (const Case& c : cases) {
        TPOP3Rec account = Account;
        account.Security = c.stored;
        account.Port = c.port;
        Modal.Answer = [&](QDialog& dialog) {
            auto& editor = dynamic_cast<Tfedit&>(dialog);
            EXPECT_EQ(editor.Security(), c.stored);
            EXPECT_EQ(editor.ePort->Value(), c.port) << "loading leaves the stored port";
            EXPECT_EQ(FromQt(editor.eHost->text()), "pop.x.cz");
            if (c.typedHost)
                editor.eHost->setText(c.typedHost);
            editor.Button1Click();
        };
        ASSERT_TRUE(EditAccountDialog(account, "Caption"));
        EXPECT_EQ(account.Security, c.saved);
        EXPECT_EQ(account.Host, c.savedHost);
    }
}

TEST_F(EditAccountDialogTest, OkWithEmptyAddressNamesTheFieldAndCancelKeepsTheRecord)
{
    Modal.Answer = [this](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        editor.eAddress->clear();
        editor.eHost->setText("changed");
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
        EXPECT_EQ(editor.result(), QDialog::Rejected);
        EXPECT_EQ(Ui.Errors, std::vector<std::string>{"Vyplňte pole „e-Mail adresa“, bez něj nelze účet uložit."});
        QTest::mouseClick(editor.CancelButton, Qt::LeftButton);
    };
    EXPECT_FALSE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(Account.Address, "a@x.cz");
    EXPECT_EQ(Account.Host, "pop.x.cz");
}

TEST_F(EditAccountDialogTest, TextTheAccountFileCannotHoldIsRefusedWithAMessage)
{
    Modal.Answer = [this](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        editor.eUser->setText(ToQt("Дмитрий"));
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
        EXPECT_EQ(editor.result(), QDialog::Rejected);
        EXPECT_EQ(Ui.Errors, std::vector<std::string>{"Pole „Uživatelské jméno“ obsahuje znak, který soubor účtů "
                                                      "neumí uložit (kódování Windows-1250). Opravte ho, prosím."});
        editor.eUser->setText(ToQt("Dušan Ťoupalík"));
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
    };
    EXPECT_TRUE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(Account.User, "Dušan Ťoupalík");
}

TEST_F(EditAccountDialogTest, EnterIsOkAndEscapeIsCancel)
{
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        editor.eHost->setText("by.enter");
        QTest::keyClick(editor.eHost, Qt::Key_Return);
    };
    EXPECT_TRUE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(Account.Host, "by.enter");

    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        editor.eHost->setText("by.escape");
        QTest::keyClick(editor.eHost, Qt::Key_Escape);
    };
    EXPECT_FALSE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(Account.Host, "by.enter");
}

} // namespace

TEST_F(AccountEditorTest, TypingAKnownProvidersAddressFillsItsServerAndShowsItsHint)
{
    std::filesystem::copy_file(TEST_DATA_DIR "/../../dist/providers", Directory.File("bin/providers"));
    QTest::keyClicks(Editor.eAddress, "jana@gmail.com");
    EXPECT_EQ(Host(), "pop.gmail.com");
    EXPECT_EQ(Editor.ePort->Value(), 995);
    EXPECT_EQ(Editor.Security(), csImplicitTls);
    EXPECT_EQ(User(), "jana@gmail.com");
    EXPECT_EQ(FromQt(Editor.lProviderHint->text()),
              "POP3 je třeba zapnout v nastavení schránky. Je potřeba heslo pro aplikace.");

    // What the user typed stays; the hint follows the address.
    Editor.eHost->setText("pop.my.example");
    Editor.eAddress->clear();
    QTest::keyClicks(Editor.eAddress, "tim@icloud.com");
    EXPECT_EQ(Host(), "pop.my.example");
    EXPECT_EQ(FromQt(Editor.lProviderHint->text()), "Tento poskytovatel POP3 nenabízí.");
}

// ---- accounts that sign in at their provider (OAuth2) ----

namespace {

std::vector<std::string> Choices(const QComboBox* box)
{
    std::vector<std::string> choices;
    for (int i = 0; i < box->count(); ++i)
        choices.push_back(FromQt(box->itemText(i)));
    return choices;
}

// As the user picks it: the combo box's activation, not only its index.
void Pick(QComboBox* box, int index)
{
    box->setCurrentIndex(index);
    emit box->activated(index);
}

std::string Text(const QLineEdit* field)
{
    return FromQt(field->text());
}

// The window's part as the editor sees it: the accounts it was asked to sign in.
struct TRecordingRunner : TSignInRunner {
    void StartSignIn(const TPOP3Rec& account, TOpened, TDone) override { Started.push_back(account); }
    void CancelSignIn() override {}
    std::vector<TPOP3Rec> Started;
};

} // namespace

TEST_F(AccountEditorTest, OAuth2TurnsThePasswordOffAndItsPageOn)
{
    EXPECT_EQ(Choices(Editor.cbLogin), (std::vector<std::string>{"Heslo", "OAuth2"}));
    EXPECT_EQ(Choices(Editor.OAuth2Page->cbProvider),
              (std::vector<std::string>{"Microsoft", "Google", "Seznam", "vlastní"}));
    EXPECT_TRUE(Editor.ePassw->isEnabled());
    EXPECT_FALSE(Editor.PageControl->isTabEnabled(1));

    Editor.ePassw->setText("staré heslo");
    Pick(Editor.cbLogin, 1);
    EXPECT_EQ(Editor.Login(), lmOAuth2);
    EXPECT_FALSE(Editor.ePassw->isEnabled());
    EXPECT_TRUE(Editor.PageControl->isTabEnabled(1));
    EXPECT_EQ(Editor.FieldsRecord().Password, "") << "an OAuth2 account keeps no password";

    Pick(Editor.cbLogin, 0);
    EXPECT_TRUE(Editor.ePassw->isEnabled());
    EXPECT_FALSE(Editor.PageControl->isTabEnabled(1));
    EXPECT_EQ(Editor.FieldsRecord().Password, "staré heslo");
}

TEST_F(AccountEditorTest, AddressOfAnOAuth2ProviderChoosesOAuth2AndTheProvider)
{
    std::filesystem::copy_file(TEST_DATA_DIR "/../../dist/providers", Directory.File("bin/providers"));
    QTest::keyClicks(Editor.eAddress, "petr@outlook.com");
    EXPECT_EQ(Editor.Login(), lmOAuth2);
    EXPECT_EQ(Host(), "outlook.office365.com");
    EXPECT_EQ(Editor.OAuth2Page->Provider(), "microsoft");
    EXPECT_FALSE(Editor.OAuth2Page->eScope->isEnabled());
    EXPECT_EQ(Text(Editor.OAuth2Page->eScope), "https://outlook.office.com/POP.AccessAsUser.All offline_access");

    // The preset chose the method, so the next preset may change it back.
    Editor.eAddress->clear();
    QTest::keyClicks(Editor.eAddress, "petr@seznam.cz");
    EXPECT_EQ(Editor.Login(), lmPassword);
    EXPECT_EQ(Host(), "pop3.seznam.cz");

    // Chosen by the user, it stays; the provider follows the server.
    Pick(Editor.cbLogin, 1);
    EXPECT_EQ(Editor.OAuth2Page->Provider(), "seznam");
    Editor.eAddress->clear();
    QTest::keyClicks(Editor.eAddress, "petr@gmail.com");
    EXPECT_EQ(Editor.Login(), lmOAuth2);
    EXPECT_EQ(Host(), "pop.gmail.com");
    EXPECT_EQ(Editor.OAuth2Page->Provider(), "google");
}

TEST_F(EditAccountDialogTest, OAuth2AccountGoesToTheHostLineAndItsClientToTheUsersFile)
{
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        Pick(editor.cbLogin, 1);
        Pick(editor.OAuth2Page->cbProvider, 0);   // Microsoft brings its server
        editor.OAuth2Page->eClientId->setText(" 1111-aaaa ");
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
    };
    ASSERT_TRUE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(LinesFromRecord(Account),
              (TAccountLines{"a@x.cz", "pop3s+oauth2://outlook.office365.com", "a", "", "995"}));
    EXPECT_EQ(ReadUserOAuth2Client("microsoft").ClientId, "1111-aaaa");
    EXPECT_EQ(OAuth2ClientFor("outlook.office365.com").ClientId, "1111-aaaa");

    TPOP3Rec reread = RecordFromLines(LinesFromRecord(Account));
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        EXPECT_EQ(editor.Login(), lmOAuth2);
        EXPECT_FALSE(editor.ePassw->isEnabled());
        EXPECT_EQ(editor.OAuth2Page->Provider(), "microsoft");
        EXPECT_EQ(Text(editor.OAuth2Page->eClientId), "1111-aaaa");
        EXPECT_EQ(FromQt(editor.OAuth2Page->lSignInState->text()), "Účet zatím není přihlášen.");
        editor.reject();
    };
    EXPECT_FALSE(EditAccountDialog(reread, "Caption"));
}

TEST_F(EditAccountDialogTest, ProviderOfOnesOwnKeepsItsAddressesUnderTheServersName)
{
    Account.Host = "pop.example.org";
    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        Pick(editor.cbLogin, 1);
        TOAuth2Page& page = *editor.OAuth2Page;
        EXPECT_EQ(page.Provider(), "custom");
        EXPECT_TRUE(page.eTokenUrl->isEnabled());
        page.eClientId->setText("moje-id");
        page.eClientSecret->setText("tajemství");
        page.eAuthorizationUrl->setText("https://login.example.org/authorize");
        page.eTokenUrl->setText("https://login.example.org/token");
        page.eScope->setText("pop");
        QTest::mouseClick(editor.Button1, Qt::LeftButton);
    };
    ASSERT_TRUE(EditAccountDialog(Account, "Caption"));
    EXPECT_EQ(LinesFromRecord(Account).Host, "pop3+oauth2://pop.example.org");
    const TOAuth2ClientEntry saved = ReadUserOAuth2Client("pop.example.org");
    EXPECT_EQ(saved.ClientId, "moje-id");
    EXPECT_EQ(saved.ClientSecret, "tajemství");
    EXPECT_EQ(saved.AuthorizationUrl, "https://login.example.org/authorize");
    EXPECT_EQ(saved.TokenUrl, "https://login.example.org/token");
    EXPECT_EQ(saved.Scope, "pop");

    Modal.Answer = [](QDialog& dialog) {
        auto& editor = dynamic_cast<Tfedit&>(dialog);
        EXPECT_EQ(editor.OAuth2Page->Provider(), "custom");
        EXPECT_EQ(Text(editor.OAuth2Page->eTokenUrl), "https://login.example.org/token");
        EXPECT_EQ(Text(editor.OAuth2Page->eClientSecret), "tajemství");
        editor.reject();
    };
    TPOP3Rec reread = RecordFromLines(LinesFromRecord(Account));
    EXPECT_FALSE(EditAccountDialog(reread, "Caption"));
}

TEST_F(AccountEditorTest, SignInNeedsAClientIdAndSavesItFirst)
{
    TRecordingRunner runner;
    Editor.OAuth2Page->SetSignInRunner(&runner);
    Editor.eAddress->setText("petr@outlook.com");
    Pick(Editor.cbLogin, 1);
    Pick(Editor.OAuth2Page->cbProvider, 0);
    Editor.OAuth2Page->bSignIn->click();
    EXPECT_EQ(Ui.Errors,
              std::vector<std::string>{"Vyplňte na kartě „OAuth2“ pole „ID klienta“, bez něj se nelze přihlásit."});
    EXPECT_TRUE(runner.Started.empty());

    Editor.OAuth2Page->eClientId->setText("1111-aaaa");
    Editor.OAuth2Page->bSignIn->click();
    ASSERT_EQ(runner.Started.size(), 1u);
    EXPECT_EQ(runner.Started[0].Host, "outlook.office365.com");
    EXPECT_EQ(runner.Started[0].Login, lmOAuth2);
    EXPECT_EQ(ReadUserOAuth2Client("microsoft").ClientId, "1111-aaaa") << "the sign-in reads it from the file";
    EXPECT_TRUE(Editor.OAuth2Page->SigningIn());
}

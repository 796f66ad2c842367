// The window against the private Dovecot: check, download, saving an attachment whose
// name holds blanks and Czech letters, deletion carried out at the next check, and the
// progress bar moved by the session's work events.
#include "AppFixture.h"

#include "HeaderList.h"
#include "MessageView.h"
#include "PrivatePop3Server.h"
#include "Progress.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "fmMain.h"
#include "fmSettings.h"
#include "udm.h"

#include <QApplication>
#include <QCheckBox>
#include <QSpinBox>
#include <QListWidget>
#include <QProgressBar>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

const std::string AttachmentName = "můj dopis.txt";

std::string PlainMessage()
{
    return "From: Jana <jana@firma.cz>\r\nTo: petr@demo.cz\r\nSubject: Porada\r\n"
           "Date: Mon, 05 Jan 2026 08:12:44 +0100\r\nMessage-ID: <1@firma.cz>\r\n\r\nAhoj\r\n";
}

std::string MessageWithAttachment()
{
    return "From: Klara <klara@rodina.cz>\r\nTo: petr@demo.cz\r\nSubject: Dopis\r\n"
           "Date: Sat, 10 Jan 2026 19:27:51 +0100\r\nMessage-ID: <2@rodina.cz>\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
           "--b\r\nContent-Type: text/plain\r\n\r\nV priloze.\r\n"
           "--b\r\nContent-Type: text/plain; name=\"" + AttachmentName + "\"\r\n"
           "Content-Transfer-Encoding: base64\r\n"
           "Content-Disposition: attachment; filename=\"" + AttachmentName + "\"\r\n\r\n"
           "RHJhaMOhIEphbm8=\r\n--b--\r\n";
}

class RealServerWindowTest : public AppFixture {
protected:
    ~RealServerWindowTest() override
    {
        Window.reset();
        CloseOpenSessions();
    }

    void OpenWindow()
    {
        WriteBytes(AccountsPath(), "petr@demo.cz\r\n127.0.0.1\r\n" + Server.User() + "\r\n" + Server.Password() +
                                       "\r\n" + std::to_string(Server.Port()) + "\r\n");
        Window = std::make_unique<Tfmain>();
        Window->show();
        Window->poplist->setCurrentRow(0);
    }

    Lines Subjects() const
    {
        Lines subjects;
        for (int row = 0; row < Window->headlist->RowCount(); ++row)
            subjects.push_back(Window->headlist->Row(row)->Data().SubjectText);
        return subjects;
    }

    PrivatePop3Server Server;
    std::unique_ptr<Tfmain> Window;
};

TEST_F(AppFixture, CheckOverTlsSaysSoInTheStatusBar)
{
    PrivatePop3Server server(PrivatePop3Tls::Valid);
    server.AddMessages({PlainMessage()});
    setenv("SSL_CERT_FILE", server.CaFile().c_str(), 1);
    WriteBytes(AccountsPath(), "petr@demo.cz\r\npop3s://127.0.0.1\r\n" + server.User() + "\r\n" +
                                   server.Password() + "\r\n" + std::to_string(server.TlsPort()) + "\r\n");
    {
        Tfmain window;
        window.show();
        window.poplist->setCurrentRow(0);
        window.CheckAccClick();
        ASSERT_TRUE(window.WaitForServer(10000));
        EXPECT_EQ(window.headlist->RowCount(), 1);
        const std::string text = window.StatusPanelText(2);
        EXPECT_TRUE(text == "Šifrováno (TLS 1.3)" || text == "Šifrováno (TLS 1.2)")
            << text;
    }
    CloseOpenSessions();
    unsetenv("SSL_CERT_FILE");
}

// Trust on first use in the window, against a server whose certificate signed itself:
// the question shows the certificate; No leaves it refused, Yes pins what was shown and
// the check goes on; afterwards it is accepted without a question. Another certificate
// for the account is refused loudly, and never offered.
TEST_F(AppFixture, TrustOnFirstUseIsAskedOnceAndAnotherCertificateIsRefused)
{
    PrivatePop3Server first(PrivatePop3Tls::SelfSigned);
    PrivatePop3Server second(PrivatePop3Tls::SelfSigned);
    first.AddMessages({PlainMessage()});
    auto useServer = [&](const PrivatePop3Server& server) {
        WriteBytes(AccountsPath(), "petr@demo.cz\r\npop3s://127.0.0.1\r\n" + server.User() + "\r\n" +
                                       server.Password() + "\r\n" + std::to_string(server.TlsPort()) + "\r\n");
    };
    const std::string pins = Directory.File("config/kormoran/certificate-pins");
    auto pinned = [&] { return ::access(pins.c_str(), F_OK) == 0 ? ReadBytes(pins) : std::string(); };
    useServer(first);
    {
        Tfmain window;
        window.show();
        auto check = [&](bool answer) {
            window.poplist->setCurrentRow(0);
            Ui.Answers = {answer};
            window.CheckAccClick();
            EXPECT_TRUE(window.WaitForServer(10000));
        };

        check(false);
        ASSERT_EQ(Ui.Questions.size(), 1u);
        const std::string question = Ui.Questions[0];
        for (const char* shown : {"Subjekt: CN=Kormoran test server", "Vydavatel: CN=Kormoran test server",
                                  "Platnost: od ", "SHA-256: "})
            EXPECT_NE(question.find(shown), std::string::npos) << shown << "\n" << question;
        const size_t at = question.find("SHA-256: ");
        ASSERT_NE(at, std::string::npos);
        const std::string fingerprint = question.substr(at + 9, 95);
        ASSERT_EQ(Ui.Errors.size(), 1u);
        EXPECT_NE(Ui.Errors[0].find("není důvěryhodný"), std::string::npos) << Ui.Errors[0];
        EXPECT_EQ(window.headlist->RowCount(), 0);
        EXPECT_EQ(pinned(), "");

        check(true);
        EXPECT_EQ(Ui.Questions, (Lines{question, question}));
        EXPECT_EQ(Ui.Errors.size(), 1u) << Ui.Errors.back();
        EXPECT_EQ(window.headlist->RowCount(), 1) << "trusted, the check went on";
        EXPECT_NE(pinned().find(fingerprint), std::string::npos) << pinned();

        first.AddMessages({MessageWithAttachment()});
        check(false);
        EXPECT_EQ(Ui.Questions.size(), 2u) << "a pinned certificate is not asked about";
        EXPECT_EQ(Ui.Errors.size(), 1u) << Ui.Errors.back();
        EXPECT_EQ(window.headlist->RowCount(), 2);

        useServer(second);
        window.LoadAccounts();
        const std::string pinsBefore = pinned();
        check(true);
        EXPECT_EQ(Ui.Questions.size(), 2u) << "a changed certificate is never offered";
        ASSERT_EQ(Ui.Errors.size(), 2u);
        EXPECT_NE(Ui.Errors[1].find("POZOR"), std::string::npos) << Ui.Errors[1];
        EXPECT_NE(Ui.Errors[1].find(fingerprint), std::string::npos) << Ui.Errors[1];
        EXPECT_EQ(pinned(), pinsBefore);
    }
    CloseOpenSessions();
}

TEST_F(RealServerWindowTest, CheckDownloadSaveAndDelete)
{
    Server.AddMessages({PlainMessage(), MessageWithAttachment()});
    OpenWindow();
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    ASSERT_EQ(Subjects(), (Lines{"Porada", "Dopis"}));
    EXPECT_NE(Window->memo->Text().find("Subject: Porada\r\n"), std::string::npos);
    EXPECT_EQ(Window->StatusPanelText(2), "Nešifrováno");

    Window->headlist->setCurrentItem(Window->headlist->Row(1));
    Window->lDownClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    TRxRichEdit& memo = *Window->memo;
    EXPECT_EQ(memo.FindText(AttachmentsBanner, 0, memo.TextLength()), 1);
    const std::string link = "http://localhost/" + AttachmentName + "/ID=1";
    const std::vector<TRxLink> links = memo.Links();
    ASSERT_FALSE(links.empty());
    EXPECT_EQ(links[0].Target, AttachmentTarget(link));

    const std::string saved = Directory.File("saved.txt");
    Ui.SaveAnswers = {saved};
    Window->memoURLClick(links[0].Target);
    EXPECT_EQ(Ui.SaveRequests, Lines{AttachmentName});
    EXPECT_EQ(ReadBytes(saved), "Drah\xC3\xA1 Jano");   // the decoded bytes, as they were
    EXPECT_EQ(Ui.Errors, Lines{});

    Window->Vybratve1Click();
    Ui.Answers = {true};
    Window->mmDelClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    // The next check ends the deleting connection first, so the server carries them out.
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(Window->headlist->RowCount(), 0);
    EXPECT_EQ(Ui.Errors, Lines{});
}

TEST_F(RealServerWindowTest, WorkEventsMoveTheProgressBar)
{
    OpenWindow();
    Window->ShowProgress("x", 8);
    QApplication::postEvent(Window.get(), new TPop3WorkEvent(5));
    QApplication::processEvents();
    EXPECT_EQ(Window->progress->value(), 5);
    Window->progress->setValue(8);
    QApplication::postEvent(Window.get(), new TPop3WorkEvent(1000));
    QApplication::processEvents();
    EXPECT_EQ(Window->progress->value(), 1);
    Window->ShowProgress("", 8);
}

} // namespace

TEST_F(RealServerWindowTest, MailDeliveredBetweenChecksIsBoldCountedAndAloneInTheNewView)
{
    Server.AddMessages({PlainMessage()});
    OpenWindow();
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(FromQt(Window->poplist->item(0)->text()), "petr@demo.cz");
    Server.AddMessages({MessageWithAttachment()});
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(FromQt(Window->poplist->item(0)->text()), "petr@demo.cz (1 nových)");
    ASSERT_EQ(Window->headlist->RowCount(), 2);
    for (int row = 0; row < 2; ++row) {
        const QFont font = Window->headlist->Row(row)->data(0, Qt::FontRole).value<QFont>();
        EXPECT_EQ(font.bold(), row == 1) << row;
    }
    Window->mNewOnly->setChecked(true);
    EXPECT_TRUE(Window->headlist->Row(0)->isHidden());
    EXPECT_FALSE(Window->headlist->Row(1)->isHidden());
    // Select all and delete: the hidden row is not touched.
    Window->Vybratve1Click();
    Ui.Answers = {true};
    Window->mmDelClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    Window->mNewOnly->setChecked(false);
    EXPECT_EQ(Subjects(), (Lines{"Porada"}));
    EXPECT_EQ(Ui.Errors, Lines{});
}

TEST_F(AppFixture, SettingsAreKeptInSectionsOfTheirOwn)
{
    WriteSettings("[SIZE]\nWIDTH=700\n");
    Tfmain window;
    EXPECT_EQ(window.AppSettings().CheckMinutes, 0);
    EXPECT_TRUE(window.AppSettings().Notify);
    Modal.Answer = [](QDialog& dialog) {
        auto& settings = dynamic_cast<TfSettings&>(dialog);
        settings.eInterval->setValue(15);
        settings.cbNotify->setChecked(false);
        settings.cbCloseToTray->setChecked(true);
        settings.accept();
    };
    window.SettingsClick();
    EXPECT_EQ(Modal.Shown, Lines{"Nastavení"});
    EXPECT_EQ(ReadBytes(SettingsPath()),
              "[SIZE]\nWIDTH=700\n\n[CHECK]\nINTERVAL=15\nATSTART=0\n\n[NOTIFY]\nNEWMAIL=0\n\n[TRAY]\nCLOSE=1\nSTART=0\n");
    Tfmain again;
    EXPECT_EQ(again.AppSettings().CheckMinutes, 15);
    EXPECT_FALSE(again.AppSettings().Notify);
    EXPECT_TRUE(again.AppSettings().CloseToTray);
}

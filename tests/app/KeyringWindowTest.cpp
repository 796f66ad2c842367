// The window with a real Secret Service (tests/support/with-keyring) and the private
// Dovecot: passwords read from the keyring on the window's thread before a check goes to
// the server worker, and a keyring that does not answer.
#include "AppFixture.h"

#include "AccountFile.h"
#include "HeaderList.h"
#include "Keyring.h"
#include "PrivatePop3Server.h"
#include "QtText.h"
#include "fmMain.h"
#include "udm.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QListWidget>

#include <signal.h>

namespace {

using Lines = std::vector<std::string>;

const std::string Message = "From: jana@firma.cz\r\nSubject: Porada\r\nMessage-ID: <1@firma.cz>\r\n\r\nAhoj\r\n";

// The Secret Service stopped where it stands (SIGSTOP): the bus holds every request for
// it and nothing answers, as with a keyring waiting for a prompt nobody sees. It goes on
// with the object's end, and the requests left waiting are answered before the next test.
class TStoppedKeyring {
public:
    TStoppedKeyring()
    {
        const QDBusReply<uint> pid =
            QDBusConnection::sessionBus().interface()->servicePid(QStringLiteral("org.freedesktop.secrets"));
        FPid = pid.isValid() ? static_cast<pid_t>(pid.value()) : 0;
        if (FPid > 0)
            ::kill(FPid, SIGSTOP);
        SetKeyringTimeout(TimeoutMs);
    }
    ~TStoppedKeyring()
    {
        SetKeyringTimeout(DefaultKeyringTimeoutMs);
        if (FPid <= 0)
            return;
        ::kill(FPid, SIGCONT);
        // The service answers in order: once this read is answered, so are the ones that
        // timed out, and their jobs are gone.
        KeyringAvailable();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    TStoppedKeyring(const TStoppedKeyring&) = delete;
    TStoppedKeyring& operator=(const TStoppedKeyring&) = delete;

    bool Stopped() const { return FPid > 0; }
    static constexpr int TimeoutMs = 1000;

private:
    pid_t FPid = 0;
};

class KeyringWindowTest : public AppFixture {
protected:
    KeyringWindowTest() { Server.AddMessages({Message}); }
    ~KeyringWindowTest() override
    {
        Window.reset();
        CloseOpenSessions();
    }

    // The account's password is in the keyring, its line in the file is empty.
    TAccountLines KeyringAccount(const std::string& address)
    {
        const TAccountLines lines{address, "127.0.0.1", Server.User(), "", std::to_string(Server.Port())};
        WriteKeyringPassword(KeyringAccountOf(lines), Server.Password());
        return lines;
    }

    void OpenWindow(const std::vector<TAccountLines>& accounts)
    {
        SaveAccountFile(AccountsPath(), accounts);
        Window = std::make_unique<Tfmain>();
        Window->show();
        Window->poplist->setCurrentRow(0);
    }

    PrivatePop3Server Server;
    std::unique_ptr<Tfmain> Window;
};

} // namespace

// The check of one account and "Zkontrolovat vše" log in with what the keyring holds.
TEST_F(KeyringWindowTest, ChecksLogInWithThePasswordFromTheKeyring)
{
    ASSERT_TRUE(KeyringAvailable()) << "run under tests/support/with-keyring";
    OpenWindow({KeyringAccount("petr@demo.cz"), KeyringAccount("jana@demo.cz")});
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(Window->headlist->RowCount(), 1);
    Window->CheckAllAccounts();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_TRUE(Window->poplist->item(0)->toolTip().isEmpty()) << FromQt(Window->poplist->item(0)->toolTip());
    EXPECT_TRUE(Window->poplist->item(1)->toolTip().isEmpty()) << FromQt(Window->poplist->item(1)->toolTip());
    EXPECT_EQ(Ui.Errors, Lines{});
}

// A keyring that does not answer: the read gives up after its time-out, on the window's
// thread before the check goes to the worker, and the status bar says so at once; the
// refused login repeats it. A password saved meanwhile stays in the account file, the
// status bar says that too, and the check logs in with the file's password.
TEST_F(KeyringWindowTest, AKeyringThatHangsIsNamedInTheStatusBarAndTheFileServes)
{
    ASSERT_TRUE(KeyringAvailable()) << "run under tests/support/with-keyring";
    OpenWindow({KeyringAccount("petr@demo.cz")});
    TStoppedKeyring stopped;
    ASSERT_TRUE(stopped.Stopped());
    const std::string noAnswer = "Klíčenka neodpověděla do " + std::to_string(TStoppedKeyring::TimeoutMs) + " ms.";

    Window->CheckAccClick();
    EXPECT_EQ(Window->StatusPanelText(1), "Heslo nebylo možné přečíst z klíčenky: " + noAnswer);
    EXPECT_TRUE(Window->ServerBusy());
    ASSERT_TRUE(Window->WaitForServer(10000));
    ASSERT_EQ(Ui.Errors.size(), 1u);
    EXPECT_NE(Ui.Errors[0].find(noAnswer), std::string::npos) << Ui.Errors[0];
    EXPECT_EQ(Window->headlist->RowCount(), 0);

    const TAccountLines added{"jana@demo.cz", "127.0.0.1", Server.User(), Server.Password(),
                              std::to_string(Server.Port())};
    Window->ApplyAccountChange(AddAccountChange(added), added);
    EXPECT_EQ(Window->StatusPanelText(1), "Hesla zůstala v souboru accounts.dat: " + noAnswer);
    const std::vector<TAccountLines> saved = LoadAccountFile(AccountsPath());
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[1].Password, Server.Password());
    ASSERT_EQ(Window->poplist->currentRow(), 1);
    Window->CheckAccClick();
    ASSERT_TRUE(Window->WaitForServer(10000));
    EXPECT_EQ(Window->headlist->RowCount(), 1);
    EXPECT_EQ(Ui.Errors.size(), 1u) << Ui.Errors.back();
}

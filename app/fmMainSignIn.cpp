// The OAuth2 sign-in of the main window: the browser opens through the user-interface
// seam, and the wait for its redirect runs on the server worker, so the window (and the
// account editor above it) stays responsive and "Přerušit" ends it.
#include "fmMain.h"

#include "OAuth2SignIn.h"
#include "UserInterface.h"

#include <QListWidget>

namespace {

const std::string SigningInText = "Přihlášení v prohlížeči: ";
const std::string SignInQuestion = "Přihlásit se k účtu teď v prohlížeči?";

} // namespace

void Tfmain::StartSignIn(const TPOP3Rec& account, TOpened opened, TDone done)
{
    if (ServerBusy()) {
        const ESessionBusy busy;
        UserInterface().ShowError(busy.Message);
        done(std::make_exception_ptr(busy));
        return;
    }
    RunSignIn(account, nullptr, std::move(opened), std::move(done));
}

void Tfmain::CancelSignIn()
{
    if (FServerBusy)
        FWorker->Cancel();
}

void Tfmain::RunSignIn(const TPOP3Rec& account, QListWidgetItem* item, TOpened opened, TDone done)
{
    TServerCommand command;
    command.Text = SigningInText + account.Address;
    command.Account = item;
    command.Job = [this, account, opened = std::move(opened)] {
        TSignInCallbacks callbacks;
        // Called on the worker: the desktop is asked from the window's thread.
        callbacks.OpenUrl = [this, opened](const std::string& url) {
            QMetaObject::invokeMethod(
                this,
                [url, opened] {
                    UserInterface().OpenUrl(url);
                    if (opened)
                        opened(url);
                },
                Qt::QueuedConnection);
        };
        // The worker's cancel ends the wait for the browser like any wait on the network.
        SignInWithBrowser(account, callbacks);
    };
    // Cut short, it leaves nothing behind that the user must be told of on closing.
    command.Done = [done = std::move(done)](std::exception_ptr failure) {
        if (done)
            done(failure);
    };
    RunOnServer(std::move(command));
}

// One question, one browser: a sign-in that fails is shown and nothing more happens.
bool Tfmain::OfferSignIn(QListWidgetItem* item, const TPOP3Rec& account, const std::string& reason)
{
    if (poplist->row(item) < 0)
        return false;
    if (!UserInterface().AskYesNo("Warning", reason + "\n\n" + SignInQuestion))
        return true;
    RunSignIn(account, item, nullptr, [this, item, account](std::exception_ptr failure) {
        if (!failure && poplist->row(item) >= 0)
            StartCheck(item, account, false);
    });
    return true;
}

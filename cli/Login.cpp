#include "Login.h"

#include "Keyring.h"
#include "OAuth2SignIn.h"

namespace {

const std::string NotOAuth2 = "Účet %s se přihlašuje heslem; přihlášení u poskytovatele (OAuth2) nepotřebuje.";
const std::string OpenThis = "Otevřete v prohlížeči tuto adresu a přihlaste se (čekám nejvýš 5 minut):";
const std::string TypeCode = "Otevřete v prohlížeči %s a zadejte kód %s.";
const std::string SignedInText = "Účet %s je přihlášen; obnovovací token je uložen v klíčence.";

} // namespace

void LogInAccount(const std::string& account, bool deviceCode, TCommandContext& context)
{
    const TPOP3Rec record = RecordFromLines(SelectAccount(context.Accounts, account));
    if (record.Login != lmOAuth2)
        throw Exception(FilledText(NotOAuth2, record.Address));
    TSignInCallbacks callbacks;
    // The URL is the user's to open: on stdout, so that a script can hand it on.
    callbacks.OpenUrl = [&](const std::string& url) {
        context.Err << TerminalText(OpenThis) << '\n';
        context.Out << VisibleControls(url) << std::endl;
    };
    callbacks.ShowCode = [&](const std::string& url, const std::string& code) {
        context.Out << TerminalText(FilledText(TypeCode, VisibleControls(url), VisibleControls(code))) << std::endl;
    };
    if (deviceCode)
        SignInWithDeviceCode(record, callbacks);
    else
        SignInWithBrowser(record, callbacks);
    context.Out << TerminalText(FilledText(SignedInText, record.Address)) << '\n';
}

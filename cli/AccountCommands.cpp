#include "AccountCommands.h"

#include "AccountUpdate.h"
#include "Convert.h"
#include "Keyring.h"
#include "OAuth2SignIn.h"
#include "Providers.h"

#include <algorithm>
#include <termios.h>
#include <unistd.h>

namespace {

const std::string BadSecurity = "Zabezpečení musí být tls, starttls nebo none: ";
const std::string NoPop3 = "Poskytovatel adresy %s POP3 nenabízí; účet nebyl přidán.";
const std::string Added = "Účet %s byl přidán.";
const std::string NoPasswordGiven = "Heslo nebylo zadáno; nic se nezměnilo.";
const std::string InKeyring = "Heslo účtu %s je uloženo v klíčence.";
const std::string InFile = "Heslo účtu %s je uloženo v souboru účtů (klíčenka neodpověděla: %s).";
const std::string Removed = "Účet %s byl odstraněn.";
const std::string PasswordPrompt = "Heslo: ";

TIdConnectionSecurity SecurityOfName(const std::string& name)
{
    if (name == "tls")
        return csImplicitTls;
    if (name == "starttls")
        return csStartTls;
    if (name == "none")
        return csNone;
    throw Exception(BadSecurity + name);
}

size_t IndexOf(const TCommandContext& context, const std::string& account)
{
    return static_cast<size_t>(&SelectAccount(context.Accounts, account) - context.Accounts.data());
}

// The change lands on the file as it is now (another writer may have changed it), with
// every password the keyring confirmed taken out; the context then holds the file's accounts.
std::string ChangeWithKeyring(TCommandContext& context, const TAccountChange& change)
{
    std::string failure;
    context.Accounts = UpdateAccountFile(context.AccountsPath, [&](std::vector<TAccountLines>& accounts) {
        change(accounts);
        failure = MovePasswordsToKeyring(accounts);
    });
    return failure;
}

// One line from in; a terminal does not show it.
std::string ReadPassword(std::istream& in, std::ostream& err)
{
    termios saved {};
    const bool terminal = ::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        err << PasswordPrompt << std::flush;
        termios silent = saved;
        silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
    }
    std::string password;
    std::getline(in, password);
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        err << '\n';
    }
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    return password;
}

} // namespace

void AddAccount(const TCommandLine& line, TCommandContext& context)
{
    const std::string& address = line.Arguments[0];
    TPOP3Rec account = NewAccountRecord();
    account.Address = address;
    const size_t at = address.find('@');
    if (at != std::string::npos && at > 0) {
        account.User = address.substr(0, at);
        account.Host = address.substr(at + 1);
    }
    if (const TProviderPreset* preset = Providers().Find(address)) {
        if (preset->Host.empty() && line.NewHost.empty())
            throw Exception(FilledText(NoPop3, address));
        if (!preset->Host.empty()) {
            account.Host = preset->Host;
            account.Port = preset->Port;
            account.Security = preset->Security;
            account.User = preset->UserIsLocalPart ? address.substr(0, at) : address;
            if (preset->Login == "oauth2")
                account.Login = lmOAuth2;
        }
    }
    if (!line.NewHost.empty())
        account.Host = line.NewHost;
    if (!line.NewSecurity.empty()) {
        account.Security = SecurityOfName(line.NewSecurity);
        if (line.NewPort.empty())
            account.Port = account.Security == csImplicitTls ? 995 : 110;
    }
    if (!line.NewPort.empty())
        account.Port = StrToInt(line.NewPort);
    if (!line.NewUser.empty())
        account.User = line.NewUser;
    if (line.NewOAuth2)
        account.Login = lmOAuth2;
    ChangeWithKeyring(context, AddAccountChange(LinesFromRecord(account)));
    context.Out << TerminalText(FilledText(Added, address)) << '\n';
}

void StoreAccountPassword(const std::string& account, TCommandContext& context, std::istream& in)
{
    const size_t index = IndexOf(context, account);
    const std::string password = ReadPassword(in, context.Err);
    if (password.empty())
        throw Exception(NoPasswordGiven);
    const TAccountLines before = context.Accounts[index];
    TAccountLines after = before;
    after.Password = password;
    const std::string failure = ChangeWithKeyring(context, EditAccountChange(before, after));
    const bool inFile = std::find(context.Accounts.begin(), context.Accounts.end(), after) != context.Accounts.end();
    context.Out << TerminalText(inFile ? FilledText(InFile, after.Address, failure) : FilledText(InKeyring, after.Address))
                << '\n';
}

void RemoveAccount(const std::string& account, TCommandContext& context)
{
    const size_t index = IndexOf(context, account);
    const TAccountLines removed = context.Accounts[index];
    context.Accounts = UpdateAccountFile(context.AccountsPath, DeleteAccountChange(removed));
    ForgetKeyringPassword(KeyringAccountOf(removed));
    try {
        SignOut(RecordFromLines(removed));
    } catch (const std::exception&) {
        // A keyring that does not answer now keeps an item nobody uses.
    }
    context.Out << TerminalText(FilledText(Removed, removed.Address)) << '\n';
}

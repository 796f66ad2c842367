#pragma once
// The commands of kormoran-cli on the session layer. Every command that acts on
// messages checks the mailbox first, as the window does, and works on that check's records.

#include "Accounts.h"
#include "CommandLine.h"
#include "Console.h"
#include "udm.h"

#include <optional>
#include <ostream>

struct TCommandContext {
    std::vector<TAccountLines> Accounts;
    std::ostream& Out;
    std::ostream& Err;
    TConsoleUserInterface& Ui;
    // The transport every session is given (the trace's), or nothing for the default one.
    TIdIOHandler* Transport = nullptr;
    // The password that replaces the account file's, when one came from outside.
    std::optional<std::string> Password;
    // An OAuth2 access token from outside (--token-command): the account logs in with it.
    std::optional<std::string> AccessToken;
    // Dates as the window shows them instead of ISO 8601.
    bool LocalDates = false;
    // Where add, password and remove write the accounts.
    std::string AccountsPath;
};

// Runs line's command and gives the exit status; failures raise with the text the user is
// to see. check gives 0 when it found new mail, 3 when not, 1 when an account failed.
int RunCommand(const TCommandLine& line, TCommandContext& context);

// One line of the check listing (UTF-8): the message number, the six column texts and
// the unique ID (empty when the server gave none), TAB-separated; the date in ISO 8601
// unless localDates.
std::string CheckLine(const TMessageHeader& record, bool localDates);

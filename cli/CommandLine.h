#pragma once
// The command line of kormoran-cli: options anywhere, then a command and its arguments.

#include "Exception.h"

#include <cstdint>
#include <string>
#include <vector>

// A command line that cannot be run; the front end prints it with the usage and exits 2.
class EUsage : public Exception {
public:
    using Exception::Exception;
};

struct TCommandLine {
    std::string Command;                 // accounts, check, show, save, delete, trust, add, password, remove or login; empty with --help
    std::vector<std::string> Arguments;  // as the command takes them
    std::string AccountsFile;            // empty: the program's own accounts.dat
    std::string PasswordCommand;         // empty: the password of the account file
    std::string TokenCommand;            // the OAuth2 access token comes from this program
    std::string NewHost;                 // add: --host, --port, --security, --user
    std::string NewPort;
    std::string NewSecurity;
    std::string NewUser;
    int32_t TimeoutSeconds = 0;          // 0: the session's own time-outs
    int32_t PreviewLines = 0;            // --lines: body lines a check shows under each message
    bool Trace = false;
    bool Yes = false;
    bool LocalDates = false;             // dates as the window shows them, not ISO 8601
    bool NewOnly = false;                // check lists only the messages new since the last check
    bool Json = false;                   // check lists one JSON object per message
    bool Quiet = false;                  // check lists nothing (the exit status tells)
    bool ByUniqueId = false;             // delete takes unique IDs instead of message numbers
    bool DeviceCode = false;             // login with the device code flow
    bool NewOAuth2 = false;              // add: the account signs in at its provider (OAuth2)
    bool Help = false;
    bool Version = false;
};

// args without the program name, as the terminal gives them (UTF-8). Checks the number
// of arguments of each command and that message numbers and part indexes are numbers.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The help text.
std::string UsageText();
// "kormoran-cli " and the version.
std::string VersionText();

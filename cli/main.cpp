// kormoran-cli: looks into POP3 mailboxes from scripts and terminals with the same
// session layer as the window.
#include "Commands.h"
#include "FileLocations.h"
#include "IdGlobal.h"
#include "Keyring.h"
#include "Password.h"
#include "Progress.h"
#include "TraceConnection.h"

#include <QCoreApplication>
#include <iostream>
#include <malloc.h>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// Progress is for a person watching a terminal, never for a script's error log.
class TTerminalProgress {
public:
    TTerminalProgress()
    {
        if (::isatty(STDERR_FILENO))
            SetWorkListener([this](int32_t workCount) {
                std::cerr << '\r' << workCount << " B" << std::flush;
                FShown = true;
            });
    }
    ~TTerminalProgress()
    {
        SetWorkListener({});
        if (FShown)
            std::cerr << "\r\x1b[K" << std::flush;
    }

private:
    bool FShown = false;
};

// The program's own account file may be missing (no accounts yet); a file named on the
// command line must be there, or a mistyped name would look like an empty mailbox list.
std::vector<TAccountLines> LoadAccounts(const TCommandLine& line)
{
    // The first account may be the one add makes, in a file not made yet.
    if (line.Command == "add" && !line.AccountsFile.empty())
        return LoadAccountFile(line.AccountsFile);
    return line.AccountsFile.empty() ? LoadAccountFile(AccountFilePath()) : LoadExistingAccountFile(line.AccountsFile);
}

bool TalksToServer(const TCommandLine& line)
{
    return !(line.Command == "accounts" || line.Command == "add" || line.Command == "password" ||
             line.Command == "remove" || line.Command == "login");
}

std::optional<std::string> CommandPassword(const TCommandLine& line)
{
    if (!TalksToServer(line))
        return std::nullopt;
    return OutsidePassword(line.PasswordCommand);
}

std::optional<std::string> CommandToken(const TCommandLine& line)
{
    if (!TalksToServer(line) || line.TokenCommand.empty())
        return std::nullopt;
    return TokenFromCommand(line.TokenCommand, PasswordCommandTimeoutMs);
}

} // namespace

int main(int argc, char* argv[])
{
    ReadTimeZoneOnce();
#ifdef __GLIBC__
    // Large buffers that come and go (a listing, a state file) are mapped and given back
    // whole, not left as holes among a large mailbox's records.
    ::mallopt(M_MMAP_THRESHOLD, 32 * 1024);
#endif
    // A core dump would hold the passwords in plain text.
    ::prctl(PR_SET_DUMPABLE, 0);
    TCommandLine line;
    try {
        line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const EUsage& error) {
        std::cerr << TerminalText(error.Message) << "\n\n" << TerminalText(UsageText());
        return 2;
    }
    if (line.Help) {
        std::cout << TerminalText(UsageText());
        return 0;
    }
    if (line.Version) {
        std::cout << VersionText() << '\n';
        return 0;
    }

    // The keyring answers through an event loop. Its application object costs more than a
    // check of thousands of messages, so it is made when a command first uses the keyring
    // (always on this thread: the terminal's commands run no other).
    std::unique_ptr<QCoreApplication> application;
    SetKeyringApplicationMaker([&] {
        if (::gettid() == ::getpid())
            application = std::make_unique<QCoreApplication>(argc, argv);
    });
    if (line.TimeoutSeconds > 0)
        SetServerTimeouts(line.TimeoutSeconds * 1000, line.TimeoutSeconds * 1000);
    SetPreviewLines(line.PreviewLines);
    TConsoleUserInterface ui(std::cin, std::cerr);
    SetUserInterface(&ui);
    // Both outlive every session: the last records are released when the program ends.
    static TTrace trace([](const std::string& traceLine) { std::cerr << TerminalText(traceLine) << '\n'; });
    static TTracingIOHandler tracingTransport(trace);
    int status = 0;
    {
        TTerminalProgress progress;
        try {
            TCommandContext context{LoadAccounts(line), std::cout, std::cerr, ui,
                                    line.Trace ? &tracingTransport : nullptr, CommandPassword(line),
                                    CommandToken(line), line.LocalDates,
                                    line.AccountsFile.empty() ? AccountFilePath() : line.AccountsFile};
            status = RunCommand(line, context);
        } catch (const std::exception& error) {
            std::cout.flush();
            std::cerr << TerminalText(error.what()) << '\n';
            status = 1;
        }
        // Deletions are carried out however the command ended.
        try {
            CloseOpenSessions();
        } catch (const std::exception& error) {
            if (status != 1)
                std::cerr << TerminalText(error.what()) << '\n';
            status = 1;
        }
        EndSessions();
    }
    trace.Flush();
    SetUserInterface(nullptr);
    SetKeyringApplicationMaker({});
    return status;
}

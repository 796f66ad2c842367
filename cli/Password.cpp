#include "Password.h"

#include "Exception.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <poll.h>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string CommandFailed = "Příkaz pro heslo selhal: ";
const std::string CommandTimedOut = "Příkaz pro heslo neskončil včas, byl ukončen: ";
const std::string NoPassword = "Příkaz pro heslo nevypsal žádné heslo: ";
const std::string TokenCommandFailed = "Příkaz pro přístupový token selhal: ";
const std::string TokenCommandTimedOut = "Příkaz pro přístupový token neskončil včas, byl ukončen: ";
const std::string NoToken = "Příkaz pro přístupový token nevypsal žádný token: ";

// A password is one short line; a command that floods its output is not read to the end.
constexpr size_t MaxOutput = 64 * 1024;

struct TCommandOutput {
    std::string Bytes;
    bool Succeeded = false;
    bool TimedOut = false;
};

// The command runs in a process group of its own, so that it and everything it started
// can be ended together; while it runs that group has the terminal, so a keyring may
// still ask there.
class TForegroundGroup {
public:
    explicit TForegroundGroup(pid_t group)
    {
        FTerminal = ::isatty(STDIN_FILENO) && ::tcgetpgrp(STDIN_FILENO) == ::getpgrp();
        if (FTerminal)
            ::tcsetpgrp(STDIN_FILENO, group);
    }
    ~TForegroundGroup()
    {
        if (!FTerminal)
            return;
        // Taking the terminal back from a background group would stop this process.
        struct sigaction ignore {}, previous {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGTTOU, &ignore, &previous);
        ::tcsetpgrp(STDIN_FILENO, ::getpgrp());
        ::sigaction(SIGTTOU, &previous, nullptr);
    }
    TForegroundGroup(const TForegroundGroup&) = delete;
    TForegroundGroup& operator=(const TForegroundGroup&) = delete;

private:
    bool FTerminal = false;
};

// Milliseconds left until deadline, at least 0.
int MillisecondsLeft(std::chrono::steady_clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<long long>(left.count(), 0));
}

void ReadOutput(int from, TCommandOutput& output, std::chrono::steady_clock::time_point deadline)
{
    char chunk[4096];
    for (;;) {
        pollfd ready{from, POLLIN, 0};
        const int polled = ::poll(&ready, 1, MillisecondsLeft(deadline));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled == 0) {
            output.TimedOut = true;
            return;
        }
        const ssize_t count = ::read(from, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        output.Bytes.append(chunk, static_cast<size_t>(count));
        if (output.Bytes.size() > MaxOutput)
            return;
    }
}

// Runs command by /bin/sh with its standard output in a pipe; standard input and the
// error output stay the terminal's. When the output ends, the time runs out or the
// output floods, the command and whatever it left running are ended.
TCommandOutput RunShell(const std::string& command, int32_t timeoutMs)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return {};
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return {};
    }
    if (child == 0) {
        ::setpgid(0, 0);
        ::signal(SIGTTOU, SIG_DFL);
        ::dup2(ends[1], STDOUT_FILENO);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(child, child);
    ::close(ends[1]);
    TCommandOutput output;
    {
        TForegroundGroup foreground(child);
        ReadOutput(ends[0], output, std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs));
        ::close(ends[0]);
        if (output.TimedOut || output.Bytes.size() > MaxOutput)
            ::kill(-child, SIGKILL);
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        // Helpers the command left behind have no business running on.
        ::kill(-child, SIGKILL);
        output.Succeeded = !output.TimedOut && output.Bytes.size() <= MaxOutput && WIFEXITED(status)
            && WEXITSTATUS(status) == 0;
    }
    return output;
}

} // namespace

namespace {

struct TCommandTexts {
    const std::string& TimedOut;
    const std::string& Failed;
    const std::string& Nothing;
};

std::string FirstLineOf(const std::string& command, int32_t timeoutMs, const TCommandTexts& texts)
{
    const TCommandOutput run = RunShell(command, timeoutMs);
    if (run.TimedOut)
        throw Exception(texts.TimedOut + command);
    if (!run.Succeeded)
        throw Exception(texts.Failed + command);
    const std::string& output = run.Bytes;
    std::string line = output.substr(0, output.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    if (line.empty())
        throw Exception(texts.Nothing + command);
    return line;
}

} // namespace

std::string PasswordFromCommand(const std::string& command, int32_t timeoutMs)
{
    return FirstLineOf(command, timeoutMs, {CommandTimedOut, CommandFailed, NoPassword});
}

std::string TokenFromCommand(const std::string& command, int32_t timeoutMs)
{
    std::string token = FirstLineOf(command, timeoutMs, {TokenCommandTimedOut, TokenCommandFailed, NoToken});
    // Blanks around it are the other program's formatting, not the token's.
    const size_t first = token.find_first_not_of(" \t");
    const size_t last = token.find_last_not_of(" \t");
    token = first == std::string::npos ? std::string() : token.substr(first, last - first + 1);
    if (token.empty())
        throw Exception(NoToken + command);
    return token;
}

std::optional<std::string> OutsidePassword(const std::string& command)
{
    if (!command.empty())
        return PasswordFromCommand(command, PasswordCommandTimeoutMs);
    const char* fromEnvironment = std::getenv("KORMORAN_PASSWORD");
    if (fromEnvironment && *fromEnvironment)
        return std::string(fromEnvironment);
    return std::nullopt;
}

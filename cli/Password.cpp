#include "Password.h"

#include "Exception.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string CommandFailed = "Příkaz pro heslo selhal: ";
const std::string NoPassword = "Příkaz pro heslo nevypsal žádné heslo: ";

// A password is one short line; a command that floods its output is not read to the end.
constexpr size_t MaxOutput = 64 * 1024;

struct TCommandOutput {
    std::string Bytes;
    bool Succeeded = false;
};

// Runs command by /bin/sh with its standard output in a pipe; standard input and the
// error output stay the terminal's, so a keyring may ask there.
TCommandOutput RunShell(const std::string& command)
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
        ::dup2(ends[1], STDOUT_FILENO);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    TCommandOutput output;
    char chunk[4096];
    for (;;) {
        const ssize_t count = ::read(ends[0], chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        output.Bytes.append(chunk, static_cast<size_t>(count));
        if (output.Bytes.size() > MaxOutput) {
            ::kill(child, SIGKILL);
            break;
        }
    }
    ::close(ends[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    output.Succeeded = output.Bytes.size() <= MaxOutput && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return output;
}

} // namespace

std::string PasswordFromCommand(const std::string& command)
{
    const TCommandOutput run = RunShell(command);
    if (!run.Succeeded)
        throw Exception(CommandFailed + command);
    const std::string& output = run.Bytes;
    std::string password = output.substr(0, output.find('\n'));
    if (!password.empty() && password.back() == '\r')
        password.pop_back();
    if (password.empty())
        throw Exception(NoPassword + command);
    return password;
}

std::optional<std::string> OutsidePassword(const std::string& command)
{
    if (!command.empty())
        return PasswordFromCommand(command);
    const char* fromEnvironment = std::getenv("KORMORAN_PASSWORD");
    if (fromEnvironment && *fromEnvironment)
        return std::string(fromEnvironment);
    return std::nullopt;
}

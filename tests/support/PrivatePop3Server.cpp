#include "PrivatePop3Server.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The build passes the source tree's absolute path; __FILE__ may be relative (a compiler
// cache rewrites it), so it cannot find the script.
const std::string ScriptPath = std::filesystem::path(KORMORAN_SOURCE_DIR) / "scripts" / "private-pop3";

struct ScriptResult {
    int ExitCode;
    std::string Output; // standard output and error together
};

// Runs the script with nothing of ours inherited but the output pipe: a server that
// outlives this call must not hold the test's sockets open.
ScriptResult RunScript(const std::vector<std::string>& arguments)
{
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        throw std::runtime_error(std::string("private POP3 server: pipe failed: ") + std::strerror(errno));
    pid_t child = fork();
    if (child < 0)
        throw std::runtime_error(std::string("private POP3 server: fork failed: ") + std::strerror(errno));
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        dup2(pipeEnds[1], STDERR_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        std::vector<char*> argv = {const_cast<char*>("bash"), const_cast<char*>(ScriptPath.c_str())};
        for (const auto& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv("/bin/bash", argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    ScriptResult result{0, ""};
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0)
            break;
        result.Output.append(buffer, size_t(count));
    }
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

std::string LastLine(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text.substr(text.find_last_of('\n') + 1);
}

std::string MakeDirectory()
{
    // Always under /tmp: every directory above the Maildir must be searchable by the
    // server's own users, which a private TMPDIR may not be.
    char pattern[] = "/tmp/kormoran-pop3.XXXXXX";
    if (!mkdtemp(pattern))
        throw std::runtime_error(std::string("private POP3 server: mkdtemp failed: ") + std::strerror(errno));
    return pattern;
}

} // namespace

PrivatePop3Server::PrivatePop3Server(std::string user, std::string password, PrivatePop3Tls tls)
    : PrivatePop3Server(PrivatePop3Options{std::move(user), std::move(password), tls, false})
{
}

PrivatePop3Server::PrivatePop3Server(const PrivatePop3Options& options)
    : FDirectory(MakeDirectory()), FUser(options.User), FPassword(options.Password)
{
    PrivatePop3Tls tls = options.Tls;
    std::vector<std::string> arguments = {"start"};
    if (tls != PrivatePop3Tls::None)
        arguments.push_back(tls == PrivatePop3Tls::Valid     ? "--tls"
                            : tls == PrivatePop3Tls::Expired ? "--tls-expired"
                                                             : "--tls-self-signed");
    if (options.OAuth2)
        arguments.push_back("--oauth2");
    arguments.insert(arguments.end(), {FDirectory, FUser, FPassword});
    ScriptResult started = RunScript(arguments);
    if (started.ExitCode == 0)
        std::sscanf(LastLine(started.Output).c_str(), "%d %d", &FPort, &FTlsPort);
    if (started.ExitCode != 0 || FPort <= 0 || (tls != PrivatePop3Tls::None && FTlsPort <= 0)) {
        RunScript({"stop", FDirectory});
        rmdir(FDirectory.c_str());
        throw std::runtime_error("The private POP3 server (Dovecot) could not be started by " + ScriptPath +
                                 " (exit code " + std::to_string(started.ExitCode) + "):\n" + started.Output);
    }
}

bool PrivatePop3Server::HasIPv6Loopback()
{
    std::ifstream interfaces("/proc/net/if_inet6");
    std::string line;
    while (std::getline(interfaces, line))
        if (line.starts_with("00000000000000000000000000000001 "))
            return true;
    return false;
}

PrivatePop3Server::~PrivatePop3Server()
{
    RunScript({"stop", FDirectory});
}

void PrivatePop3Server::AddMessage(const std::string& bytes)
{
    AddMessages({bytes});
}

void PrivatePop3Server::AddMessages(const std::vector<std::string>& messages)
{
    if (messages.empty())
        return;
    std::vector<std::string> arguments = {"add", FDirectory};
    for (const auto& message : messages) {
        std::string path = FDirectory + "/staged-" + std::to_string(++FStagedCount) + ".eml";
        std::ofstream file(path, std::ios::binary);
        file << message;
        if (!file.flush())
            throw std::runtime_error("private POP3 server: cannot write " + path);
        arguments.push_back(path);
    }
    ScriptResult added = RunScript(arguments);
    for (size_t i = 2; i < arguments.size(); ++i)
        std::remove(arguments[i].c_str());
    if (added.ExitCode != 0)
        throw std::runtime_error("private POP3 server: messages could not be stored:\n" + added.Output);
}

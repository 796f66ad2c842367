#include "OAuthTestServer.h"

#include "LoopbackHttp.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

const std::string ScriptPath =
    std::filesystem::path(KORMORAN_SOURCE_DIR) / "tests" / "support" / "oauth-server.py";

[[noreturn]] void Fail(const std::string& why)
{
    throw std::runtime_error("OAuth test server (" + ScriptPath + "): " + why);
}

std::vector<std::string> Arguments(const OAuthTestServerOptions& options)
{
    std::vector<std::string> arguments = {"python3",     ScriptPath,     "--key-file",
                                          options.KeyFile, "--user",     options.User,
                                          "--client-id", options.ClientId, "--lifetime",
                                          std::to_string(options.Lifetime), "--interval",
                                          std::to_string(options.Interval)};
    if (!options.ClientSecret.empty())
        arguments.insert(arguments.end(), {"--client-secret", options.ClientSecret});
    if (!options.TlsCertificate.empty())
        arguments.insert(arguments.end(), {"--tls-cert", options.TlsCertificate, "--tls-key", options.TlsKey});
    return arguments;
}

// Reads what the child prints until its first line is complete, it ends, or 10 s pass.
std::string ReadFirstLine(int fd)
{
    std::string output;
    while (output.find('\n') == std::string::npos && output.size() < 65536) {
        pollfd ready{fd, POLLIN, 0};
        int polled = poll(&ready, 1, 10000);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            break;
        char buffer[1024];
        ssize_t count = read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        output.append(buffer, size_t(count));
    }
    return output;
}

} // namespace

OAuthTestServer::OAuthTestServer(OAuthTestServerOptions options) : FOptions(std::move(options))
{
    std::vector<std::string> arguments = Arguments(FOptions);
    // Built before the fork: the child of a process with threads must not allocate.
    std::vector<char*> argv;
    for (auto& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        Fail(std::string("pipe failed: ") + std::strerror(errno));
    pid_t child = fork();
    if (child < 0)
        Fail(std::string("fork failed: ") + std::strerror(errno));
    if (child == 0) {
        // Its errors go to the test's own output; nothing else of the test's is inherited.
        dup2(pipeEnds[1], STDOUT_FILENO);
        int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, STDIN_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        execvp("python3", argv.data());
        _exit(127);
    }
    close(pipeEnds[1]);
    FPid = child;
    std::string output = ReadFirstLine(pipeEnds[0]);
    close(pipeEnds[0]);
    try {
        FPort = std::stoi(output);
    } catch (const std::exception&) {
        FPort = 0;
    }
    if (FPort <= 0) {
        kill(FPid, SIGKILL);
        waitpid(FPid, nullptr, 0);
        FPid = -1;
        Fail("did not start; it printed: " + output);
    }
}

OAuthTestServer::~OAuthTestServer()
{
    if (FPid <= 0)
        return;
    kill(FPid, SIGTERM);
    while (waitpid(FPid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

std::string OAuthTestServer::BaseUrl() const
{
    return std::string(FOptions.TlsCertificate.empty() ? "http" : "https") + "://127.0.0.1:" + std::to_string(FPort);
}

std::string OAuthTestServer::Authorize(const std::string& authorizationUrl) const
{
    LoopbackHttpAnswer answer = LoopbackHttpRequest("GET", authorizationUrl);
    if (answer.Status != 302 || answer.Header("Location").empty())
        Fail("the authorization request was not redirected (" + std::to_string(answer.Status) + "): " + answer.Body);
    return answer.Header("Location");
}

std::string OAuthTestServer::Control(const std::string& action, const std::string& form) const
{
    LoopbackHttpAnswer answer = LoopbackHttpRequest("POST", BaseUrl() + "/control/" + action, form);
    if (answer.Status != 200)
        Fail("control " + action + " " + form + " refused: " + answer.Body);
    return answer.Body;
}

void OAuthTestServer::Set(const std::string& name, const std::string& value)
{
    Control("set", FormEncode({{name, value}}));
}

void OAuthTestServer::RevokeRefreshTokens()
{
    Control("revoke");
}

void OAuthTestServer::ApproveDevices()
{
    Control("approve");
}

int OAuthTestServer::Count(const std::string& endpoint) const
{
    return std::stoi(Control("count", FormEncode({{"endpoint", endpoint}})));
}

std::string OAuthTestServer::Stats() const
{
    return Control("stats");
}

void OAuthTestServer::Reset()
{
    Control("reset");
}

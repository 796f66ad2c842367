#include "RunCli.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

void Pipe(int ends[2])
{
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
}

} // namespace

TCliResult RunCli(const std::vector<std::string>& args, const std::string& input,
                  const std::function<void(const std::string& out)>& heard)
{
    int in[2], out[2], err[2];
    Pipe(in);
    Pipe(out);
    Pipe(err);
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        for (int fd = 3; fd < 1024; ++fd)
            ::close(fd);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(KORMORAN_CLI));
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(KORMORAN_CLI, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    // Small inputs only: the whole answer fits the pipe, so it is written before reading.
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0)
        throw std::runtime_error("write failed");
    ::close(in[1]);

    TCliResult result;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.Out, &result.Err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            char chunk[4096];
            const ssize_t count = ::read(fds[i].fd, chunk, sizeof chunk);
            if (count > 0) {
                sinks[i]->append(chunk, static_cast<size_t>(count));
                if (i == 0 && heard)
                    heard(result.Out);
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

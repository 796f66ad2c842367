// kormoran-cli check against a server whose TOP 1 0 never ends: the header block streams
// on and on. The check must end with an error, its peak memory under 100 MB. The figures
// are the child's peak resident size (wait4) and the wall time until it gives up.
#include "ScriptedServer.h"
#include "TemporaryDirectory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int64_t StreamedBytes = int64_t(4) << 30;  // more than any budget lets through
constexpr double PeakLimitMB = 100;

std::string CliPath()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    std::string self(path, static_cast<size_t>(std::max<ssize_t>(length, 0)));
    return self.substr(0, self.rfind('/') + 1) + "kormoran-cli";
}

struct TRun {
    int ExitStatus = -1;
    double PeakMB = 0;
    double Seconds = 0;
};

TRun RunCheck(const std::string& accounts)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int devnull = ::open("/dev/null", O_WRONLY);
        ::dup2(devnull, STDOUT_FILENO);
        ::dup2(devnull, STDERR_FILENO);
        const std::string cli = CliPath();
        ::execl(cli.c_str(), cli.c_str(), "--timeout", "10", "--accounts", accounts.c_str(), "check", "1", nullptr);
        ::_exit(127);
    }
    int status = 0;
    rusage usage {};
    ::wait4(child, &status, 0, &usage);
    TRun run;
    run.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return run;
}

void BM_CheckAgainstAnEndlessHeaderBlock(benchmark::State& state)
{
    TTemporaryDirectory directory;
    const std::string accounts = directory.File("accounts.dat");
    TRun last;
    for (auto _ : state) {
        state.PauseTiming();
        ScriptedServer server;
        server.Says("+OK ready").Expects("USER joe").Says("+OK").Expects("PASS secret").Says("+OK");
        server.Expects("STAT").Says("+OK 1 100").Expects("TOP 1 0").Says("+OK");
        server.Streams("X-Filler: " + std::string(68, 'x') + "\r\n", StreamedBytes);
        const int port = server.Start();
        std::ofstream(accounts, std::ios::binary | std::ios::trunc)
            << "joe@localhost\r\n127.0.0.1\r\njoe\r\nsecret\r\n" << port << "\r\n";
        state.ResumeTiming();
        last = RunCheck(accounts);
        state.PauseTiming();
        server.Finish();
        state.ResumeTiming();
        if (last.ExitStatus != 1 || last.PeakMB >= PeakLimitMB) {
            state.SkipWithError(("exit status " + std::to_string(last.ExitStatus) + ", peak " +
                                 std::to_string(last.PeakMB) + " MB").c_str());
            break;
        }
    }
    state.counters["peak_MB"] = last.PeakMB;
    state.counters["seconds"] = last.Seconds;
}

} // namespace

BENCHMARK(BM_CheckAgainstAnEndlessHeaderBlock)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// kormoran-cli against a large mailbox on a private Dovecot: the peak memory of a check of
// 5,000 and of 50,000 messages whose header blocks are 660 bytes long (goals: 20 MB and
// 100 MB), and the CPU time of deleting all 50,000 (goal: 0.5 s beyond the check that
// every delete command makes first). The figures are the child's own (wait4).
#include "LargeMailbox.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

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
    double CpuSeconds = 0;
    double WallSeconds = 0;
};

// A check ends with 0 when it found new mail, with 3 when it found none.
constexpr int NoNewMailStatus = 3;

bool CheckSucceeded(const TRun& run)
{
    return run.ExitStatus == 0 || run.ExitStatus == NoNewMailStatus;
}

// The state files of the checks go to the directory, not to the user's.
TRun RunCli(const std::vector<std::string>& arguments, const std::string& stateDirectory)
{
    std::vector<char*> argv;
    const std::string cli = CliPath();
    argv.push_back(const_cast<char*>(cli.c_str()));
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int devnull = ::open("/dev/null", O_RDWR);
        ::dup2(devnull, STDIN_FILENO);
        ::dup2(devnull, STDOUT_FILENO);
        ::setenv("XDG_STATE_HOME", stateDirectory.c_str(), 1);
        ::execv(cli.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage {};
    ::wait4(child, &status, 0, &usage);
    TRun run;
    run.WallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    run.ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.PeakMB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    run.CpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

TRun Check(const TLargeMailbox& mailbox)
{
    return RunCli({"--accounts", mailbox.Accounts, "check", "1"}, mailbox.Directory.Path());
}

// The mailboxes live until the end of the run; one per size.
TLargeMailbox& MailboxOf(int count)
{
    static std::map<int, std::unique_ptr<TLargeMailbox>> mailboxes;
    auto& mailbox = mailboxes[count];
    if (!mailbox) {
        mailbox = NewLargeMailbox(count);
        Check(*mailbox);
    }
    return *mailbox;
}

void BM_CliCheck(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    TRun last;
    try {
        TLargeMailbox& mailbox = MailboxOf(count);
        for (auto _ : state) {
            last = Check(mailbox);
            if (!CheckSucceeded(last)) {
                state.SkipWithError(("exit status " + std::to_string(last.ExitStatus)).c_str());
                break;
            }
        }
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    state.counters["peak_MB"] = last.PeakMB;
    state.counters["cpu_s"] = last.CpuSeconds;
    state.counters["wall_s"] = last.WallSeconds;
}
BENCHMARK(BM_CliCheck)->Arg(5000)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Every message of a new mailbox deleted with one command; the check before it measured
// alone on the same mailbox first.
void BM_CliDeleteAll(benchmark::State& state)
{
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::unique_ptr<TLargeMailbox> mailbox;
        TRun check;
        try {
            mailbox = NewLargeMailbox(count);
            Check(*mailbox);
            check = Check(*mailbox);
        } catch (const std::exception& failure) {
            state.SkipWithError(failure.what());
            break;
        }
        // Dovecot takes its time over 50,000 deletions at QUIT on a busy machine.
        std::vector<std::string> arguments = {"--accounts", mailbox->Accounts, "--timeout", "900", "--yes",
                                              "delete", "1"};
        for (int i = 1; i <= count; ++i)
            arguments.push_back(std::to_string(i));
        state.ResumeTiming();
        const TRun deletion = RunCli(arguments, mailbox->Directory.Path());
        state.PauseTiming();
        const TRun after = Check(*mailbox);
        mailbox.reset();
        state.ResumeTiming();
        if (deletion.ExitStatus != 0 || !CheckSucceeded(after)) {
            state.SkipWithError(("exit status " + std::to_string(deletion.ExitStatus) + ", of the check after it " +
                                 std::to_string(after.ExitStatus)).c_str());
            break;
        }
        state.counters["delete_cpu_s"] = deletion.CpuSeconds;
        state.counters["check_cpu_s"] = check.CpuSeconds;
        state.counters["beyond_check_cpu_s"] = deletion.CpuSeconds - check.CpuSeconds;
        state.counters["delete_peak_MB"] = deletion.PeakMB;
    }
}
BENCHMARK(BM_CliDeleteAll)->Arg(50000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

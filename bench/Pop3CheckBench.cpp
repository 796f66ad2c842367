// The mailbox check against a private Dovecot with 2,000 small messages: log in, STAT,
// TOP i 0 and LIST i for every message, QUIT. Python's poplib runs the same dialogue in
// the same run, so the two can be compared on one machine under one load.
#include "Pop3TestMessages.h"
#include "PrivatePop3Server.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int MessageCount = 2000;

PrivatePop3Server& CheckServer()
{
    static std::unique_ptr<PrivatePop3Server> server = [] {
        auto started = std::make_unique<PrivatePop3Server>();
        std::vector<std::string> messages;
        for (int i = 1; i <= MessageCount; ++i)
            messages.push_back(SmallMessage(i));
        started->AddMessages(messages);
        return started;
    }();
    return *server;
}

struct PoplibFigures {
    double WallSeconds = 0;
    double CpuMicrosecondsPerMessage = 0;
};

PoplibFigures RunPoplibCheck(const PrivatePop3Server& server)
{
    const std::string script = std::filesystem::path(__FILE__).parent_path() / "poplib_check.py";
    std::string command = "python3 '" + script + "' " + std::to_string(server.Port()) + " " + server.User() + " " +
                          server.Password();
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        throw std::runtime_error("cannot run " + script);
    char line[256] = {};
    bool read = fgets(line, sizeof line, output) != nullptr;
    int status = pclose(output);
    PoplibFigures figures;
    int messages = 0;
    if (!read || status != 0 ||
        std::sscanf(line, "messages=%d wall_s=%lf cpu_s=%*f cpu_us_per_message=%lf", &messages, &figures.WallSeconds,
                    &figures.CpuMicrosecondsPerMessage) != 3 ||
        messages != MessageCount)
        throw std::runtime_error("poplib check failed: " + std::string(line));
    return figures;
}

// poplib's wall time is its own measurement (Python's start-up excluded); its CPU time
// per message is reported as a counter, since the benchmark's own CPU column would only
// show this process waiting for the child.
void BM_PoplibCheck(benchmark::State& state)
{
    PrivatePop3Server& server = CheckServer();
    double cpuMicroseconds = 0;
    for (auto _ : state) {
        PoplibFigures figures = RunPoplibCheck(server);
        state.SetIterationTime(figures.WallSeconds);
        cpuMicroseconds += figures.CpuMicrosecondsPerMessage;
    }
    state.counters["cpu_us_per_msg"] = cpuMicroseconds / double(state.iterations());
}
BENCHMARK(BM_PoplibCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace

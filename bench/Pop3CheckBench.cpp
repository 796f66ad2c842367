// The mailbox check against a private Dovecot with 2,000 small messages: log in, STAT,
// TOP i 0 and LIST i for every message, QUIT. Python's poplib runs the same dialogue in
// the same run, so the two can be compared on one machine under one load.
//
// Both clients make the same system calls (one send and one receive per command), so most
// of the CPU time is the kernel's loopback path and the wake-ups of client and server.
// Those costs swing with where the scheduler puts the processes; run under
// `taskset -c 0` (the server inherits it) for steadier figures.
#include "IdMessage.h"
#include "IdPOP3.h"
#include "Pop3TestMessages.h"
#include "PrivatePop3Server.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int MessageCount = 2000;

std::string PoplibScript()
{
    return std::filesystem::path(BENCH_SOURCE_DIR) / "poplib_check.py";
}

// Dovecot builds its index and cache on the first look into a mailbox; one check before
// the measured ones keeps that out of the first client's figures.
void WarmUp(const PrivatePop3Server& server)
{
    std::string command = "python3 '" + PoplibScript() + "' " + std::to_string(server.Port()) + " " + server.User() +
                          " " + server.Password() + " >/dev/null";
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("the warm-up check failed");
}

PrivatePop3Server& CheckServer()
{
    static std::unique_ptr<PrivatePop3Server> server = [] {
        auto started = std::make_unique<PrivatePop3Server>();
        std::vector<std::string> messages;
        for (int i = 1; i <= MessageCount; ++i)
            messages.push_back(SmallMessage(i));
        started->AddMessages(messages);
        WarmUp(*started);
        return started;
    }();
    return *server;
}

// This process's user and system CPU seconds.
struct CpuTimes {
    double User = 0;
    double System = 0;

    static CpuTimes Now()
    {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        auto seconds = [](const timeval& time) { return double(time.tv_sec) + double(time.tv_usec) / 1e6; };
        return {seconds(usage.ru_utime), seconds(usage.ru_stime)};
    }
};

void ReportCpuPerMessage(benchmark::State& state, double userSeconds, double systemSeconds)
{
    double perMessage = 1e6 / double(state.iterations()) / MessageCount;
    state.counters["cpu_us_per_msg"] = (userSeconds + systemSeconds) * perMessage;
    state.counters["user_us_per_msg"] = userSeconds * perMessage;
    state.counters["sys_us_per_msg"] = systemSeconds * perMessage;
}

void Configure(TIdPOP3& client, const PrivatePop3Server& server)
{
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.Username = server.User();
    client.Password = server.Password();
}

// What the mailbox session does for a check: every header block parsed into a message.
void BM_Pop3Check(benchmark::State& state)
{
    PrivatePop3Server& server = CheckServer();
    double userSeconds = 0, systemSeconds = 0;
    for (auto _ : state) {
        CpuTimes start = CpuTimes::Now();
        TIdPOP3 client;
        Configure(client, server);
        client.OpenConnection(-1);
        int32_t count = client.CountMessages();
        for (int32_t i = 1; i <= count; ++i) {
            TIdMessage message;
            client.FetchHeader(i, message);
            message.Tag = client.FetchSize(i);
            benchmark::DoNotOptimize(message.Subject);
        }
        client.CloseConnection();
        CpuTimes end = CpuTimes::Now();
        userSeconds += end.User - start.User;
        systemSeconds += end.System - start.System;
        if (count != MessageCount)
            state.SkipWithError("the mailbox does not hold the messages it should");
    }
    ReportCpuPerMessage(state, userSeconds, systemSeconds);
}
BENCHMARK(BM_Pop3Check)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

struct PoplibFigures {
    double WallSeconds = 0;
    double UserMicrosecondsPerMessage = 0;
    double SystemMicrosecondsPerMessage = 0;
};

PoplibFigures RunPoplibCheck(const PrivatePop3Server& server)
{
    const std::string script = PoplibScript();
    std::string command = "python3 '" + script + "' " + std::to_string(server.Port()) + " " + server.User() + " " +
                          server.Password();
    FILE* output = popen(command.c_str(), "r");
    if (!output)
        throw std::runtime_error("cannot run " + script);
    char line[512] = {};
    bool read = fgets(line, sizeof line, output) != nullptr;
    int status = pclose(output);
    PoplibFigures figures;
    int messages = 0;
    if (!read || status != 0 ||
        std::sscanf(line, "messages=%d wall_s=%lf cpu_s=%*f cpu_us_per_message=%*f user_us_per_message=%lf "
                          "sys_us_per_message=%lf",
                    &messages, &figures.WallSeconds, &figures.UserMicrosecondsPerMessage,
                    &figures.SystemMicrosecondsPerMessage) != 4 ||
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
    double userSeconds = 0, systemSeconds = 0;
    for (auto _ : state) {
        PoplibFigures figures = RunPoplibCheck(server);
        state.SetIterationTime(figures.WallSeconds);
        userSeconds += figures.UserMicrosecondsPerMessage * MessageCount / 1e6;
        systemSeconds += figures.SystemMicrosecondsPerMessage * MessageCount / 1e6;
    }
    ReportCpuPerMessage(state, userSeconds, systemSeconds);
}
BENCHMARK(BM_PoplibCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

// One message of about 50 MB: a text part and a base64 attachment that is decoded into
// its temporary file on the way.
constexpr size_t LargeAttachmentBytes = 37'500'000;

PrivatePop3Server& LargeMessageServer()
{
    static std::unique_ptr<PrivatePop3Server> server = [] {
        auto started = std::make_unique<PrivatePop3Server>();
        started->AddMessage(MultipartMessage(BinaryAttachmentBytes(LargeAttachmentBytes), "large.bin"));
        return started;
    }();
    return *server;
}

void BM_Pop3RetrLargeMessage(benchmark::State& state)
{
    PrivatePop3Server& server = LargeMessageServer();
    TIdPOP3 client;
    Configure(client, server);
    client.OpenConnection(-1);
    int32_t size = client.FetchSize(1);
    for (auto _ : state) {
        TIdMessage message;
        if (!client.FetchMessage(1, message) || message.Parts.Count() != 2)
            state.SkipWithError("the large message did not arrive whole");
    }
    client.CloseConnection();
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["message_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_Pop3RetrLargeMessage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

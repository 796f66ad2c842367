// The mailbox check against a private Dovecot: log in, CAPA, STAT, TOP i 0 and LIST i for
// every message, QUIT. Dovecot lists PIPELINING, so our client sends the TOP and LIST
// commands ahead of their replies. Python's poplib sends the same commands one at a time
// in the same run, so the two can be compared on one machine under one load:
// - on loopback with 5,000 messages, for CPU time (poplib makes one send and one receive
//   system call per command, we make a few per batch);
// - through a proxy that delays every byte by 25 ms each way, with 300 messages, for the
//   time a check takes on a real link.
//
// CPU figures swing with where the scheduler puts the processes; run under
// `taskset -c 0` (the server inherits it) for steadier figures.
#include "DelayingProxy.h"
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

constexpr int MessageCount = 5000;
constexpr int DelayedMessageCount = 300;

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

std::unique_ptr<PrivatePop3Server> StartWithSmallMessages(int count)
{
    auto started = std::make_unique<PrivatePop3Server>();
    std::vector<std::string> messages;
    for (int i = 1; i <= count; ++i)
        messages.push_back(SmallMessage(i));
    started->AddMessages(messages);
    WarmUp(*started);
    return started;
}

PrivatePop3Server& CheckServer()
{
    static std::unique_ptr<PrivatePop3Server> server = StartWithSmallMessages(MessageCount);
    return *server;
}

// The server of the latency figures and the proxy in front of it.
PrivatePop3Server& DelayedServer()
{
    static std::unique_ptr<PrivatePop3Server> server = StartWithSmallMessages(DelayedMessageCount);
    return *server;
}

int DelayedPort()
{
    static DelayingProxy proxy(DelayedServer().Port(), std::chrono::milliseconds(25));
    return proxy.Port();
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

void Configure(TIdPOP3& client, const PrivatePop3Server& server, int port)
{
    client.Host = "127.0.0.1";
    client.Port = port;
    client.Username = server.User();
    client.Password = server.Password();
}

void Configure(TIdPOP3& client, const PrivatePop3Server& server)
{
    Configure(client, server, server.Port());
}

// What the mailbox session does for a check: every header block parsed into a message.
int32_t Check(TIdPOP3& client)
{
    client.OpenConnection(-1);
    client.AskCapabilities();
    int32_t count = client.CountMessages();
    client.PlanHeaders(1, count);
    for (int32_t i = 1; i <= count; ++i) {
        TIdMessage message;
        client.FetchHeader(i, message);
        message.Tag = client.FetchSize(i);
        benchmark::DoNotOptimize(message.Subject);
    }
    client.CloseConnection();
    return count;
}

// The same with the unique IDs (UIDL) the check asks first, in the same pipelined batch.
int32_t CheckWithUniqueIds(TIdPOP3& client)
{
    client.OpenConnection(-1);
    client.AskCapabilities();
    int32_t count = client.CountMessages();
    client.PlanUniqueIdsAndHeaders(count);
    const auto ids = client.FetchUniqueIds(count);
    if (!ids || ids->size() != size_t(count))
        throw std::runtime_error("UIDL did not list every message");
    for (int32_t i = 1; i <= count; ++i) {
        TIdMessage message;
        client.FetchHeader(i, message);
        message.Tag = client.FetchSize(i);
        benchmark::DoNotOptimize(message.Subject);
    }
    client.CloseConnection();
    return count;
}

void MeasureCheck(benchmark::State& state, int32_t (*check)(TIdPOP3&))
{
    PrivatePop3Server& server = CheckServer();
    double userSeconds = 0, systemSeconds = 0;
    for (auto _ : state) {
        CpuTimes start = CpuTimes::Now();
        TIdPOP3 client;
        Configure(client, server);
        int32_t count = check(client);
        CpuTimes end = CpuTimes::Now();
        userSeconds += end.User - start.User;
        systemSeconds += end.System - start.System;
        if (count != MessageCount)
            state.SkipWithError("the mailbox does not hold the messages it should");
    }
    ReportCpuPerMessage(state, userSeconds, systemSeconds);
}

void BM_Pop3Check(benchmark::State& state)
{
    MeasureCheck(state, Check);
}
BENCHMARK(BM_Pop3Check)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

void BM_Pop3CheckWithUidl(benchmark::State& state)
{
    MeasureCheck(state, CheckWithUniqueIds);
}
BENCHMARK(BM_Pop3CheckWithUidl)->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true)->UseRealTime();

struct PoplibFigures {
    double WallSeconds = 0;
    double UserMicrosecondsPerMessage = 0;
    double SystemMicrosecondsPerMessage = 0;
};

PoplibFigures RunPoplibCheck(const PrivatePop3Server& server, int port, int expectedCount)
{
    const std::string script = PoplibScript();
    std::string command = "python3 '" + script + "' " + std::to_string(port) + " " + server.User() + " " +
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
        messages != expectedCount)
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
        PoplibFigures figures = RunPoplibCheck(server, server.Port(), MessageCount);
        state.SetIterationTime(figures.WallSeconds);
        userSeconds += figures.UserMicrosecondsPerMessage * MessageCount / 1e6;
        systemSeconds += figures.SystemMicrosecondsPerMessage * MessageCount / 1e6;
    }
    ReportCpuPerMessage(state, userSeconds, systemSeconds);
}
BENCHMARK(BM_PoplibCheck)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10)->Repetitions(3)->ReportAggregatesOnly(true);

// A check through the proxy: what the user waits for on a link with a 50 ms round trip.
void BM_Pop3CheckDelayed(benchmark::State& state)
{
    const int port = DelayedPort();
    for (auto _ : state) {
        TIdPOP3 client;
        Configure(client, DelayedServer(), port);
        if (Check(client) != DelayedMessageCount)
            state.SkipWithError("the mailbox does not hold the messages it should");
    }
}
BENCHMARK(BM_Pop3CheckDelayed)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// poplib waits for every reply: about 600 round trips, half a minute, so it runs once.
void BM_PoplibCheckDelayed(benchmark::State& state)
{
    const int port = DelayedPort();
    for (auto _ : state)
        state.SetIterationTime(RunPoplibCheck(DelayedServer(), port, DelayedMessageCount).WallSeconds);
}
BENCHMARK(BM_PoplibCheckDelayed)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

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
        if (!client.FetchMessage(1, message) || message.Parts().Count() != 2)
            state.SkipWithError("the large message did not arrive whole");
    }
    client.CloseConnection();
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.counters["message_MB"] = double(size) / 1e6;
}
BENCHMARK(BM_Pop3RetrLargeMessage)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

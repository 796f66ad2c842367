// The mailbox session against a private Dovecot: a check of 5,000 messages, and the
// download of one 50 MB message with and without a progress listener that lets
// pending events run (as the window's does).
#include "PrivatePop3Server.h"
#include "Progress.h"
#include "udm.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <memory>

namespace {

constexpr int CheckMessageCount = 5000;
constexpr size_t BigMessageBytes = 50u << 20;

// With the verdict headers a large provider and a spam filter write above the sender's.
std::string SmallMessage(int number)
{
    const std::string n = std::to_string(number);
    return "Authentication-Results: mx.example.net;\r\n"
           "       dkim=pass header.i=@example.org header.s=20230601 header.b=Ab+cd/E1;\r\n"
           "       spf=pass (example.net: domain of sender" + n + "@example.org designates 192.0.2.1 as permitted"
           " sender) smtp.mailfrom=sender" + n + "@example.org;\r\n"
           "       dmarc=pass (p=REJECT sp=REJECT dis=NONE) header.from=example.org\r\n"
           "X-Spam-Flag: NO\r\n"
           "X-Spam-Status: No, score=-1.9 required=5.0 tests=BAYES_00,DKIM_SIGNED,DKIM_VALID autolearn=ham\r\n"
           "X-Spam-Level: \r\n"
           "Reply-To: sender" + n + "@example.org\r\n"
           "Return-Path: <sender" + n + "@example.org>\r\n"
           "Received: from mail.example.org by pop.example.net; Tue, 8 Dec 2026 10:00:00 +0100\r\n"
           "From: =?windows-1250?Q?Odes=EDlatel_" + n + "?= <sender" + n + "@example.org>\r\n"
           "To: Someone <someone@example.net>, other@example.net\r\n"
           "Subject: Message number " + n + "\r\n"
           "Date: Tue, 08 Dec 2026 10:00:00 +0100\r\n"
           "Message-ID: <" + n + ".bench@example.org>\r\n"
           "MIME-Version: 1.0\r\n"
           "Content-Type: text/plain; charset=windows-1250\r\n"
           "\r\n"
           "Body of message " + n + ".\r\n";
}

std::string BigMessage()
{
    std::string message = "From: big@example.org\r\nSubject: Big\r\nMessage-ID: <big@example.org>\r\n\r\n";
    const std::string line = std::string(76, 'x') + "\r\n";
    while (message.size() + line.size() <= BigMessageBytes)
        message += line;
    return message;
}

TPOP3Rec AccountOf(const PrivatePop3Server& server)
{
    TPOP3Rec account;
    account.Address = server.User() + "@localhost";
    account.Host = "127.0.0.1";
    account.Port = server.Port();
    account.User = server.User();
    account.Password = server.Password();
    return account;
}

double ProcessCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

PrivatePop3Server& CheckServer()
{
    static PrivatePop3Server server;
    static const bool filled = [] {
        std::vector<std::string> messages;
        for (int i = 1; i <= CheckMessageCount; ++i)
            messages.push_back(SmallMessage(i));
        server.AddMessages(messages);
        return true;
    }();
    (void)filled;
    return server;
}

// Resident memory of this process, in bytes.
double ResidentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

void BM_CheckMailbox(benchmark::State& state)
{
    const TPOP3Rec account = AccountOf(CheckServer());
    double cpu = 0;
    for (auto _ : state) {
        const double start = ProcessCpuSeconds();
        try {
            if (CheckMailbox(CreateSession(account)) != CheckMessageCount)
                state.SkipWithError("wrong message count");
        } catch (const std::exception& failure) {
            state.SkipWithError(failure.what());
            break;
        }
        cpu += ProcessCpuSeconds() - start;
    }
    state.counters["cpu_us_per_msg"] = cpu * 1e6 / double(state.iterations()) / CheckMessageCount;
    state.counters["wall_us_per_msg"] =
        benchmark::Counter(double(state.iterations()) * CheckMessageCount, benchmark::Counter::kIsRate |
                                                                               benchmark::Counter::kInvert);
}
BENCHMARK(BM_CheckMailbox)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

#ifdef KORMORAN_HAS_VERDICTS
// The verdicts alone, over the records of the last check: their share of its CPU.
void BM_JudgeCheckedMessages(benchmark::State& state)
{
    if (HeaderRecords().empty()) {
        state.SkipWithError("run after BM_CheckMailbox");
        return;
    }
    for (auto _ : state)
        for (const auto& record : HeaderRecords())
            benchmark::DoNotOptimize(JudgeMessage(*record->Msg, false));
    state.counters["cpu_us_per_msg"] = benchmark::Counter(double(state.iterations()) * double(HeaderRecords().size()),
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_JudgeCheckedMessages)->Unit(benchmark::kMillisecond)->Iterations(20);
#endif

// The records of ten accounts of 5,000 messages each, held at once (each check's list is
// kept while the next account is checked): the growth of resident memory they cost.
// Registered after the verdicts, which judge the records BM_CheckMailbox left.
void BM_TenAccountsHeld(benchmark::State& state)
{
    constexpr int Accounts = 10;
    const TPOP3Rec account = AccountOf(CheckServer());
    for (auto _ : state) {
        CheckMailbox(CreateSession(account));
        EndSessions();
        const double before = ResidentBytes();
        std::vector<std::vector<std::shared_ptr<TMessageHeader>>> held;
        for (int i = 0; i < Accounts; ++i) {
            CheckMailbox(CreateSession(account));
            held.push_back(HeaderRecords());
        }
        state.counters["held_MB"] = (ResidentBytes() - before) / 1e6;
        state.counters["process_MB"] = ResidentBytes() / 1e6;
        state.counters["per_record_B"] = (ResidentBytes() - before) / (Accounts * CheckMessageCount);
        EndSessions();
    }
}
BENCHMARK(BM_TenAccountsHeld)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// One record of the big message, downloaded again in every iteration.
std::shared_ptr<TMessageHeader> BigRecord()
{
    static PrivatePop3Server server;
    static const std::shared_ptr<TMessageHeader> record = [] {
        server.AddMessage(BigMessage());
        CheckMailbox(CreateSession(AccountOf(server)));
        return HeaderRecords().front();
    }();
    return record;
}

void Download(benchmark::State& state)
{
    try {
        const auto record = BigRecord();
        for (auto _ : state)
            record->Download();
        state.SetBytesProcessed(int64_t(state.iterations()) * record->Msg->Tag);
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
    }
}

void BM_DownloadWithoutListener(benchmark::State& state)
{
    SetWorkListener({});
    Download(state);
}
BENCHMARK(BM_DownloadWithoutListener)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// As in the window: every notification posts an event to a receiver, and the session lets
// pending events run, which delivers it.
void BM_DownloadWithListener(benchmark::State& state)
{
    QObject window;
    int64_t notifications = 0;
    SetWorkListener([&](int32_t workCount) {
        ++notifications;
        QCoreApplication::postEvent(&window, new TPop3WorkEvent(workCount));
    });
    Download(state);
    SetWorkListener({});
    state.counters["notifications"] = double(notifications) / double(state.iterations());
}
BENCHMARK(BM_DownloadWithListener)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace

// The application lives in main and goes before the libraries' own statics; the records
// go before it.
int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        QCoreApplication application(argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        EndSessions();
    }
    return 0;
}

// What TLS costs against the private Dovecot: a RETR of one message of about 50 MB and a
// check of 2,000 messages (log-in, STAT, TOP i 0 and LIST i for each, QUIT), each in
// plain text (argument 0) and over TLS from the first byte (argument 1), on one server
// in one run. The goal is TLS at most 1.3 times the plain time for both.
#include "IdMessage.h"
#include "IdPOP3.h"
#include "Pop3TestMessages.h"
#include "PrivatePop3Server.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int CheckMessageCount = 2000;
// A text part and a base64 attachment decoded on the way: about 50 MB on the wire.
constexpr size_t LargeAttachmentBytes = 37'500'000;

std::unique_ptr<PrivatePop3Server> StartServer(const std::vector<std::string>& messages)
{
    auto server = std::make_unique<PrivatePop3Server>(PrivatePop3Tls::Valid);
    server->AddMessages(messages);
    setenv("SSL_CERT_FILE", server->CaFile().c_str(), 1);
    return server;
}

PrivatePop3Server& LargeMessageServer()
{
    static std::unique_ptr<PrivatePop3Server> server =
        StartServer({MultipartMessage(BinaryAttachmentBytes(LargeAttachmentBytes), "large.bin")});
    return *server;
}

PrivatePop3Server& CheckServer()
{
    static std::unique_ptr<PrivatePop3Server> server = [] {
        std::vector<std::string> messages;
        for (int i = 1; i <= CheckMessageCount; ++i)
            messages.push_back(SmallMessage(i));
        auto started = StartServer(messages);
        // Dovecot builds its index on the first look; keep that out of the figures.
        TIdPOP3 warmUp;
        warmUp.Host = "127.0.0.1";
        warmUp.Port = started->Port();
        warmUp.Username = started->User();
        warmUp.Password = started->Password();
        warmUp.OpenConnection(-1);
        for (int32_t i = 1; i <= CheckMessageCount; ++i) {
            TIdMessage message;
            warmUp.FetchHeader(i, message);
        }
        warmUp.CloseConnection();
        return started;
    }();
    return *server;
}

void Configure(TIdPOP3& client, const PrivatePop3Server& server, bool tls)
{
    // The certificate names 127.0.0.1, the trust comes from SSL_CERT_FILE.
    client.Host = "127.0.0.1";
    client.Security = tls ? csImplicitTls : csNone;
    client.Port = tls ? server.TlsPort() : server.Port();
    client.Username = server.User();
    client.Password = server.Password();
}

void BM_Retr50MB(benchmark::State& state)
{
    PrivatePop3Server& server = LargeMessageServer();
    TIdPOP3 client;
    Configure(client, server, state.range(0) != 0);
    client.OpenConnection(-1);
    const int32_t size = client.FetchSize(1);
    for (auto _ : state) {
        TIdMessage message;
        if (!client.FetchMessage(1, message) || message.Parts().Count() != 2)
            state.SkipWithError("the large message did not arrive whole");
    }
    client.CloseConnection();
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
    state.SetLabel(state.range(0) ? "TLS" : "plain");
}
BENCHMARK(BM_Retr50MB)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)
    ->ReportAggregatesOnly(true)->UseRealTime();

void BM_Check2000(benchmark::State& state)
{
    PrivatePop3Server& server = CheckServer();
    for (auto _ : state) {
        TIdPOP3 client;
        Configure(client, server, state.range(0) != 0);
        client.OpenConnection(-1);
        const int32_t count = client.CountMessages();
        for (int32_t i = 1; i <= count; ++i) {
            TIdMessage message;
            client.FetchHeader(i, message);
            message.Tag = client.FetchSize(i);
            benchmark::DoNotOptimize(message.Subject);
        }
        client.CloseConnection();
        if (count != CheckMessageCount)
            state.SkipWithError("the mailbox does not hold the messages it should");
    }
    state.SetLabel(state.range(0) ? "TLS" : "plain");
}
BENCHMARK(BM_Check2000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)
    ->ReportAggregatesOnly(true)->UseRealTime();

} // namespace

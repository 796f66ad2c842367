#include "IdIOHandlerMemory.h"
#include "IdTCPClient.h"
#include "ScriptedServer.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// A mailbox download is a stream of short lines; ReadLine must keep up with the socket
// and hold no more than a receive chunk and a line while it does.

namespace {

constexpr int64_t LineBytes = 76;
// At least 256 MB, in whole lines.
constexpr int64_t StreamBytes = (256LL * 1024 * 1024 + LineBytes - 1) / LineBytes * LineBytes;

// 76-byte lines (74 characters, CR LF), sent in blocks of about 64 KB.
std::string LineBlock()
{
    std::string line;
    for (int i = 0; i < 74; ++i)
        line += static_cast<char>('A' + i % 26);
    line += "\r\n";
    std::string block;
    while (block.size() + line.size() <= 65536)
        block += line;
    return block;
}

void StartStream(ScriptedServer& server)
{
    server.Streams(LineBlock(), StreamBytes);
    server.Start();
}

} // namespace

static void BM_ReadLineFromLoopback(benchmark::State& state)
{
    size_t largestQueueMemory = 0;
    int32_t largestUnread = 0;
    for (auto _ : state) {
        ScriptedServer server;
        StartStream(server);
        TIdTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.OpenConnection();
        int64_t read = 0;
        for (int64_t lines = 0; read < StreamBytes; ++lines) {
            read += static_cast<int64_t>(client.ReadLine().size()) + 2;
            if ((lines & 1023) == 0) {
                largestQueueMemory = std::max(largestQueueMemory, client.InputQueue.Capacity());
                largestUnread = std::max(largestUnread, client.InputQueue.Size());
            }
        }
        client.CloseConnection();
        server.Finish();
    }
    state.SetBytesProcessed(state.iterations() * StreamBytes);
    state.counters["QueueMemory"] = static_cast<double>(largestQueueMemory);
    state.counters["QueueUnread"] = largestUnread;
}
BENCHMARK(BM_ReadLineFromLoopback)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same bytes through a plain recv loop into a fixed buffer: the ceiling.
static void BM_RawRecvFromLoopback(benchmark::State& state)
{
    for (auto _ : state) {
        ScriptedServer server;
        StartStream(server);
        int socket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(server.Port()));
        if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
            state.SkipWithError("cannot connect");
            break;
        }
        static char buffer[32768];
        int64_t read = 0;
        for (ssize_t received; read < StreamBytes && (received = recv(socket, buffer, sizeof(buffer), 0)) > 0;)
            read += received;
        benchmark::DoNotOptimize(buffer);
        close(socket);
        server.Finish();
    }
    state.SetBytesProcessed(state.iterations() * StreamBytes);
}
BENCHMARK(BM_RawRecvFromLoopback)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// Line splitting alone, over the in-memory transport.
static void BM_ReadLineFromMemory(benchmark::State& state)
{
    const std::string block = LineBlock();
    std::string bytes;
    while (bytes.size() < 16 * 1024 * 1024)
        bytes += block;
    for (auto _ : state) {
        state.PauseTiming();
        TIdIOHandlerMemory handler;
        TIdTCPConnection connection;
        connection.SetIOHandler(&handler);
        handler.Feed(bytes);
        state.ResumeTiming();
        int64_t read = 0;
        while (read < static_cast<int64_t>(bytes.size()))
            read += static_cast<int64_t>(connection.ReadLine().size()) + 2;
        benchmark::DoNotOptimize(read);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_ReadLineFromMemory)->Unit(benchmark::kMillisecond);

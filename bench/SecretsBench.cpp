// What the secrets cost a check: the keyring read of an account's password (the first
// read of a process opens the Secret Service, later ones reuse it) and the provider table
// load. The keyring is a private one: the benchmark runs itself again inside
// tests/support/with-keyring.
#include "Keyring.h"
#include "Providers.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

const TKeyringAccount Account{"joe@example.org", "pop.example.org", "joe"};

void BM_KeyringFirstReadOfAProcess(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadKeyringPassword(Account));
}
BENCHMARK(BM_KeyringFirstReadOfAProcess)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_KeyringReadPerCheck(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadKeyringPassword(Account));
}
BENCHMARK(BM_KeyringReadPerCheck)->Unit(benchmark::kMillisecond);

void BM_ProviderTableLoad(benchmark::State& state)
{
    for (auto _ : state) {
        const TProviderTable table = TProviderTable::Load(BENCH_SOURCE_DIR "/../dist/providers");
        benchmark::DoNotOptimize(table.Find("joe@gmail.com"));
    }
}
BENCHMARK(BM_ProviderTableLoad)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char* argv[])
{
    if (!std::getenv("KORMORAN_BENCH_PRIVATE_KEYRING")) {
        ::setenv("KORMORAN_BENCH_PRIVATE_KEYRING", "1", 1);
        std::vector<char*> arguments{const_cast<char*>(WITH_KEYRING)};
        arguments.insert(arguments.end(), argv, argv + argc);
        arguments.push_back(nullptr);
        ::execv(WITH_KEYRING, arguments.data());
        return 1;
    }
    QCoreApplication application(argc, argv);
    WriteKeyringPassword(Account, "heslo");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

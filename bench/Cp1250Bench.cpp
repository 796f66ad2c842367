#include "Cp1250.h"

#include <benchmark/benchmark.h>

// Text crosses into the widgets on every view; this keeps an eye on the cost per byte.
static void BM_Utf8FromCp1250(benchmark::State& state)
{
    std::string text;
    for (int i = 0; i < 4096; ++i)
        text += "P\xF8\xED\x6Ci\x9A \x9Elu\x9Do\xE8k\xFD k\xF9\xF2. ";
    for (auto _ : state)
        benchmark::DoNotOptimize(Utf8FromCp1250(text));
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_Utf8FromCp1250);

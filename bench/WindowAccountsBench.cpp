// The window holding the lists of ten accounts of 5,000 messages each at once, after
// "Zkontrolovat vše": the memory of the whole process (goal: under 150 MB). The accounts
// are ten entries for one mailbox of a private Dovecot, each keeping its own records. Runs
// alone in its process so that the memory is the window's.
#include "HeaderList.h"
#include "LargeMailbox.h"
#include "WindowBenchSupport.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

constexpr int AccountCount = 10;
constexpr int MailboxSize = 5000;
constexpr int CheckAllMs = 600000;

const TBenchConfiguration Configuration("accounts");

std::unique_ptr<TLargeMailbox> Mailbox;

// Ten entries that differ in their addresses, all for the one mailbox.
void WriteAccounts()
{
    std::string entries;
    for (int i = 1; i <= AccountCount; ++i)
        entries += AccountEntry("bench" + std::to_string(i) + "@localhost", *Mailbox->Server);
    Configuration.WriteAccounts(entries);
}

void BM_TenAccountsInTheWindow(benchmark::State& state)
{
    const bool prepared = SetUpOrSkip(state, [] {
        Mailbox = NewLargeMailbox(MailboxSize);
        CheckPrivateMailbox(*Mailbox->Server);   // Dovecot builds its index
        EndSessions();
        WriteAccounts();
    });
    if (!prepared)
        return;
    Tfmain window;
    ShowWindow(window);
    window.WaitForServer(CheckAllMs);   // a check at start, if the settings ask for one
    window.poplist->setCurrentRow(0);
    for (auto _ : state) {
        window.CheckAllAccounts();
        if (!window.WaitForServer(CheckAllMs)) {
            state.SkipWithError("the checks did not end");
            return;
        }
        QApplication::processEvents();
    }
    if (window.poplist->count() != AccountCount || window.headlist->RowCount() != MailboxSize)
        state.SkipWithError("not every account was listed");
    state.counters["accounts"] = window.poplist->count();
    state.counters["rows"] = window.headlist->RowCount();
    state.counters["resident_MB"] = ProcessMB("VmRSS:");
    state.counters["peak_MB"] = ProcessMB("VmHWM:");
    state.counters["heap_MB"] = HeapMB();
}
BENCHMARK(BM_TenAccountsInTheWindow)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // Desktop notifications of the new mail go nowhere.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kormoran-bench", 1);
    return RunWindowBenchmarks(argc, argv, [] { Mailbox.reset(); });
}

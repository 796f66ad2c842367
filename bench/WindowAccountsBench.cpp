// The window holding the lists of ten accounts of 5,000 messages each at once, after
// "Zkontrolovat vše": the memory of the whole process (goal: under 150 MB). The accounts
// are ten entries for one mailbox of a private Dovecot, each keeping its own records. Runs
// alone in its process so that the memory is the window's.
#include "HeaderList.h"
#include "LargeMailbox.h"
#include "ModalRunner.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <unistd.h>

namespace {

constexpr int AccountCount = 10;
constexpr int MailboxSize = 5000;
constexpr int CheckAllMs = 600000;

// The configuration (accounts.dat, kormoran.ini) and the state files, not the user's.
const std::string Configuration = "/tmp/kormoran-bench-accounts-" + std::to_string(::getpid());

std::unique_ptr<TLargeMailbox> Mailbox;

double ProcessMB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::string(field).size())) / 1024.0;
    return 0;
}

double HeapMB()
{
    return double(mallinfo2().uordblks) / (1024.0 * 1024.0);
}

// Ten entries that differ in their addresses, all for the one mailbox.
void WriteAccounts()
{
    std::filesystem::create_directories(Configuration + "/kormoran");
    std::ofstream accounts(Configuration + "/kormoran/accounts.dat", std::ios::binary);
    for (int i = 1; i <= AccountCount; ++i)
        accounts << "bench" << i << "@localhost\r\n127.0.0.1\r\n" << Mailbox->Server->User() << "\r\n"
                 << Mailbox->Server->Password() << "\r\n" << Mailbox->Server->Port() << "\r\n";
}

void BM_TenAccountsInTheWindow(benchmark::State& state)
{
    try {
        Mailbox = NewLargeMailbox(MailboxSize);
        CheckMailbox(CreateSession({"", "127.0.0.1", Mailbox->Server->User(), Mailbox->Server->Password(),
                                    Mailbox->Server->Port(), csNone}));   // Dovecot builds its index
        EndSessions();
        WriteAccounts();
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    Tfmain window;
    window.resize(900, 600);
    window.show();
    QApplication::processEvents();
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
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    ::setenv("XDG_CONFIG_HOME", Configuration.c_str(), 1);
    ::setenv("XDG_STATE_HOME", Configuration.c_str(), 1);
    // Desktop notifications of the new mail go nowhere.
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/kormoran-bench", 1);
    {
        QApplication application(argc, argv);
        // The About box the window shows when it first becomes active closes at once.
        SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        EndSessions();
        Mailbox.reset();
    }
    std::filesystem::remove_all(Configuration);
    return 0;
}

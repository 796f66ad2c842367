// The window after a check of 50,000 messages with 660-byte header blocks: the memory of
// the whole process (goal: 150 MB) and the time the header list takes to fill, against a
// bare QTreeWidget given the same rows (goal: at most twice its time). Runs alone in its
// process so that the memory is the window's.
#include "HeaderList.h"
#include "LargeMailbox.h"
#include "ModalRunner.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <fstream>
#include <malloc.h>

namespace {

constexpr int MailboxSize = 50000;

double ResidentMB(const char* field)
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

std::unique_ptr<TLargeMailbox> Mailbox;

void Check()
{
    TPOP3Rec account;
    account.Host = "127.0.0.1";
    account.Port = Mailbox->Server->Port();
    account.User = Mailbox->Server->User();
    account.Password = Mailbox->Server->Password();
    if (CheckMailbox(CreateSession(account)) != MailboxSize)
        throw std::runtime_error("wrong message count");
}

// Registered first, so the process holds nothing else yet.
void BM_WindowAfterCheck(benchmark::State& state)
{
    try {
        Mailbox = NewLargeMailbox(MailboxSize);
        Check();   // Dovecot builds its index
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return;
    }
    Tfmain window;
    window.resize(900, 600);
    window.show();
    QApplication::processEvents();
    double fillSeconds = 0;
    for (auto _ : state) {
        Check();
        const auto started = std::chrono::steady_clock::now();
        window.FillHeaderList();
        QApplication::processEvents();
        fillSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    }
    state.counters["rows"] = window.headlist->RowCount();
    state.counters["fill_ms"] = fillSeconds * 1000;
    state.counters["resident_MB"] = ResidentMB("VmRSS:");
    state.counters["peak_MB"] = ResidentMB("VmHWM:");
    state.counters["heap_MB"] = HeapMB();
}
BENCHMARK(BM_WindowAfterCheck)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// The same number of rows, six texts each, in a bare tree.
void BM_BareTreeFill(benchmark::State& state)
{
    QTreeWidget tree;
    tree.setColumnCount(HeaderColumnCount);
    tree.resize(900, 400);
    tree.show();
    QApplication::processEvents();
    const std::vector<std::shared_ptr<TMessageHeader>>& records = HeaderRecords();
    std::vector<std::array<QString, HeaderColumnCount>> texts;
    for (const auto& record : records)
        texts.push_back({QString::fromStdString(record->DateText()), QString::fromStdString(record->SizeText()),
                         QString::fromStdString(record->FromText()), QString::fromStdString(record->ToText()),
                         QString::fromStdString(record->SubjectText()), QString::fromStdString(record->IdText())});
    double heapAdded = 0;
    for (auto _ : state) {
        tree.clear();
        QApplication::processEvents();
        const double heapBefore = HeapMB();
        QList<QTreeWidgetItem*> items;
        for (const auto& row : texts) {
            auto* item = new QTreeWidgetItem;
            for (int column = 0; column < HeaderColumnCount; ++column)
                item->setText(column, row[column]);
            items.append(item);
        }
        tree.addTopLevelItems(items);
        QApplication::processEvents();
        heapAdded = HeapMB() - heapBefore;
    }
    state.counters["rows"] = tree.topLevelItemCount();
    state.counters["heap_added_MB"] = heapAdded;
}
BENCHMARK(BM_BareTreeFill)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    {
        QApplication application(argc, argv);
        // The About box the window shows when it first becomes active closes at once.
        SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        EndSessions();
        Mailbox.reset();
    }
    return 0;
}

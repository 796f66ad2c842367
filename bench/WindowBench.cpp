// The window after a check of 50,000 messages with 660-byte header blocks: the memory of
// the whole process (goal: 150 MB) and the time the header list takes to fill, against a
// bare QTreeWidget given the same rows (goal: at most twice its time). Runs alone in its
// process so that the memory is the window's.
#include "HeaderList.h"
#include "LargeMailbox.h"
#include "WindowBenchSupport.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

#include <array>
#include <chrono>

namespace {

constexpr int MailboxSize = 50000;

// The window reads and keeps its settings here, never in the user's.
const TBenchConfiguration Configuration("check");

std::unique_ptr<TLargeMailbox> Mailbox;

void Check()
{
    if (CheckPrivateMailbox(*Mailbox->Server) != MailboxSize)
        throw std::runtime_error("wrong message count");
}

// Registered first, so the process holds nothing else yet.
void BM_WindowAfterCheck(benchmark::State& state)
{
    const bool prepared = SetUpOrSkip(state, [] {
        Mailbox = NewLargeMailbox(MailboxSize);
        Check();   // Dovecot builds its index
    });
    if (!prepared)
        return;
    Tfmain window;
    ShowWindow(window);
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
    state.counters["resident_MB"] = ProcessMB("VmRSS:");
    state.counters["peak_MB"] = ProcessMB("VmHWM:");
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
    return RunWindowBenchmarks(argc, argv, [] { Mailbox.reset(); });
}

#include "HeaderList.h"
#include "WindowBenchSupport.h"
#include "fmMain.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <memory>
#include <random>

// The header list of a large mailbox: 10,000 rows filled after a check, then sorted by
// each column on a header click. Goal: the fill under one second, any sort under half a
// second. The window benchmarks use the records of a real check of the private Dovecot;
// the list benchmarks rows made up in memory.
namespace {

constexpr int MailboxSize = 10000;

// The window reads and keeps its settings here, never in the user's.
const TBenchConfiguration Configuration("headerlist");

// Rows as a mailbox gives them: dates over some years, sizes from a few hundred bytes to
// megabytes, senders and subjects repeating with variations, Czech letters among them.
std::vector<THeaderRowData> Mailbox()
{
    std::mt19937 random(1150);
    const std::vector<std::string> senders = {"jana.novakova@firma.cz", "alice@severka.example", "Bob@lipnice.example",
                                              "ucetni@dodavatel.cz", "news@osweekly.example", "noreply@build.example"};
    const std::vector<std::string> subjects = {"Porada v pondělí", "Quarterly report draft",
                                               "Faktura č. ", "Re: Project timeline",
                                               "Žádost o schválení", "[kormoran] Pipeline "};
    std::vector<THeaderRowData> rows;
    for (int i = 0; i < MailboxSize; ++i) {
        THeaderRowData row;
        row.Date = 44000 + std::uniform_real_distribution<double>(0, 2000)(random);
        row.DateText = std::to_string(row.Date);
        row.Size = std::uniform_int_distribution<int64_t>(300, 5000000)(random);
        row.SizeText = std::to_string(row.Size);
        row.FromText = senders[random() % senders.size()];
        row.ToText = "Petr Dvořák <petr@demo.kormoran.cz>";
        row.SubjectText = subjects[random() % subjects.size()] + std::to_string(random() % 5000);
        row.IdText = "<" + std::to_string(random()) + "." + std::to_string(i) + "@mail.example>";
        rows.push_back(row);
    }
    return rows;
}

void Fill(THeaderList& list, const std::vector<THeaderRowData>& data)
{
    std::vector<THeaderRow*> rows;
    rows.reserve(data.size());
    for (const THeaderRowData& row : data)
        rows.push_back(new THeaderRow(row, {}));
    list.AddRows(rows);
    QApplication::processEvents();
}

void BM_HeaderListFill(benchmark::State& state)
{
    const std::vector<THeaderRowData> data = Mailbox();
    THeaderList list;
    list.resize(900, 400);
    list.show();
    for (auto _ : state) {
        Fill(list, data);
        state.PauseTiming();
        list.Clear();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_HeaderListFill)->Unit(benchmark::kMillisecond);

void BM_HeaderListSort(benchmark::State& state)
{
    THeaderList list;
    list.resize(900, 400);
    list.show();
    Fill(list, Mailbox());
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        list.SortByColumn(column == hcId ? hcFrom : hcId);   // a different order to start from
        list.SelectAll();
        QApplication::processEvents();
        state.ResumeTiming();
        list.SortByColumn(column);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_HeaderListSort)->DenseRange(0, HeaderColumnCount - 1)->Unit(benchmark::kMillisecond);

// The records of one check of a 10,000-message mailbox, made once.
std::unique_ptr<PrivatePop3Server> server;

std::string CheckedMessage(int i)
{
    return "From: Sender " + std::to_string(i % 97) + " <s" + std::to_string(i % 97) +
           "@firma.cz>\r\nTo: petr@demo.cz\r\nSubject: Zpr\xE1va " + std::to_string(i * 7919 % MailboxSize) +
           "\r\nDate: Mon, " + std::to_string(1 + i % 28) + " Dec 2025 " + std::to_string(10 + i % 12) +
           ":00:00 +0100\r\nMessage-ID: <" + std::to_string(i) + "@firma.cz>\r\n\r\n" +
           std::string(i % 4000, 'x') + "\r\n";
}

void EnsureCheckedMailbox()
{
    if (server)
        return;
    server = NewPrivateMailbox(MailboxSize, CheckedMessage);
    CheckPrivateMailbox(*server);
}

// The window's own part of a check: one row per record, the first one shown.
void BM_WindowFillAfterCheck(benchmark::State& state)
{
    EnsureCheckedMailbox();
    Tfmain window;
    window.resize(900, 600);
    window.show();
    for (auto _ : state) {
        window.FillHeaderList();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.headlist->RowCount());
    }
    state.counters["rows"] = window.headlist->RowCount();
}
BENCHMARK(BM_WindowFillAfterCheck)->Unit(benchmark::kMillisecond);

void BM_WindowSortAfterCheck(benchmark::State& state)
{
    EnsureCheckedMailbox();
    Tfmain window;
    window.resize(900, 600);
    window.show();
    window.FillHeaderList();
    const int column = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        window.headlistColumnClick(column == hcId ? hcFrom : hcId);
        QApplication::processEvents();
        state.ResumeTiming();
        window.headlistColumnClick(column);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_WindowSortAfterCheck)->DenseRange(0, HeaderColumnCount - 1)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv, [] { server.reset(); });
}

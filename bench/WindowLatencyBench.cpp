// How fast the window answers while a check of 50,000 messages runs on its worker: a
// thread posts a stamped event every few milliseconds, as input would arrive, and the
// window's thread notes how long each waited until it was handled. Goal: under 50 ms at
// the 99th percentile. The second run keeps the About box open (a modal loop of its own)
// for the whole check. Events handled after the check has ended, while the window fills
// its list, are not counted: BM_WindowFillAfterCheck measures that part.
#include "HeaderList.h"
#include "ModalRunner.h"
#include "WindowBenchSupport.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>
#include <QEventLoop>
#include <QListWidget>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int MailboxSize = 50000;
constexpr auto ProbeInterval = std::chrono::milliseconds(5);
const QEvent::Type ProbeEventType = static_cast<QEvent::Type>(QEvent::User + 700);

class TProbeEvent : public QEvent {
public:
    TProbeEvent() : QEvent(ProbeEventType), Posted(Clock::now()) {}
    const Clock::time_point Posted;
};

// Notes the delay of every probe handled while the window's check still runs.
class TProbeReceiver : public QObject {
public:
    explicit TProbeReceiver(const Tfmain& window) : FWindow(window) {}
    std::vector<double> DelaysMs;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != ProbeEventType)
            return QObject::event(event);
        if (FWindow.ServerBusy())
            DelaysMs.push_back(std::chrono::duration<double, std::milli>(
                                   Clock::now() - static_cast<TProbeEvent*>(event)->Posted)
                                   .count());
        return true;
    }

private:
    const Tfmain& FWindow;
};

std::string Message(int i)
{
    const std::string n = std::to_string(i);
    return "From: Sender " + std::to_string(i % 97) + " <s" + std::to_string(i % 97) + "@firma.cz>\r\n"
           "To: petr@demo.cz\r\nSubject: Zpr\xC3\xA1va " + n + "\r\nDate: Mon, 7 Dec 2026 10:00:00 +0100\r\n"
           "Message-ID: <" + n + "@firma.cz>\r\n\r\nText " + n + "\r\n";
}

const TBenchConfiguration Configuration("window");

std::unique_ptr<PrivatePop3Server> server;

// The private server with the mailbox and an accounts.dat that names it.
PrivatePop3Server& Mailbox()
{
    if (server)
        return *server;
    server = NewPrivateMailbox(MailboxSize, Message);
    Configuration.WriteAccounts(AccountEntry("bench@localhost", *server));
    return *server;
}

double Percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(fraction * double(values.size())))];
}

void BM_EventDelayDuringCheck(benchmark::State& state)
{
    Mailbox();
    const bool modalOpen = state.range(0) != 0;
    Tfmain window;
    window.resize(900, 600);
    window.show();
    window.poplist->setCurrentRow(0);
    // The About box stays open for the whole check, running its own loop.
    const TModalRunner previous = SetModalRunner([&window](QDialog& dialog) {
        dialog.show();
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (!window.ServerBusy())
                loop.quit();
        });
        poll.start(20);
        loop.exec();
        return static_cast<int>(QDialog::Rejected);
    });
    TProbeReceiver receiver(window);
    double checkSeconds = 0;
    for (auto _ : state) {
        std::atomic<bool> probing = true;
        const Clock::time_point started = Clock::now();
        window.CheckAccClick();
        std::thread probe([&] {
            while (probing) {
                QCoreApplication::postEvent(&receiver, new TProbeEvent);
                std::this_thread::sleep_for(ProbeInterval);
            }
        });
        if (modalOpen)
            window.About1Click();
        window.WaitForServer(600000);
        checkSeconds += std::chrono::duration<double>(Clock::now() - started).count();
        probing = false;
        probe.join();
        QCoreApplication::processEvents();
    }
    SetModalRunner(previous);
    if (window.headlist->RowCount() != MailboxSize)
        state.SkipWithError("the check did not list every message");
    state.counters["rows"] = window.headlist->RowCount();
    state.counters["check_s"] = checkSeconds / double(state.iterations());
    state.counters["probes"] = double(receiver.DelaysMs.size());
    state.counters["p50_ms"] = Percentile(receiver.DelaysMs, 0.50);
    state.counters["p99_ms"] = Percentile(receiver.DelaysMs, 0.99);
    state.counters["max_ms"] = Percentile(receiver.DelaysMs, 1.0);
    // The records go while everything they use still exists, as at the program's end.
    EndSessions();
}
BENCHMARK(BM_EventDelayDuringCheck)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    return RunWindowBenchmarks(argc, argv, [] { server.reset(); });
}

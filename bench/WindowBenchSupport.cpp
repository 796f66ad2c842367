#include "WindowBenchSupport.h"

#include "ModalRunner.h"
#include "fmMain.h"
#include "udm.h"

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <unistd.h>
#include <vector>

namespace {

// Dovecot is handed the messages in batches, each one command line of files.
constexpr int StoreBatch = 2000;

} // namespace

std::unique_ptr<PrivatePop3Server> NewPrivateMailbox(int count, const std::function<std::string(int)>& message)
{
    auto server = std::make_unique<PrivatePop3Server>();
    for (int first = 0; first < count; first += StoreBatch) {
        std::vector<std::string> messages;
        for (int i = first; i < std::min(first + StoreBatch, count); ++i)
            messages.push_back(message(i));
        server->AddMessages(messages);
    }
    return server;
}

int CheckPrivateMailbox(const PrivatePop3Server& server)
{
    TPOP3Rec account;
    account.Host = "127.0.0.1";
    account.Port = server.Port();
    account.User = server.User();
    account.Password = server.Password();
    return CheckMailbox(CreateSession(account));
}

std::string AccountEntry(const std::string& address, const PrivatePop3Server& server)
{
    return address + "\r\n127.0.0.1\r\n" + server.User() + "\r\n" + server.Password() + "\r\n" +
           std::to_string(server.Port()) + "\r\n";
}

TBenchConfiguration::TBenchConfiguration(const std::string& name)
    : FDirectory("/tmp/kormoran-bench-" + name + "-" + std::to_string(::getpid()))
{
    ::setenv("XDG_CONFIG_HOME", FDirectory.c_str(), 1);
    ::setenv("XDG_STATE_HOME", FDirectory.c_str(), 1);
}

TBenchConfiguration::~TBenchConfiguration()
{
    std::error_code ignored;
    std::filesystem::remove_all(FDirectory, ignored);
}

void TBenchConfiguration::WriteAccounts(const std::string& entries) const
{
    std::filesystem::create_directories(FDirectory + "/kormoran");
    std::ofstream(FDirectory + "/kormoran/accounts.dat", std::ios::binary) << entries;
}

bool SetUpOrSkip(benchmark::State& state, const std::function<void()>& setUp)
{
    try {
        setUp();
        return true;
    } catch (const std::exception& failure) {
        state.SkipWithError(failure.what());
        return false;
    }
}

void ShowWindow(Tfmain& window)
{
    window.resize(900, 600);
    window.show();
    QApplication::processEvents();
}

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

int RunWindowBenchmarks(int argc, char** argv, const std::function<void()>& releaseServer)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    {
        QApplication application(argc, argv);
        SetModalRunner([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        EndSessions();
        releaseServer();
    }
    return 0;
}

#pragma once
// What the benchmarks of the main window share: a private Dovecot to check, a
// configuration of their own in place of the user's, the memory of the process, and a
// main in which the application outlives the window's records and the private server.

#include "PrivatePop3Server.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

class Tfmain;

// A private Dovecot holding count messages, message(0) first.
std::unique_ptr<PrivatePop3Server> NewPrivateMailbox(int count, const std::function<std::string(int)>& message);

// One check of the server's mailbox by the session layer, as the window's worker makes
// it; its records stay until EndSessions. Returns the number of messages.
int CheckPrivateMailbox(const PrivatePop3Server& server);

// The lines (CR LF) of one account of accounts.dat: the server's mailbox under the address.
std::string AccountEntry(const std::string& address, const PrivatePop3Server& server);

// The configuration (accounts.dat, kormoran.ini) and the state files of the window, in a
// directory /tmp/kormoran-bench-NAME-PID named in XDG_CONFIG_HOME and XDG_STATE_HOME from
// the start; the directory goes with the object.
class TBenchConfiguration {
public:
    explicit TBenchConfiguration(const std::string& name);
    ~TBenchConfiguration();
    TBenchConfiguration(const TBenchConfiguration&) = delete;
    TBenchConfiguration& operator=(const TBenchConfiguration&) = delete;

    // Writes accounts.dat with these entries (see AccountEntry).
    void WriteAccounts(const std::string& entries) const;

private:
    std::string FDirectory;
};

// Runs the benchmark's set-up; when it fails (no Dovecot, say) the benchmark is skipped
// with the reason. Returns whether it went through.
bool SetUpOrSkip(benchmark::State& state, const std::function<void()>& setUp);

// The window at the size it is measured at, shown, its first events handled.
void ShowWindow(Tfmain& window);

// A field of /proc/self/status given in kB ("VmRSS:", "VmHWM:"), in MB.
double ProcessMB(const char* field);
// What the heap has handed out and not yet taken back, in MB.
double HeapMB();

// The main of a window benchmark. The application lives in here, offscreen, so that it
// goes before the libraries' own statics; the window's records (EndSessions) and then the
// benchmark's server (releaseServer) go before it. The About box the window shows when it
// first becomes active closes at once.
int RunWindowBenchmarks(int argc, char** argv, const std::function<void()>& releaseServer);

#pragma once
// One window per user: the first start holds a lock in the runtime directory and listens
// on a local socket there; a later start tells it to come to the front and ends, so two
// windows never hold two copies of the accounts.

#include <string>

// $XDG_RUNTIME_DIR/kormoran, or empty when the desktop gives no runtime directory.
std::string InstanceDirectory();

class TSingleInstance {
public:
    // With an empty directory every start counts as the first (nothing to meet in).
    explicit TSingleInstance(const std::string& directory);
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // False when a running window was found and asked to come to the front: this start
    // is to end.
    bool First() const { return FFirst; }
    // The listening socket of the first start (-1 when none), for the event loop to
    // watch; when it is readable, TakeRequest.
    int ListeningSocket() const { return FListening; }
    // Takes one waiting request; true when a later start asked for the window.
    bool TakeRequest();

private:
    bool FFirst = true;
    int FLock = -1;
    int FListening = -1;
    std::string FSocketPath;
};

#pragma once
// --trace: a socket transport that shows the bytes it moves to a TTrace. A session is
// given it before its first connection; it is not owned by the session, so it stays in
// place for every later connection of the session too.

#include "IdIOHandlerSocket.h"
#include "Trace.h"

class TTracingIOHandler : public TIdIOHandlerSocket {
public:
    explicit TTracingIOHandler(TTrace& trace) : FTrace(trace) {}

    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

private:
    TTrace& FTrace;
};

#pragma once
// --trace: a transport that shows the bytes it moves to a TTrace (over TLS the text
// inside it) and, once TLS is up, its version, cipher and the server certificate's
// subject. A session is given it before its first connection; it is not owned by the
// session, so it stays in place for every later connection of the session too.

#include "IdIOHandlerTls.h"
#include "Trace.h"

class TTracingIOHandler : public TIdIOHandlerTls {
public:
    explicit TTracingIOHandler(TTrace& trace) : FTrace(trace) {}

    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

protected:
    void DoOnTlsStarted() override;

private:
    TTrace& FTrace;
};

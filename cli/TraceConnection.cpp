#include "TraceConnection.h"

int TTracingIOHandler::RecvInto(char* buffer, int length)
{
    const int count = TIdIOHandlerTls::RecvInto(buffer, length);
    if (count > 0)
        FTrace.Received(std::string_view(buffer, static_cast<size_t>(count)));
    return count;
}

void TTracingIOHandler::DoOnTlsStarted()
{
    const TIdTlsInfo& tls = TlsInfo();
    FTrace.Note(tls.Version + ", " + tls.Cipher + ", " + tls.PeerSubject);
}

int TTracingIOHandler::SendFrom(const char* buffer, int length)
{
    const int count = TIdIOHandlerTls::SendFrom(buffer, length);
    if (count > 0)
        FTrace.Sent(std::string_view(buffer, static_cast<size_t>(count)));
    return count;
}

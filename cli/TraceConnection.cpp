#include "TraceConnection.h"

int TTracingIOHandler::RecvInto(char* buffer, int length)
{
    const int count = TIdIOHandlerSocket::RecvInto(buffer, length);
    if (count > 0)
        FTrace.Received(std::string_view(buffer, static_cast<size_t>(count)));
    return count;
}

int TTracingIOHandler::SendFrom(const char* buffer, int length)
{
    const int count = TIdIOHandlerSocket::SendFrom(buffer, length);
    if (count > 0)
        FTrace.Sent(std::string_view(buffer, static_cast<size_t>(count)));
    return count;
}

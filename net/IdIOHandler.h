#pragma once
// The transport a connection talks to. The connection uses only IsConnected,
// WaitReadable, RecvInto, SendFrom and CloseHandler, so any transport with these
// operations will do (the socket one, or the in-memory one of the tests).

#include "IdComponent.h"

#include <cstdint>
#include <string>

class TIdIOHandler : public TIdComponent {
public:
    virtual void CloseHandler() {}
    virtual void ConnectTo(const std::string& host, int32_t port, int32_t timeout, int32_t boundPortMax,
                           int32_t boundPortMin, int32_t boundPort, const std::string& boundIP);
    virtual bool IsConnected() = 0;
    virtual void OpenHandler() {}
    // True when data (or a close) is waiting; milliseconds -2 wait without a limit.
    virtual bool WaitReadable(int32_t milliseconds) = 0;
    // Bytes received, 0 when the peer closed, -1 on a socket error (its number is
    // GlobalStack->WSAGetLastError()).
    virtual int RecvInto(char* buffer, int length) = 0;
    // Bytes sent (possibly fewer than asked), -1 on a socket error as above.
    virtual int SendFrom(const char* buffer, int length) = 0;
};

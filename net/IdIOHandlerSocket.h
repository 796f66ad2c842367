#pragma once
// The socket transport: one TIdSocketHandle, created on the first OpenHandler and reset
// on later ones.

#include "IdIOHandler.h"
#include "IdSocketHandle.h"

#include <memory>

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    // Releases the socket (shut down for sending, then closed).
    void CloseHandler() override;
    // Allocates and binds a socket, resolves the host and connects: directly for a
    // time-out of -1 or 0, otherwise within the time-out
    // (EIdConnectTimeout "Server neodpovídá: HOST").
    void ConnectTo(const std::string& host, int32_t port, int32_t timeout, int32_t boundPortMax,
                   int32_t boundPortMin, int32_t boundPort, const std::string& boundIP) override;
    bool IsConnected() override;
    void OpenHandler() override;
    bool WaitReadable(int32_t milliseconds) override;
    // Raise EIdClosedSocket "Disconnected." when no socket is allocated.
    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

    TIdSocketHandle* SocketHandle() const { return FSocketHandle.get(); }

    bool UseNagle = true;

private:
    void TimedConnect(const std::string& host, int32_t timeout);

    std::unique_ptr<TIdSocketHandle> FSocketHandle;
};

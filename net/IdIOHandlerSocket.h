#pragma once
// The socket transport: one TIdSocketHandle, created on the first OpenHandler and reset
// on later ones.

#include "IdIOHandler.h"
#include "IdSocketHandle.h"

#include <memory>
#include <vector>

class TIdIOHandlerSocket : public TIdIOHandler {
public:
    // Releases the socket (shut down for sending, then closed).
    void CloseHandler() override;
    // Resolves the host and connects to its addresses in the resolver's order until one
    // takes the connection; only the last address's failure is raised. Each attempt
    // allocates and binds a socket and connects: directly for a time-out of -1 or 0,
    // otherwise within the time-out (EIdConnectTimeout; the client names its host in it).
    void ConnectTo(const std::string& host, int32_t port, int32_t timeout, int32_t boundPortMax,
                   int32_t boundPortMin, int32_t boundPort, const std::string& boundIP) override;
    // The same for addresses already resolved, tried in their order.
    void ConnectToAddresses(const std::vector<TIdPeerAddress>& addresses, int32_t port, int32_t timeout,
                            int32_t boundPortMax, int32_t boundPortMin, int32_t boundPort, const std::string& boundIP);
    bool IsConnected() override;
    void OpenHandler() override;
    bool WaitReadable(int32_t milliseconds) override;
    // Raise EIdClosedSocket "Disconnected." when no socket is allocated.
    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

    TIdSocketHandle* SocketHandle() const { return FSocketHandle.get(); }

    bool UseNagle = true;

private:
    void ConnectToAddress(const TIdPeerAddress& address, int32_t port, int32_t timeout, int32_t boundPortMax,
                          int32_t boundPortMin, int32_t boundPort, const std::string& boundIP);
    void TimedConnect(int32_t timeout);

    std::unique_ptr<TIdSocketHandle> FSocketHandle;
};

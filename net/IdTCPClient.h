#pragma once
// A connection that opens itself: the server's host and port, and the connect sequence.

#include "IdTCPConnection.h"

#include <cstdint>
#include <string>

class TIdTCPClient : public TIdTCPConnection {
public:
    virtual void DoOnConnected();
    // Connects to Host:Port, creating an owned socket transport when there is none.
    // Raises EIdAlreadyConnected when the transport still holds a live socket; any
    // failure on the way drops the socket and reaches the caller unchanged. A time-out
    // of -1 (or 0) leaves the wait to the operating system.
    virtual void OpenConnection(int32_t timeout = -1);
    // A silent server: "Server neodpovídá: " and the host.
    [[noreturn]] void RaiseReadTimeout() override;

    std::string Host;
    int32_t Port = 0;
    std::string BoundIP;
    int32_t BoundPort = 0;
    int32_t BoundPortMin = 0;
    int32_t BoundPortMax = 0;
    std::string Username;
    std::string Password;
    TIdNotifyEvent OnConnected;
};

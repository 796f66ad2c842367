#pragma once
// A connection that opens itself: the server's host and port, the security of the
// connection and the connect sequence.

#include "IdIOHandlerTls.h"
#include "IdTCPConnection.h"

#include <cstdint>
#include <string>

class TIdTCPClient : public TIdTCPConnection {
public:
    virtual void DoOnConnected();
    // Connects to Host:Port, creating an owned transport when there is none, and with
    // csImplicitTls starts TLS at once. Raises EIdAlreadyConnected when the transport
    // still holds a live socket; any failure on the way drops the socket and reaches the
    // caller unchanged. A time-out of -1 (or 0) leaves the wait to the operating system.
    virtual void OpenConnection(int32_t timeout = -1);
    // A silent server: "Server neodpovídá: " and the host.
    [[noreturn]] void RaiseReadTimeout() override;
    // Starts TLS on the open connection, checked against Host; raises EIdTlsError (the
    // connection is closed then, nothing more is sent) and for a transport that cannot
    // encrypt.
    void StartTls();
    // Whether the open connection is encrypted.
    bool Encrypted() const;

    std::string Host;
    int32_t Port = 0;
    TIdConnectionSecurity Security = csNone;
    // The certificate fingerprint the user trusts for this server (TIdIOHandlerTls).
    std::string PinnedFingerprint;
    std::string BoundIP;
    int32_t BoundPort = 0;
    int32_t BoundPortMin = 0;
    int32_t BoundPortMax = 0;
    std::string Username;
    std::string Password;
    TIdNotifyEvent OnConnected;

    // The address the last connection reached, and its TLS figures (empty Version when
    // it was not encrypted); both stay after the connection closed.
    std::string ConnectedAddress;
    TIdTlsInfo LastTls;
};

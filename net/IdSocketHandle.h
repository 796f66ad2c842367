#pragma once
// One socket of one connection, with its local and peer addresses as text (dotted IPv4
// or IPv6).
// Destroying the handle releases its socket.

#include "IdStack.h"

#include <cstdint>
#include <string>

class TIdSocketHandle {
public:
    TIdSocketHandle();
    TIdSocketHandle(const TIdSocketHandle&) = delete;
    TIdSocketHandle& operator=(const TIdSocketHandle&) = delete;
    ~TIdSocketHandle();

    // Releases any socket held, then makes a new one of the family (Id_PF_INET or
    // Id_PF_INET6); raises EIdInvalidSocket.
    void AllocateHandle(int family, int socketType, int protocol);
    // Shuts the socket down for sending and closes it; failures are ignored.
    void ReleaseHandle();
    // Binds to IP and Port (empty and 0 = any), or into the client port range when one
    // is set; reads the bound address back.
    void BindLocal();
    // Connects to PeerAddress:PeerPortNumber and reads both addresses back on success.
    // The result is the socket call's, for the caller to check.
    int ConnectPeer(int family);
    // Finishes a connect that was started without blocking: reads both addresses back.
    void ReadAddresses();
    void SetPeerAddress(const std::string& address, int32_t port);
    // True only when data (or a close) is waiting; milliseconds -2 wait without a limit.
    // Raises EIdConnClosedGracefully when the handle holds no socket.
    bool WaitReadable(int32_t milliseconds);
    int Recv(void* buffer, int length);
    int Send(const void* buffer, int length);
    // Raises EIdSocketError when the option cannot be set.
    void SetSockOpt(int level, int option, int32_t value);
    void ClearState(bool resetLocal);

    TIdStackSocketHandle SocketNumber = Id_INVALID_SOCKET;
    bool HasSocket = false;
    int Family = Id_PF_INET;
    std::string IP;
    int32_t Port = 0;
    std::string PeerAddress;
    int32_t PeerPortNumber = 0;
    int32_t ClientPortMin = 0;
    int32_t ClientPortMax = 0;

private:
    bool TryBind(int32_t port);
};

#pragma once
// The socket API over POSIX sockets (IPv4 and IPv6, TCP). System calls interrupted by a signal
// are carried on, never reported; sends never raise SIGPIPE. The error number of the
// last failed call is kept per thread, as the socket error number users see.

#include "IdStack.h"

class TIdStackWindows : public TIdStack {
public:
    TIdStackSocketHandle NewSocket(int family, int type, int protocol) override;
    int Bind(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port) override;
    int Connect(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port) override;
    int Recv(TIdStackSocketHandle socket, void* buffer, int length, int flags) override;
    int Send(TIdStackSocketHandle socket, const void* buffer, int length, int flags) override;
    int SelectReadable(TIdStackSocketHandle socket, int32_t milliseconds) override;
    int Shutdown(TIdStackSocketHandle socket, int how) override;
    int CloseSocket(TIdStackSocketHandle socket) override;
    int GetSockName(TIdStackSocketHandle socket, std::string& ip, int32_t& port) override;
    int GetPeerName(TIdStackSocketHandle socket, std::string& ip, int32_t& port) override;
    int SetSockOpt(TIdStackSocketHandle socket, int level, int option, int32_t value) override;
    std::vector<TIdPeerAddress> HostAddresses(const std::string& host) override;
    int SetBlocking(TIdStackSocketHandle socket, bool blocking) override;
    int SelectWritable(TIdStackSocketHandle socket, int32_t milliseconds) override;
    int32_t PendingError(TIdStackSocketHandle socket) override;
    int32_t WSAGetLastError() override;
    void WSASetLastError(int32_t errorNumber) override;
};

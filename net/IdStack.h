#pragma once
// The process-wide socket API object. GlobalStack exists while at least one
// connection-layer component exists (see TIdComponent). Addresses are text: dotted IPv4
// or IPv6 without brackets; every failure number is a socket error number of the error
// table (IdWinSock2.h).

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

using TIdStackSocketHandle = int;
constexpr TIdStackSocketHandle Id_INVALID_SOCKET = -1;
constexpr int Id_SOCKET_ERROR = -1;
constexpr int Id_PF_INET = 2;
constexpr int Id_PF_INET6 = 23;
constexpr int Id_SOCK_STREAM = 1;
constexpr int Id_IPPROTO_IP = 0;
constexpr int Id_IPPROTO_TCP = 6;
constexpr int Id_TCP_NODELAY = 1;
constexpr int Id_SD_Send = 1;

using TIdIPv4Bytes = std::array<uint8_t, 4>;

// One address a host name stands for: its family (Id_PF_INET or Id_PF_INET6) and text.
struct TIdPeerAddress {
    int Family = Id_PF_INET;
    std::string IP;

    bool operator==(const TIdPeerAddress&) const = default;
};

class TIdStack {
public:
    TIdStack() = default;
    TIdStack(const TIdStack&) = delete;
    TIdStack& operator=(const TIdStack&) = delete;
    virtual ~TIdStack() = default;

    // Every address of a host, in the resolver's order: "LOCALHOST" in any case is
    // 127.0.0.1, and a dotted quad or an IPv6 address (brackets allowed, "[::1]") stays as
    // it is, all without a lookup. A name that cannot be resolved raises EIdSocketError.
    std::vector<TIdPeerAddress> LookupHostAddresses(const std::string& host);
    // The first of them.
    std::string LookupHost(const std::string& host);
    // Whether LookupHost has to ask the resolver.
    static bool NeedsLookup(const std::string& host);
    static bool IsDottedQuad(std::string_view text);
    static bool IsIPv6Address(std::string_view text);
    // The host without the brackets of "[::1]".
    static std::string WithoutBrackets(const std::string& host);
    // 127.0.0.0/8, ::1 and IPv4 loopback addresses mapped into IPv6.
    static bool IsLoopbackAddress(const std::string& address);
    // Raises EConvertError for a piece that is not a decimal number from 0 to 255.
    static TIdIPv4Bytes ParseAddress(std::string_view dotted);
    static std::string FormatAddress(const TIdIPv4Bytes& address);

    // A result other than -1 is no error (false). For -1 the current error goes to
    // LastErrorCode: an allowed number gives true, any other raises EIdSocketError.
    bool CheckSocketResult(int result, std::initializer_list<int32_t> allowed);
    [[noreturn]] void RaiseSocketFailure(int32_t errorNumber);
    // "Socket Error # %d", CR LF, and the table's text (empty for a number not in it).
    static std::string SocketErrorText(int32_t errorNumber);

    // Thin socket calls with the socket number first; -1 means failure, with the error
    // number left for WSAGetLastError.
    virtual TIdStackSocketHandle NewSocket(int family, int type, int protocol) = 0;
    virtual int Bind(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port) = 0;
    virtual int Connect(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port) = 0;
    virtual int Recv(TIdStackSocketHandle socket, void* buffer, int length, int flags) = 0;
    virtual int Send(TIdStackSocketHandle socket, const void* buffer, int length, int flags) = 0;
    // Waits until the one socket is readable: 1 readable, 0 time-out, -1 failure.
    // Milliseconds -2 wait without a limit.
    virtual int SelectReadable(TIdStackSocketHandle socket, int32_t milliseconds) = 0;
    virtual int Shutdown(TIdStackSocketHandle socket, int how) = 0;
    virtual int CloseSocket(TIdStackSocketHandle socket) = 0;
    virtual int GetSockName(TIdStackSocketHandle socket, std::string& ip, int32_t& port) = 0;
    virtual int GetPeerName(TIdStackSocketHandle socket, std::string& ip, int32_t& port) = 0;
    virtual int SetSockOpt(TIdStackSocketHandle socket, int level, int option, int32_t value) = 0;
    // Every IPv4 and IPv6 address of a host name in the resolver's order, or none with
    // the error number set.
    virtual std::vector<TIdPeerAddress> HostAddresses(const std::string& host) = 0;

    // What a connect with a time-out needs: a non-blocking connect is started with
    // Connect, then waited for.
    virtual int SetBlocking(TIdStackSocketHandle socket, bool blocking) = 0;
    // 1 writable, 0 time-out, -1 failure; milliseconds -2 wait without a limit.
    virtual int SelectWritable(TIdStackSocketHandle socket, int32_t milliseconds) = 0;
    // The pending error of a socket (0 for none); -1 when it cannot be read.
    virtual int32_t PendingError(TIdStackSocketHandle socket) = 0;

    virtual int32_t WSAGetLastError() = 0;
    virtual void WSASetLastError(int32_t errorNumber) = 0;

    int32_t LastErrorCode = 0;
};

// Created with the first connection-layer component, freed with the last.
extern TIdStack* GlobalStack;

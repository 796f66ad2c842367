#include "IdStackWindows.h"

#include "IdWait.h"
#include "IdWinSock2.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

thread_local int32_t LastSocketError = 0;

int FailWithErrno()
{
    LastSocketError = WinsockErrorFromErrno(errno);
    return Id_SOCKET_ERROR;
}

int32_t Fail(int32_t errorNumber)
{
    LastSocketError = errorNumber;
    return Id_SOCKET_ERROR;
}

int SystemFamily(int family)
{
    return family == Id_PF_INET6 ? AF_INET6 : family == Id_PF_INET ? AF_INET : family;
}

// A socket address of the family for ip (empty = any address) and port.
bool MakeAddress(int family, const std::string& ip, int32_t port, sockaddr_storage& storage, socklen_t& length)
{
    // A port out of range would otherwise be cut to 16 bits and reach another service.
    if (port < 0 || port > 65535)
        return false;
    storage = {};
    if (family == Id_PF_INET6) {
        auto& address = reinterpret_cast<sockaddr_in6&>(storage);
        address.sin6_family = AF_INET6;
        address.sin6_port = htons(static_cast<uint16_t>(port));
        address.sin6_addr = in6addr_any;
        length = sizeof(address);
        return ip.empty() || inet_pton(AF_INET6, ip.c_str(), &address.sin6_addr) == 1;
    }
    auto& address = reinterpret_cast<sockaddr_in&>(storage);
    address.sin_family = static_cast<sa_family_t>(SystemFamily(family));
    address.sin_port = htons(static_cast<uint16_t>(port));
    length = sizeof(address);
    if (ip.empty()) {
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    if (!TIdStack::IsDottedQuad(ip))
        return false;
    TIdIPv4Bytes bytes = TIdStack::ParseAddress(ip);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(&address.sin_addr.s_addr));
    return true;
}

std::string DottedAddress(const sockaddr_in& address)
{
    TIdIPv4Bytes bytes;
    auto raw = reinterpret_cast<const uint8_t*>(&address.sin_addr.s_addr);
    std::copy(raw, raw + 4, bytes.begin());
    return TIdStack::FormatAddress(bytes);
}

std::string AddressText(const sockaddr* address)
{
    if (address->sa_family == AF_INET6) {
        char text[INET6_ADDRSTRLEN] = {};
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text, sizeof text);
        return text;
    }
    return DottedAddress(*reinterpret_cast<const sockaddr_in*>(address));
}

int AddressPort(const sockaddr* address)
{
    if (address->sa_family == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(address)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(address)->sin_port);
}

// Polls one socket for the given events, carrying on after signals with the time left.
// With a wait hook installed the wait is cut into slices and the hook runs between
// them; an exception from the hook ends the wait.
int PollOne(TIdStackSocketHandle socket, short events, int32_t milliseconds)
{
    using Clock = std::chrono::steady_clock;
    const bool unlimited = milliseconds < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : milliseconds);
    for (;;) {
        int wait = -1;
        if (!unlimited) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            wait = left > 0 ? static_cast<int>(left) : 0;
        }
        const bool sliced = HasWaitHook() && (wait < 0 || wait > WaitSliceMs);
        pollfd entry{socket, events, 0};
        int result = poll(&entry, 1, sliced ? WaitSliceMs : wait);
        if (result > 0 || (result == 0 && !sliced))
            return result;
        if (result < 0 && errno != EINTR)
            return FailWithErrno();
        RunWaitHook();
    }
}

// A blocking connect interrupted by a signal goes on in the background; wait for it.
int FinishInterruptedConnect(TIdStackSocketHandle socket)
{
    if (PollOne(socket, POLLOUT, -2) < 0)
        return Id_SOCKET_ERROR;
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return FailWithErrno();
    if (error != 0)
        return Fail(WinsockErrorFromErrno(error));
    return 0;
}

using NameCall = int (*)(int, sockaddr*, socklen_t*);

int ReadName(NameCall call, TIdStackSocketHandle socket, std::string& ip, int32_t& port)
{
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (call(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return FailWithErrno();
    ip = AddressText(reinterpret_cast<const sockaddr*>(&address));
    port = AddressPort(reinterpret_cast<const sockaddr*>(&address));
    return 0;
}

} // namespace

TIdStackSocketHandle TIdStackWindows::NewSocket(int family, int type, int protocol)
{
    int systemType = type == Id_SOCK_STREAM ? SOCK_STREAM : type;
    int socket = ::socket(SystemFamily(family), systemType | SOCK_CLOEXEC, protocol);
    if (socket < 0)
        return FailWithErrno();
    return socket;
}

int TIdStackWindows::Bind(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port)
{
    sockaddr_storage address;
    socklen_t length = 0;
    if (!MakeAddress(family, ip, port, address, length))
        return Fail(WSAEINVAL);
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), length) != 0)
        return FailWithErrno();
    return 0;
}

int TIdStackWindows::Connect(TIdStackSocketHandle socket, int family, const std::string& ip, int32_t port)
{
    sockaddr_storage address;
    socklen_t length = 0;
    if (!MakeAddress(family, ip, port, address, length))
        return Fail(WSAEINVAL);
    if (::connect(socket, reinterpret_cast<sockaddr*>(&address), length) == 0)
        return 0;
    if (errno == EINTR)
        return FinishInterruptedConnect(socket);
    return FailWithErrno();
}

int TIdStackWindows::Recv(TIdStackSocketHandle socket, void* buffer, int length, int flags)
{
    for (;;) {
        ssize_t received = ::recv(socket, buffer, static_cast<size_t>(length), flags);
        if (received >= 0)
            return static_cast<int>(received);
        if (errno != EINTR)
            return FailWithErrno();
    }
}

int TIdStackWindows::Send(TIdStackSocketHandle socket, const void* buffer, int length, int flags)
{
    for (;;) {
        ssize_t sent = ::send(socket, buffer, static_cast<size_t>(length), flags | MSG_NOSIGNAL);
        if (sent >= 0)
            return static_cast<int>(sent);
        if (errno != EINTR)
            return FailWithErrno();
    }
}

int TIdStackWindows::SelectReadable(TIdStackSocketHandle socket, int32_t milliseconds)
{
    return PollOne(socket, POLLIN, milliseconds);
}

int TIdStackWindows::SelectWritable(TIdStackSocketHandle socket, int32_t milliseconds)
{
    return PollOne(socket, POLLOUT, milliseconds);
}

int TIdStackWindows::Shutdown(TIdStackSocketHandle socket, int how)
{
    int systemHow = how == Id_SD_Send ? SHUT_WR : how == 0 ? SHUT_RD : SHUT_RDWR;
    if (::shutdown(socket, systemHow) != 0)
        return FailWithErrno();
    return 0;
}

int TIdStackWindows::CloseSocket(TIdStackSocketHandle socket)
{
    // Not retried after a signal: the descriptor is gone either way.
    if (::close(socket) != 0)
        return FailWithErrno();
    return 0;
}

int TIdStackWindows::GetSockName(TIdStackSocketHandle socket, std::string& ip, int32_t& port)
{
    return ReadName(::getsockname, socket, ip, port);
}

int TIdStackWindows::GetPeerName(TIdStackSocketHandle socket, std::string& ip, int32_t& port)
{
    return ReadName(::getpeername, socket, ip, port);
}

int TIdStackWindows::SetSockOpt(TIdStackSocketHandle socket, int level, int option, int32_t value)
{
    int systemLevel = level == Id_IPPROTO_TCP ? IPPROTO_TCP : level;
    int systemOption = level == Id_IPPROTO_TCP && option == Id_TCP_NODELAY ? TCP_NODELAY : option;
    if (::setsockopt(socket, systemLevel, systemOption, &value, sizeof(value)) != 0)
        return FailWithErrno();
    return 0;
}

std::vector<TIdPeerAddress> TIdStackWindows::HostAddresses(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    // Only families this machine can reach: no IPv6 addresses without an IPv6 address here.
    hints.ai_flags = AI_ADDRCONFIG;
    addrinfo* found = nullptr;
    int result = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        Fail(WinsockErrorFromResolver(result, errno));
        return {};
    }
    std::vector<TIdPeerAddress> addresses;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6)
            continue;
        TIdPeerAddress address{entry->ai_family == AF_INET6 ? Id_PF_INET6 : Id_PF_INET, AddressText(entry->ai_addr)};
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    freeaddrinfo(found);
    if (addresses.empty())
        Fail(WSANO_DATA);
    return addresses;
}

int TIdStackWindows::SetBlocking(TIdStackSocketHandle socket, bool blocking)
{
    int flags = fcntl(socket, F_GETFL);
    if (flags < 0)
        return FailWithErrno();
    flags = blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK;
    if (fcntl(socket, F_SETFL, flags) != 0)
        return FailWithErrno();
    return 0;
}

int32_t TIdStackWindows::PendingError(TIdStackSocketHandle socket)
{
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return FailWithErrno();
    return error == 0 ? 0 : WinsockErrorFromErrno(error);
}

int32_t TIdStackWindows::WSAGetLastError()
{
    return LastSocketError;
}

void TIdStackWindows::WSASetLastError(int32_t errorNumber)
{
    LastSocketError = errorNumber;
}

#include "IdStack.h"

#include "Convert.h"
#include "IdException.h"
#include "IdWinSock2.h"

#include <algorithm>
#include <arpa/inet.h>
#include <map>

TIdStack* GlobalStack = nullptr;

namespace {

// Cuts text at the first "." and returns the piece before it; without a full stop the
// whole rest is the piece and nothing is left.
std::string_view CutAtDot(std::string_view& rest)
{
    size_t dot = rest.find('.');
    std::string_view piece = rest.substr(0, dot);
    rest = dot == std::string_view::npos ? std::string_view() : rest.substr(dot + 1);
    return piece;
}

std::array<std::string_view, 4> CutIntoFourPieces(std::string_view dotted)
{
    std::array<std::string_view, 4> pieces;
    for (int i = 0; i < 3; ++i)
        pieces[i] = CutAtDot(dotted);
    pieces[3] = dotted;
    return pieces;
}

bool IsByteNumber(std::string_view piece)
{
    if (piece.empty())
        return false;
    int value = 0;
    for (char c : piece) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
        if (value > 255)
            return false;
    }
    return true;
}

// Never destroyed: a connection closed while the program ends may still need a text.
const std::map<int32_t, const char*>& ErrorTexts()
{
    static const auto* texts = new std::map<int32_t, const char*>{
        {WSAEINTR, "Interrupted system call."},
        {WSAEBADF, "Bad file number."},
        {WSAEACCES, "Access denied."},
        {WSAEFAULT, "Bad address."},
        {WSAEINVAL, "Invalid argument."},
        {WSAEMFILE, "Too many open files."},
        {WSAEWOULDBLOCK, "Operation would block. "},
        {WSAEINPROGRESS, "Operation now in progress."},
        {WSAEALREADY, "Operation already in progress."},
        {WSAENOTSOCK, "Socket operation on non-socket."},
        {WSAEDESTADDRREQ, "Destination address required."},
        {WSAEMSGSIZE, "Message too long."},
        {WSAEPROTOTYPE, "Protocol wrong type for socket."},
        {WSAENOPROTOOPT, "Bad protocol option."},
        {WSAEPROTONOSUPPORT, "Protocol not supported."},
        {WSAESOCKTNOSUPPORT, "Socket type not supported."},
        {WSAEOPNOTSUPP, "Operation not supported on socket."},
        {WSAEPFNOSUPPORT, "Protocol family not supported."},
        {WSAEAFNOSUPPORT, "Address family not supported by protocol family."},
        {WSAEADDRINUSE, "Address already in use."},
        {WSAEADDRNOTAVAIL, "Cannot assign requested address."},
        {WSAENETDOWN, "Network is down."},
        {WSAENETUNREACH, "Network is unreachable."},
        {WSAENETRESET, "Net dropped connection or reset."},
        {WSAECONNABORTED, "Software caused connection abort."},
        {WSAECONNRESET, "Connection reset by peer."},
        {WSAENOBUFS, "No buffer space available."},
        {WSAEISCONN, "Socket is already connected."},
        {WSAENOTCONN, "Socket is not connected."},
        {WSAESHUTDOWN, "Cannot send or receive after socket is closed."},
        {WSAETOOMANYREFS, "Too many references, cannot splice."},
        {WSAETIMEDOUT, "Connection timed out."},
        {WSAECONNREFUSED, "Connection refused."},
        {WSAELOOP, "Too many levels of symbolic links."},
        {WSAENAMETOOLONG, "File name too long."},
        {WSAEHOSTDOWN, "Host is down."},
        {WSAEHOSTUNREACH, "No route to host."},
        {WSAENOTEMPTY, "Directory not empty"},
        {WSAHOST_NOT_FOUND, "Host not found."},
        {WSATRY_AGAIN, "Host not found for now (the name server did not answer). Try again later."},
        {WSANO_RECOVERY, "The name server failed to look the host up."},
        {WSANO_DATA, "The host name has no address."},
    };
    return *texts;
}

bool SameTextAscii(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

} // namespace

std::vector<TIdPeerAddress> TIdStack::LookupHostAddresses(const std::string& host)
{
    const std::string bare = WithoutBrackets(host);
    if (IsIPv6Address(bare))
        return {{Id_PF_INET6, bare}};
    if (IsDottedQuad(host))
        return {{Id_PF_INET, host}};
    if (SameTextAscii(host, "LOCALHOST"))
        return {{Id_PF_INET, "127.0.0.1"}};
    std::vector<TIdPeerAddress> addresses = HostAddresses(host);
    if (addresses.empty())
        CheckSocketResult(Id_SOCKET_ERROR, {});
    return addresses;
}

std::string TIdStack::LookupHost(const std::string& host)
{
    return LookupHostAddresses(host).front().IP;
}

bool TIdStack::NeedsLookup(const std::string& host)
{
    return !SameTextAscii(host, "LOCALHOST") && !IsDottedQuad(host) && !IsIPv6Address(WithoutBrackets(host));
}

bool TIdStack::IsIPv6Address(std::string_view text)
{
    in6_addr address{};
    return text.find(':') != std::string_view::npos &&
           inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

std::string TIdStack::WithoutBrackets(const std::string& host)
{
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        return host.substr(1, host.size() - 2);
    return host;
}

bool TIdStack::IsLoopbackAddress(const std::string& address)
{
    if (IsDottedQuad(address))
        return address.starts_with("127.");
    in6_addr bytes{};
    if (inet_pton(AF_INET6, address.c_str(), &bytes) != 1)
        return false;
    if (IN6_IS_ADDR_LOOPBACK(&bytes))
        return true;
    return IN6_IS_ADDR_V4MAPPED(&bytes) && bytes.s6_addr[12] == 127;
}

bool TIdStack::IsDottedQuad(std::string_view text)
{
    auto pieces = CutIntoFourPieces(text);
    return std::all_of(pieces.begin(), pieces.end(), IsByteNumber);
}

TIdIPv4Bytes TIdStack::ParseAddress(std::string_view dotted)
{
    TIdIPv4Bytes address{};
    auto pieces = CutIntoFourPieces(dotted);
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (!IsByteNumber(pieces[i]))
            throw EConvertError("'" + std::string(pieces[i]) + "' is not a valid integer value");
        address[i] = static_cast<uint8_t>(StrToInt(pieces[i]));
    }
    return address;
}

std::string TIdStack::FormatAddress(const TIdIPv4Bytes& address)
{
    return std::to_string(address[0]) + "." + std::to_string(address[1]) + "." + std::to_string(address[2])
        + "." + std::to_string(address[3]);
}

bool TIdStack::CheckSocketResult(int result, std::initializer_list<int32_t> allowed)
{
    if (result != Id_SOCKET_ERROR)
        return false;
    LastErrorCode = WSAGetLastError();
    if (std::find(allowed.begin(), allowed.end(), LastErrorCode) != allowed.end())
        return true;
    RaiseSocketFailure(LastErrorCode);
}

void TIdStack::RaiseSocketFailure(int32_t errorNumber)
{
    throw EIdSocketError(errorNumber, SocketErrorText(errorNumber));
}

std::string TIdStack::SocketErrorText(int32_t errorNumber)
{
    std::string text = "Socket Error # " + std::to_string(errorNumber) + "\r\n";
    auto found = ErrorTexts().find(errorNumber);
    if (found != ErrorTexts().end())
        text += found->second;
    return text;
}

#include "IdIOHandlerSocket.h"

#include "IdException.h"
#include "IdWinSock2.h"

void TIdIOHandlerSocket::CloseHandler()
{
    if (FSocketHandle)
        FSocketHandle->ReleaseHandle();
}

void TIdIOHandlerSocket::ConnectTo(const std::string& host, int32_t port, int32_t timeout, int32_t boundPortMax,
                                   int32_t boundPortMin, int32_t boundPort, const std::string& boundIP)
{
    // Only a real lookup is announced; "localhost" and addresses need none.
    if (TIdStack::NeedsLookup(host))
        ReportStatus(hsResolving, host);
    ConnectToAddresses(GlobalStack->LookupHostAddresses(host), port, timeout, boundPortMax, boundPortMin, boundPort,
                       boundIP);
}

void TIdIOHandlerSocket::ConnectToAddresses(const std::vector<TIdPeerAddress>& addresses, int32_t port,
                                            int32_t timeout, int32_t boundPortMax, int32_t boundPortMin,
                                            int32_t boundPort, const std::string& boundIP)
{
    if (!FSocketHandle)
        OpenHandler();
    for (size_t i = 0; i < addresses.size(); ++i) {
        try {
            ConnectToAddress(addresses[i], port, timeout, boundPortMax, boundPortMin, boundPort, boundIP);
            return;
        } catch (const EIdException&) {
            // A host with an IPv6 and an IPv4 address may serve only one of them.
            if (i + 1 == addresses.size())
                throw;
        }
    }
}

void TIdIOHandlerSocket::ConnectToAddress(const TIdPeerAddress& address, int32_t port, int32_t timeout,
                                          int32_t boundPortMax, int32_t boundPortMin, int32_t boundPort,
                                          const std::string& boundIP)
{
    TIdSocketHandle& handle = *FSocketHandle;
    handle.AllocateHandle(address.Family, Id_SOCK_STREAM, Id_IPPROTO_IP);
    handle.IP = boundIP;
    handle.Port = boundPort;
    handle.ClientPortMin = boundPortMin;
    handle.ClientPortMax = boundPortMax;
    handle.BindLocal();
    handle.SetPeerAddress(address.IP, port);
    if (!UseNagle)
        handle.SetSockOpt(Id_IPPROTO_TCP, Id_TCP_NODELAY, 1);
    ReportStatus(hsConnecting, address.IP);
    if (timeout != -1 && timeout != 0)
        TimedConnect(timeout);
    else
        GlobalStack->CheckSocketResult(handle.ConnectPeer(address.Family), {});
}

// Connects without blocking and waits for the outcome; on a time-out the socket is
// closed, which abandons the pending connect.
void TIdIOHandlerSocket::TimedConnect(int32_t timeout)
{
    TIdSocketHandle& handle = *FSocketHandle;
    GlobalStack->CheckSocketResult(GlobalStack->SetBlocking(handle.SocketNumber, false), {});
    int result = GlobalStack->Connect(handle.SocketNumber, handle.Family, handle.PeerAddress, handle.PeerPortNumber);
    int32_t error = result == Id_SOCKET_ERROR ? GlobalStack->WSAGetLastError() : 0;
    if (error == WSAEINPROGRESS || error == WSAEWOULDBLOCK) {
        int ready = GlobalStack->SelectWritable(handle.SocketNumber, timeout < 0 ? -2 : timeout);
        if (ready == 0) {
            CloseHandler();
            throw EIdConnectTimeout();
        }
        error = ready < 0 ? GlobalStack->WSAGetLastError() : GlobalStack->PendingError(handle.SocketNumber);
        if (error == Id_SOCKET_ERROR)
            error = GlobalStack->WSAGetLastError();
    }
    if (error != 0)
        throw EIdConnectException(TIdStack::SocketErrorText(error));
    GlobalStack->CheckSocketResult(GlobalStack->SetBlocking(handle.SocketNumber, true), {});
    handle.ReadAddresses();
}

bool TIdIOHandlerSocket::IsConnected()
{
    return FSocketHandle && FSocketHandle->HasSocket;
}

void TIdIOHandlerSocket::OpenHandler()
{
    if (FSocketHandle) {
        FSocketHandle->ReleaseHandle();
        FSocketHandle->ClearState(true);
    } else {
        FSocketHandle = std::make_unique<TIdSocketHandle>();
    }
}

bool TIdIOHandlerSocket::WaitReadable(int32_t milliseconds)
{
    if (!FSocketHandle)
        throw EIdConnClosedGracefully();
    return FSocketHandle->WaitReadable(milliseconds);
}

int TIdIOHandlerSocket::RecvInto(char* buffer, int length)
{
    if (!IsConnected())
        throw EIdClosedSocket();
    return FSocketHandle->Recv(buffer, length);
}

int TIdIOHandlerSocket::SendFrom(const char* buffer, int length)
{
    if (!IsConnected())
        throw EIdClosedSocket();
    return FSocketHandle->Send(buffer, length);
}

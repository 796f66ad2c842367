#include "IdSocketHandle.h"

#include "IdException.h"
#include "IdWinSock2.h"

TIdSocketHandle::TIdSocketHandle()
{
    ClearState(true);
}

TIdSocketHandle::~TIdSocketHandle()
{
    ReleaseHandle();
}

void TIdSocketHandle::AllocateHandle(int family, int socketType, int protocol)
{
    ReleaseHandle();
    Family = family;
    SocketNumber = GlobalStack->NewSocket(family, socketType, protocol);
    if (SocketNumber == Id_INVALID_SOCKET)
        throw EIdInvalidSocket();
    HasSocket = true;
}

void TIdSocketHandle::ReleaseHandle()
{
    if (!HasSocket)
        return;
    HasSocket = false;
    GlobalStack->Shutdown(SocketNumber, Id_SD_Send);
    GlobalStack->CloseSocket(SocketNumber);
    SocketNumber = Id_INVALID_SOCKET;
}

bool TIdSocketHandle::TryBind(int32_t port)
{
    int result = GlobalStack->Bind(SocketNumber, Family, IP, port);
    if (GlobalStack->CheckSocketResult(result, {WSAEADDRINUSE}))
        return false;
    GlobalStack->CheckSocketResult(GlobalStack->GetSockName(SocketNumber, IP, Port), {});
    return true;
}

void TIdSocketHandle::BindLocal()
{
    if (Port != 0 || ClientPortMin == 0 || ClientPortMax == 0) {
        if (!TryBind(Port))
            throw EIdCouldNotBindSocket();
        return;
    }
    if (ClientPortMax < ClientPortMin)
        throw EIdInvalidPortRange(ClientPortMin, ClientPortMax);
    for (int32_t port = ClientPortMax; port >= ClientPortMin; --port) {
        if (TryBind(port))
            return;
    }
    throw EIdCanNotBindPortInRange(ClientPortMin, ClientPortMax);
}

int TIdSocketHandle::ConnectPeer(int family)
{
    int result = GlobalStack->Connect(SocketNumber, family, PeerAddress, PeerPortNumber);
    if (result != Id_SOCKET_ERROR)
        ReadAddresses();
    return result;
}

void TIdSocketHandle::ReadAddresses()
{
    GlobalStack->CheckSocketResult(GlobalStack->GetSockName(SocketNumber, IP, Port), {});
    GlobalStack->CheckSocketResult(GlobalStack->GetPeerName(SocketNumber, PeerAddress, PeerPortNumber), {});
}

void TIdSocketHandle::SetPeerAddress(const std::string& address, int32_t port)
{
    PeerAddress = address;
    PeerPortNumber = port;
}

bool TIdSocketHandle::WaitReadable(int32_t milliseconds)
{
    if (!HasSocket)
        throw EIdConnClosedGracefully();
    // Also without a limit: the wait is where the window stays responsive.
    return GlobalStack->SelectReadable(SocketNumber, milliseconds) == 1;
}

int TIdSocketHandle::Recv(void* buffer, int length)
{
    return GlobalStack->Recv(SocketNumber, buffer, length, 0);
}

int TIdSocketHandle::Send(const void* buffer, int length)
{
    return GlobalStack->Send(SocketNumber, buffer, length, 0);
}

void TIdSocketHandle::SetSockOpt(int level, int option, int32_t value)
{
    GlobalStack->CheckSocketResult(GlobalStack->SetSockOpt(SocketNumber, level, option, value), {});
}

void TIdSocketHandle::ClearState(bool resetLocal)
{
    HasSocket = false;
    SocketNumber = Id_INVALID_SOCKET;
    if (resetLocal) {
        IP.clear();
        Port = 0;
    }
    PeerAddress.clear();
    PeerPortNumber = 0;
}

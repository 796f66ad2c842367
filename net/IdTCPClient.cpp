#include "IdTCPClient.h"

#include "IdException.h"

void TIdTCPClient::DoOnConnected()
{
    if (OnConnected)
        OnConnected(this);
}

void TIdTCPClient::OpenConnection(int32_t timeout)
{
    if (!IOHandler()) {
        auto handler = std::make_unique<TIdIOHandlerTls>();
        handler->OnStatus = OnStatus;
        SetIOHandler(std::move(handler));
    } else if (IOHandler()->IsConnected()) {
        throw EIdAlreadyConnected();
    }
    ConnectedAddress.clear();
    LastTls = {};
    try {
        IOHandler()->OpenHandler();
        ResetInput();
        IOHandler()->ConnectTo(Host, Port, timeout, BoundPortMax, BoundPortMin, BoundPort, BoundIP);
        if (auto* socket = dynamic_cast<TIdIOHandlerSocket*>(IOHandler()); socket && socket->SocketHandle())
            ConnectedAddress = socket->SocketHandle()->PeerAddress;
        if (Security == csImplicitTls)
            StartTls();
        ReportStatus(hsConnected, Host);
        DoOnConnected();
    } catch (const EIdConnectTimeout&) {
        DropSocket();
        throw EIdConnectTimeout(Host);
    } catch (...) {
        DropSocket();
        throw;
    }
}

void TIdTCPClient::RaiseReadTimeout()
{
    throw EIdReadTimeout(Host);
}

void TIdTCPClient::StartTls()
{
    auto* tls = dynamic_cast<TIdIOHandlerTls*>(IOHandler());
    if (!tls)
        throw EIdTlsError(tfHandshake, "Toto spojení nelze šifrovat.");
    // What the server sent before the switch belongs to the plain part.
    ResetInput();
    tls->PinnedFingerprint = PinnedFingerprint;
    // A server silent after "+OK" to STLS waits no longer than one silent in a reply.
    if (ReadTimeout > 0 && (tls->HandshakeTimeout <= 0 || ReadTimeout < tls->HandshakeTimeout))
        tls->HandshakeTimeout = ReadTimeout;
    tls->StartTls(Host);
    LastTls = tls->TlsInfo();
}

bool TIdTCPClient::Encrypted() const
{
    auto* tls = dynamic_cast<TIdIOHandlerTls*>(IOHandler());
    return tls && tls->TlsActive();
}

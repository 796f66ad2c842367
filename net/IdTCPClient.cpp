#include "IdTCPClient.h"

#include "IdException.h"
#include "IdIOHandlerSocket.h"

void TIdTCPClient::DoOnConnected()
{
    if (OnConnected)
        OnConnected(this);
}

void TIdTCPClient::OpenConnection(int32_t timeout)
{
    if (!IOHandler()) {
        auto handler = std::make_unique<TIdIOHandlerSocket>();
        handler->OnStatus = OnStatus;
        SetIOHandler(std::move(handler));
    } else if (IOHandler()->IsConnected()) {
        throw EIdAlreadyConnected();
    }
    try {
        IOHandler()->OpenHandler();
        ResetInput();
        IOHandler()->ConnectTo(Host, Port, timeout, BoundPortMax, BoundPortMin, BoundPort, BoundIP);
        ReportStatus(hsConnected, Host);
        DoOnConnected();
    } catch (...) {
        DropSocket();
        throw;
    }
}

void TIdTCPClient::RaiseReadTimeout()
{
    throw EIdReadTimeout(Host);
}

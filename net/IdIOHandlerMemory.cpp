#include "IdIOHandlerMemory.h"

#include "IdException.h"
#include "IdStack.h"

#include <algorithm>
#include <cstring>

void TIdIOHandlerMemory::Feed(const std::string& bytes)
{
    if (!bytes.empty())
        FSteps.push_back({StepKind::Bytes, bytes});
}

void TIdIOHandlerMemory::FeedStall()
{
    FSteps.push_back({StepKind::Stall, {}});
}

void TIdIOHandlerMemory::FeedError(int32_t errorNumber)
{
    FSteps.push_back({StepKind::Error, {}, 0, errorNumber});
}

void TIdIOHandlerMemory::FeedClose()
{
    FSteps.push_back({StepKind::Close, {}});
}

void TIdIOHandlerMemory::FailNextSend(int32_t errorNumber)
{
    FSendError = errorNumber;
}

int64_t TIdIOHandlerMemory::PendingBytes() const
{
    int64_t pending = 0;
    for (const Step& step : FSteps)
        pending += static_cast<int64_t>(step.Bytes.size() - step.Played);
    return pending;
}

void TIdIOHandlerMemory::CloseHandler()
{
    if (Connected)
        ++CloseCount;
    Connected = false;
}

void TIdIOHandlerMemory::ConnectTo(const std::string&, int32_t, int32_t, int32_t, int32_t, int32_t,
                                   const std::string&)
{
    Connected = true;
}

bool TIdIOHandlerMemory::IsConnected()
{
    return Connected;
}

void TIdIOHandlerMemory::OpenHandler()
{
    Connected = true;
}

bool TIdIOHandlerMemory::WaitReadable(int32_t)
{
    if (!Connected)
        throw EIdConnClosedGracefully();
    if (!FSteps.empty() && FSteps.front().Kind == StepKind::Stall) {
        FSteps.pop_front();
        return false;
    }
    return true;
}

int TIdIOHandlerMemory::RecvInto(char* buffer, int length)
{
    if (!Connected)
        throw EIdClosedSocket();
    if (FSteps.empty() || FSteps.front().Kind == StepKind::Close)
        return 0;
    Step& step = FSteps.front();
    if (step.Kind == StepKind::Error) {
        GlobalStack->WSASetLastError(step.ErrorNumber);
        FSteps.pop_front();
        return Id_SOCKET_ERROR;
    }
    size_t count = std::min({step.Bytes.size() - step.Played, static_cast<size_t>(std::max(length, 0)),
                             static_cast<size_t>(std::max(ChunkSize, 1))});
    std::memcpy(buffer, step.Bytes.data() + step.Played, count);
    step.Played += count;
    if (step.Played == step.Bytes.size())
        FSteps.pop_front();
    return static_cast<int>(count);
}

int TIdIOHandlerMemory::SendFrom(const char* buffer, int length)
{
    if (!Connected)
        throw EIdClosedSocket();
    if (FSendError != 0) {
        GlobalStack->WSASetLastError(FSendError);
        FSendError = 0;
        return Id_SOCKET_ERROR;
    }
    int count = SendLimit > 0 ? std::min(length, SendLimit) : length;
    Written.append(buffer, static_cast<size_t>(count));
    return count;
}

#pragma once
// A transport in memory: it plays the bytes it is given, at most ChunkSize of them per
// receive, and keeps everything written to it. Stalls (a wait that finds no data),
// socket errors and the peer's close can be queued between the bytes; when everything
// queued has been played, the peer counts as closed.

#include "IdIOHandler.h"

#include <cstdint>
#include <deque>
#include <string>

class TIdIOHandlerMemory : public TIdIOHandler {
public:
    // Queues bytes for the connection to receive.
    void Feed(const std::string& bytes);
    // The next wait for data finds none (a time-out).
    void FeedStall();
    // The next receive fails with this socket error number.
    void FeedError(int32_t errorNumber);
    // From here on every receive returns 0, as after the peer closed.
    void FeedClose();
    // The next send fails with this socket error number.
    void FailNextSend(int32_t errorNumber);
    // Everything queued and not yet received, as bytes.
    int64_t PendingBytes() const;

    void CloseHandler() override;
    void ConnectTo(const std::string& host, int32_t port, int32_t timeout, int32_t boundPortMax,
                   int32_t boundPortMin, int32_t boundPort, const std::string& boundIP) override;
    bool IsConnected() override;
    void OpenHandler() override;
    bool WaitReadable(int32_t milliseconds) override;
    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

    // The most bytes one receive hands out.
    int32_t ChunkSize = 32768;
    // The most bytes one send takes (0 = all it is given).
    int32_t SendLimit = 0;
    // Everything the connection sent.
    std::string Written;
    // Starts connected, as if a connect had just succeeded.
    bool Connected = true;
    int32_t CloseCount = 0;

private:
    enum class StepKind { Bytes, Stall, Error, Close };
    struct Step {
        StepKind Kind;
        std::string Bytes;
        size_t Played = 0;
        int32_t ErrorNumber = 0;
    };
    std::deque<Step> FSteps;
    int32_t FSendError = 0;
};

#pragma once
// The blocking, buffered connection: every received byte waits in InputQueue until a
// line or a range of bytes is handed out; sends go out completely before they return;
// a close by the peer is noticed by the next read or write.

#include "IdComponent.h"
#include "IdIOHandler.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdSimpleBuffer;
using TIdBufferConsumedEvent = std::function<void(TIdSimpleBuffer* sender, int32_t count)>;

// A growable byte store; consuming from the front moves the remaining bytes.
class TIdSimpleBuffer {
public:
    virtual ~TIdSimpleBuffer() = default;

    // The unread bytes.
    int32_t Size() const { return static_cast<int32_t>(FData.size() - FReadOffset); }
    const char* Memory() const { return FData.data() + FReadOffset; }
    char* Memory() { return FData.data() + FReadOffset; }
    // Makes the unread part exactly count bytes long (new bytes are zero).
    void SetSize(int32_t count);
    void Append(const char* data, int32_t count);
    // Hands out the first count unread bytes and consumes them; raises
    // EIdNotEnoughDataInBuffer when fewer are there.
    std::string Take(int32_t count);
    void Discard(int32_t count);
    // Position of needle in the unread bytes, searching from `from` on, or -1.
    int32_t Find(std::string_view needle, int32_t from) const;
    virtual void Compact();
    void Clear();

    TIdBufferConsumedEvent OnConsumed;

protected:
    virtual void Consume(int32_t count);

    std::string FData;
    size_t FReadOffset = 0;
};

// Consuming only advances ReadOffset; the unread bytes move to the front once
// PackThreshold bytes have been consumed, and consuming everything simply empties it.
class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    int32_t ReadOffset() const { return static_cast<int32_t>(FReadOffset); }
    // Bytes held in memory, consumed ones included; for watching memory use.
    size_t Capacity() const { return FData.capacity(); }

    int32_t PackThreshold = 32768;

protected:
    void Consume(int32_t count) override;
};

enum TIdMaxLineAction { maException = 0, maSplit = 1 };

class TIdTCPConnection;

// A stream view of a connection: reading is ReadExact, writing is SendBytes, and it
// cannot seek. Line readers given such a stream read lines from SourceConnection.
class TIdTCPStream {
public:
    explicit TIdTCPStream(TIdTCPConnection* connection) : SourceConnection(connection) {}
    int32_t Read(char* buffer, int32_t count);
    int32_t Write(const char* buffer, int32_t count);
    int64_t Seek(int64_t offset, int origin);

    TIdTCPConnection* SourceConnection;
};

class TIdTCPConnection : public TIdComponent {
public:
    TIdTCPConnection();
    ~TIdTCPConnection() override;

    TIdIOHandler* IOHandler() const { return FIOHandler; }
    bool OwnsIOHandler() const { return FOwnedIOHandler != nullptr; }
    // A handler the caller keeps owning (the in-memory transport of the tests, say).
    void SetIOHandler(TIdIOHandler* handler);
    // A handler the connection owns and frees in CloseConnection.
    void SetIOHandler(std::unique_ptr<TIdIOHandler> handler);

    virtual void DoOnDisconnected();
    virtual void ResetInput();
    // Drops the socket and reports the close once when the peer has closed; raises
    // EIdConnClosedGracefully when asked to and nothing usable is buffered.
    virtual void DetectDisconnect(bool raiseWhenClosed, bool ignoreBuffer);
    virtual bool IsConnected();
    virtual void CloseConnection();
    // Closes the transport without any event.
    virtual void DropSocket();
    // Bytes added to InputQueue, 0 when the connection closed, -1 on a time-out that
    // does not raise. A time-out of -1 means ReadTimeout.
    virtual int32_t FillInputBuffer(bool raiseWhenClosed = true, int32_t timeout = -1, bool raiseOnTimeout = true);
    // The next line without its terminator (a line feed by default; a carriage return
    // before it goes too). Limits: -1 means ReadTimeout and MaxLineLength.
    virtual std::string ReadLine(const std::string& terminator = "", int32_t timeout = -1, int32_t maxLength = -1);
    virtual void WriteText(const std::string& text);
    virtual void WriteLine(const std::string& text);

    // Reads lines, trimmed, until one is not empty or `tries` lines have been read.
    std::string ReadNonEmptyLine(int32_t tries);
    void ReadExact(char* buffer, int32_t count);
    void SendBytes(const char* bytes, int32_t count);
    // Reads lines until one equals endLine and hands them over (a leading ".." loses one
    // full stop when unstuffDots); returns the number of lines. The stream form writes
    // every line followed by CR LF.
    int32_t CaptureLines(std::vector<std::string>& destination, const std::string& endLine = ".",
                         bool unstuffDots = true);
    int32_t CaptureLines(std::ostream& destination, const std::string& endLine = ".", bool unstuffDots = true);

    TIdManagedBuffer InputQueue;
    TIdSimpleBuffer RecvChunk;
    int32_t RecvBufferSize = 32768;
    int32_t SendBufferSize = 32768;
    int32_t MaxLineLength = 16384;
    TIdMaxLineAction MaxLineAction = maException;
    int32_t ReadTimeout = 0;
    bool PeerClosed = false;
    bool LineSplit = false;
    bool LineTimedOut = false;
    TIdNotifyEvent OnDisconnected;

protected:
    void FreeOwnedIOHandler();

private:
    std::string SplitLine(int32_t maxLength);
    int32_t CaptureEachLine(const std::string& endLine, bool unstuffDots,
                            const std::function<void(std::string&&)>& keep);

    TIdIOHandler* FIOHandler = nullptr;
    std::unique_ptr<TIdIOHandler> FOwnedIOHandler;
};

#pragma once
// The blocking, buffered connection: every received byte waits in InputQueue until a
// line or a range of bytes is handed out; sends go out completely before they return;
// a close by the peer is noticed by the next read or write.

#include "IdComponent.h"
#include "IdException.h"
#include "IdIOHandler.h"
#include "IdRFCReply.h"

#include <cstdint>
#include <cstring>
#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdSimpleBuffer;
using TIdReplyCodes = std::vector<int16_t>;
using TIdBufferConsumedEvent = std::function<void(TIdSimpleBuffer* sender, int32_t count)>;

// A growable byte store. Consuming from the front advances a read offset; the unread
// bytes move to the front once PackThreshold bytes have been consumed (at once for a
// plain buffer), and consuming everything simply empties it.
class TIdSimpleBuffer {
public:
    // The unread bytes.
    int32_t Size() const { return static_cast<int32_t>(FEnd - FReadOffset); }
    const char* Memory() const { return FMemory.get() + FReadOffset; }
    void Append(const char* data, int32_t count);
    // Room for count more bytes at the end, to be filled and then made part of the
    // buffer with Appended (so a receive can land in the buffer directly).
    char* AppendSpace(int32_t count);
    void Appended(int32_t count);
    // Hands out the first count unread bytes and consumes them; raises
    // EIdNotEnoughDataInBuffer when fewer are there.
    std::string Take(int32_t count);
    void Discard(int32_t count)
    {
        if (count > Size())
            RaiseNotEnoughData();
        if (count > 0)
            Consume(count);
    }
    // Position of needle in the unread bytes, searching from `from` on, or -1.
    int32_t Find(std::string_view needle, int32_t from) const
    {
        if (needle.size() != 1 || from < 0 || from >= Size())
            return FindText(needle, from);
        auto hit = static_cast<const char*>(std::memchr(Memory() + from, needle[0], static_cast<size_t>(Size() - from)));
        return hit ? static_cast<int32_t>(hit - Memory()) : -1;
    }
    void Compact();
    void Clear();
    int32_t ReadOffset() const { return static_cast<int32_t>(FReadOffset); }
    // Bytes held in memory, consumed ones included; for watching memory use.
    size_t Capacity() const { return FCapacity; }

    TIdBufferConsumedEvent OnConsumed;
    int32_t PackThreshold = 0;

private:
    void Consume(int32_t count);
    int32_t FindText(std::string_view needle, int32_t from) const;
    [[noreturn]] static void RaiseNotEnoughData();

    std::unique_ptr<char[]> FMemory;
    size_t FCapacity = 0;
    size_t FReadOffset = 0;
    size_t FEnd = 0;
};

// The input queue: consuming a line moves no memory until 32768 bytes are consumed.
class TIdManagedBuffer : public TIdSimpleBuffer {
public:
    TIdManagedBuffer() { PackThreshold = 32768; }
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
    // Whether bytes (or a close) wait that no command asked for: a connection found so
    // after a pause is no longer in step with its server.
    bool HasUnreadInput();
    virtual void WriteLine(const std::string& text);

    // Writes the command with CR LF and reads the reply; -1 accepts any code.
    int16_t SendCommand(const std::string& command, int16_t acceptedCode = -1);
    int16_t SendCommand(const std::string& command, const TIdReplyCodes& acceptedCodes);
    // Reads one reply into LastReply and checks its code (an empty list accepts any).
    virtual int16_t ReadReply(const TIdReplyCodes& acceptedCodes);
    // Reads the lines of one reply (blank lines before it skipped, each line trimmed; a
    // fourth character "-" continues it) into LastReply.
    void ReadReplyLines();
    virtual int16_t CheckReplyCode(int16_t code, const TIdReplyCodes& acceptedCodes);
    // Raises EIdProtocolReplyError with LastReply's code and its lines, each ended by CR LF.
    virtual void RaiseReplyError();
    // Raises EIdReadTimeout for a wait that went past its time-out.
    [[noreturn]] virtual void RaiseReadTimeout();

    // The most lines of one reply, and of blank lines before it; past it EIdReplyTooLong.
    static constexpr int32_t MaxReplyLines = 1000;

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

    // Received bytes not yet handed out; a receive lands directly at its end.
    TIdManagedBuffer InputQueue;
    int32_t RecvBufferSize = 32768;
    int32_t SendBufferSize = 32768;
    int32_t MaxLineLength = 16384;
    TIdMaxLineAction MaxLineAction = maException;
    // The longest silence in a reply, in milliseconds; 0: no limit. A reply that
    // trickles counts as silent: the whole reply gets ReadTimeout, and ReadTimeout more
    // for each ReplyAllowanceBytes received.
    int32_t ReadTimeout = 0;
    static constexpr int64_t ReplyAllowanceBytes = 16 * 1024;
    bool PeerClosed = false;
    bool LineSplit = false;
    bool LineTimedOut = false;
    TIdNotifyEvent OnDisconnected;
    TIdRFCReply LastReply;

protected:
    void FreeOwnedIOHandler();
    // Runs one exchange with the server. A failure in its middle leaves the rest of a
    // reply unread, so the connection is dropped and the next command cannot read the old
    // reply as its own; a refusal or an odd reply line read in full leaves it as it is.
    template <class Operation>
    auto Exchange(Operation&& operation) -> decltype(operation())
    {
        try {
            return operation();
        } catch (const EIdProtocolReplyError&) {
            throw;
        } catch (const EIdReplyNotUnderstood&) {
            throw;
        } catch (...) {
            DropSocket();
            throw;
        }
    }

private:
    // The reply clock starts with every command sent and with every new connection.
    void StartReplyClock();
    int32_t ReplyWaitLeft() const;
    std::string SplitLine(int32_t maxLength);
    int32_t CaptureEachLine(const std::string& endLine, bool unstuffDots,
                            const std::function<void(std::string&&)>& keep);

    std::chrono::steady_clock::time_point FReplyStarted = std::chrono::steady_clock::now();
    int64_t FReplyBytes = 0;
    TIdIOHandler* FIOHandler = nullptr;
    std::unique_ptr<TIdIOHandler> FOwnedIOHandler;
};

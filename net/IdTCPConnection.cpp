#include "IdTCPConnection.h"

#include <algorithm>
#include <chrono>

#include "IdException.h"
#include "IdRFCReply.h"
#include "IdStack.h"
#include "IdWinSock2.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ostream>

namespace {

bool SameTextAscii(std::string_view a, std::string_view b)
{
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return upper(x) == upper(y); });
}

} // namespace

// --- TIdSimpleBuffer ---------------------------------------------------------------

char* TIdSimpleBuffer::AppendSpace(int32_t count)
{
    const size_t needed = static_cast<size_t>(std::max(count, 0));
    if (FEnd + needed <= FCapacity)
        return FMemory.get() + FEnd;
    // Consumed bytes at the front make room before the memory is allowed to grow.
    Compact();
    if (FEnd + needed > FCapacity) {
        size_t capacity = std::max(FCapacity * 2, FEnd + needed);
        auto memory = std::make_unique_for_overwrite<char[]>(capacity);
        if (FEnd > 0)
            std::memcpy(memory.get(), FMemory.get(), FEnd);
        FMemory = std::move(memory);
        FCapacity = capacity;
    }
    return FMemory.get() + FEnd;
}

void TIdSimpleBuffer::Appended(int32_t count)
{
    FEnd = std::min(FEnd + static_cast<size_t>(std::max(count, 0)), FCapacity);
}

void TIdSimpleBuffer::Append(const char* data, int32_t count)
{
    if (count <= 0)
        return;
    std::memcpy(AppendSpace(count), data, static_cast<size_t>(count));
    Appended(count);
}

std::string TIdSimpleBuffer::Take(int32_t count)
{
    if (count > Size())
        RaiseNotEnoughData();
    if (count <= 0)
        return {};
    std::string taken(Memory(), static_cast<size_t>(count));
    Consume(count);
    return taken;
}

int32_t TIdSimpleBuffer::FindText(std::string_view needle, int32_t from) const
{
    if (needle.empty() || from < 0 || from >= Size())
        return -1;
    size_t found = std::string_view(Memory(), static_cast<size_t>(Size())).find(needle, static_cast<size_t>(from));
    return found == std::string_view::npos ? -1 : static_cast<int32_t>(found);
}

void TIdSimpleBuffer::RaiseNotEnoughData()
{
    throw EIdNotEnoughDataInBuffer();
}

void TIdSimpleBuffer::Compact()
{
    if (FReadOffset == 0)
        return;
    if (Size() > 0)
        std::memmove(FMemory.get(), Memory(), static_cast<size_t>(Size()));
    FEnd -= FReadOffset;
    FReadOffset = 0;
}

void TIdSimpleBuffer::Clear()
{
    FReadOffset = 0;
    FEnd = 0;
}

void TIdSimpleBuffer::Consume(int32_t count)
{
    if (count == Size()) {
        Clear();
    } else {
        FReadOffset += static_cast<size_t>(count);
        if (FReadOffset >= static_cast<size_t>(std::max(PackThreshold, 0)))
            Compact();
    }
    if (OnConsumed)
        OnConsumed(this, count);
}

// --- TIdTCPStream ------------------------------------------------------------------

int32_t TIdTCPStream::Read(char* buffer, int32_t count)
{
    SourceConnection->ReadExact(buffer, count);
    return count;
}

int32_t TIdTCPStream::Write(const char* buffer, int32_t count)
{
    SourceConnection->SendBytes(buffer, count);
    return count;
}

int64_t TIdTCPStream::Seek(int64_t, int)
{
    return -1;
}

// --- TIdTCPConnection --------------------------------------------------------------

TIdTCPConnection::TIdTCPConnection()
{
    InputQueue.OnConsumed = [this](TIdSimpleBuffer*, int32_t count) { AddWork(wmRead, count); };
}

TIdTCPConnection::~TIdTCPConnection()
{
    TIdTCPConnection::DropSocket();
    FreeOwnedIOHandler();
}

void TIdTCPConnection::SetIOHandler(TIdIOHandler* handler)
{
    FreeOwnedIOHandler();
    FIOHandler = handler;
}

void TIdTCPConnection::SetIOHandler(std::unique_ptr<TIdIOHandler> handler)
{
    FreeOwnedIOHandler();
    FOwnedIOHandler = std::move(handler);
    FIOHandler = FOwnedIOHandler.get();
}

void TIdTCPConnection::FreeOwnedIOHandler()
{
    if (FOwnedIOHandler && FIOHandler == FOwnedIOHandler.get())
        FIOHandler = nullptr;
    FOwnedIOHandler.reset();
}

void TIdTCPConnection::DoOnDisconnected()
{
    if (OnDisconnected)
        OnDisconnected(this);
}

void TIdTCPConnection::ResetInput()
{
    InputQueue.Clear();
    PeerClosed = false;
    StartReplyClock();
}

void TIdTCPConnection::StartReplyClock()
{
    FReplyStarted = std::chrono::steady_clock::now();
    FReplyBytes = 0;
}

// A reply that trickles counts as silent: it gets ReadTimeout, and ReadTimeout more for
// every ReplyAllowanceBytes that came, counted from the command it answers. The
// wait for the next bytes ends no later than that.
int32_t TIdTCPConnection::ReplyWaitLeft() const
{
    using namespace std::chrono;
    const auto periods = 1 + FReplyBytes / ReplyAllowanceBytes;
    const auto allowed = FReplyStarted + milliseconds(ReadTimeout) * periods;
    const auto left = duration_cast<milliseconds>(allowed - steady_clock::now()).count();
    return static_cast<int32_t>(std::clamp<long long>(left, 0, ReadTimeout));
}

void TIdTCPConnection::DetectDisconnect(bool raiseWhenClosed, bool ignoreBuffer)
{
    bool disconnected = false;
    if (PeerClosed || !FIOHandler) {
        if (FIOHandler) {
            disconnected = true;
            if (FIOHandler->IsConnected()) {
                DropSocket();
                ReportStatus(hsDisconnected);
                DoOnDisconnected();
            }
        }
    } else {
        disconnected = !FIOHandler->IsConnected();
    }
    if (disconnected && (InputQueue.Size() == 0 || ignoreBuffer) && raiseWhenClosed)
        throw EIdConnClosedGracefully();
}

bool TIdTCPConnection::IsConnected()
{
    DetectDisconnect(false, false);
    return FIOHandler && FIOHandler->IsConnected();
}

void TIdTCPConnection::CloseConnection()
{
    ReportStatus(hsDisconnecting);
    DropSocket();
    FreeOwnedIOHandler();
    DoOnDisconnected();
    ReportStatus(hsDisconnected);
}

void TIdTCPConnection::DropSocket()
{
    if (!FIOHandler)
        return;
    PeerClosed = true;
    FIOHandler->CloseHandler();
}

int32_t TIdTCPConnection::FillInputBuffer(bool raiseWhenClosed, int32_t timeout, bool raiseOnTimeout)
{
    const bool replyClock = timeout == -1 && ReadTimeout > 0;
    if (timeout == -1)
        timeout = ReadTimeout == 0 ? -2 : ReadTimeout;
    DetectDisconnect(raiseWhenClosed, false);
    if (!IsConnected()) {
        if (raiseWhenClosed)
            throw EIdNotConnected();
        return 0;
    }
    int received;
    do {
        if (replyClock) {
            timeout = ReplyWaitLeft();
            if (timeout == 0) {
                if (raiseOnTimeout)
                    RaiseReadTimeout();
                return -1;
            }
        }
        if (!FIOHandler->WaitReadable(timeout)) {
            if (raiseOnTimeout)
                RaiseReadTimeout();
            return -1;
        }
        const int32_t chunk = std::max(RecvBufferSize, 1);
        try {
            received = FIOHandler->RecvInto(InputQueue.AppendSpace(chunk), chunk);
        } catch (const EIdReadTimeout&) {
            // A transport that waits inside its receive (TLS for the rest of a record).
            RaiseReadTimeout();
        }
        PeerClosed = received == 0;
        // A connection shut down or aborted under us counts as closed; it is an error
        // only when nothing is left to read.
        if (received < 0 && GlobalStack->CheckSocketResult(received, {WSAESHUTDOWN, WSAECONNABORTED})) {
            received = 0;
            DropSocket();
            if (InputQueue.Size() == 0)
                GlobalStack->RaiseSocketFailure(GlobalStack->LastErrorCode);
        }
        if (received > 0) {
            InputQueue.Appended(received);
            FReplyBytes += received;
        }
        DetectDisconnect(raiseWhenClosed, false);
    } while (received == 0 && IsConnected());
    return received;
}

std::string TIdTCPConnection::SplitLine(int32_t maxLength)
{
    if (MaxLineAction == maException)
        throw EIdReadLnMaxLineLengthExceeded();
    LineSplit = true;
    return InputQueue.Take(maxLength);
}

std::string TIdTCPConnection::ReadLine(const std::string& terminator, int32_t timeout, int32_t maxLength)
{
    const std::string_view ending = terminator.empty() ? std::string_view("\n") : std::string_view(terminator);
    const int32_t endingLength = static_cast<int32_t>(ending.size());
    const bool lineFeed = ending == "\n";
    LineSplit = false;
    LineTimedOut = false;
    if (maxLength == -1)
        maxLength = MaxLineLength;
    if (maxLength < 0)
        maxLength = 0;
    // Bytes already searched are not searched again; a longer terminator may have begun
    // in the last bytes searched.
    int32_t searched = 0;
    int32_t found = -1;
    for (;;) {
        const int32_t size = InputQueue.Size();
        if (size > 0) {
            found = InputQueue.Find(ending, std::max(searched - (endingLength - 1), 0));
            searched = size;
        }
        if (found >= 0) {
            if (maxLength != 0 && found > maxLength)
                return SplitLine(maxLength);
            break;
        }
        if (maxLength != 0 && size > maxLength)
            return SplitLine(maxLength);
        DetectDisconnect(true, true);
        int32_t received = FillInputBuffer(true, timeout, timeout == -1);
        // The close was noticed with only an unterminated piece left, or an explicit
        // time-out passed.
        if (received <= 0) {
            LineTimedOut = true;
            return {};
        }
    }
    int32_t length = found;
    if (lineFeed && length > 0 && InputQueue.Memory()[length - 1] == '\r')
        --length;
    std::string line(InputQueue.Memory(), static_cast<size_t>(length));
    InputQueue.Discard(found + endingLength);
    return line;
}

std::string TIdTCPConnection::ReadNonEmptyLine(int32_t tries)
{
    std::string line;
    int32_t read = 0;
    do {
        line = TrimBlanks(ReadLine());
        ++read;
    } while (line.empty() && read < tries);
    return line;
}

void TIdTCPConnection::ReadExact(char* buffer, int32_t count)
{
    if (count <= 0 || !buffer)
        return;
    while (InputQueue.Size() < count) {
        FillInputBuffer(true, -1, true);
        DetectDisconnect(true, true);
    }
    std::memcpy(buffer, InputQueue.Memory(), static_cast<size_t>(count));
    InputQueue.Discard(count);
}

void TIdTCPConnection::WriteText(const std::string& text)
{
    SendBytes(text.data(), static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX)));
}

void TIdTCPConnection::WriteLine(const std::string& text)
{
    WriteText(text + "\r\n");
}

void TIdTCPConnection::SendBytes(const char* bytes, int32_t count)
{
    if (count <= 0 || !bytes)
        return;
    DetectDisconnect(true, true);
    if (!IsConnected())
        throw EIdNotConnected();
    // What comes next answers this.
    StartReplyClock();
    int32_t done = 0;
    while (done < count) {
        int sent = FIOHandler->SendFrom(bytes + done, count - done);
        PeerClosed = sent == 0;
        DetectDisconnect(true, false);
        // These three mean the connection is gone: drop it before raising.
        if (sent < 0 && GlobalStack->CheckSocketResult(sent, {WSAESHUTDOWN, WSAECONNABORTED, WSAECONNRESET})) {
            DropSocket();
            GlobalStack->RaiseSocketFailure(GlobalStack->LastErrorCode);
        }
        AddWork(wmWrite, sent);
        done += sent;
    }
}

int32_t TIdTCPConnection::CaptureEachLine(const std::string& endLine, bool unstuffDots,
                                          const std::function<void(std::string&&)>& keep)
{
    int32_t count = 0;
    StartWork(wmRead);
    try {
        for (;;) {
            std::string line = ReadLine();
            if (line == endLine)
                break;
            if (unstuffDots && line.starts_with(".."))
                line.erase(0, 1);
            ++count;
            keep(std::move(line));
        }
    } catch (...) {
        FinishWork(wmRead);
        throw;
    }
    FinishWork(wmRead);
    return count;
}

int32_t TIdTCPConnection::CaptureLines(std::vector<std::string>& destination, const std::string& endLine,
                                       bool unstuffDots)
{
    return CaptureEachLine(endLine, unstuffDots, [&](std::string&& line) { destination.push_back(std::move(line)); });
}

int32_t TIdTCPConnection::CaptureLines(std::ostream& destination, const std::string& endLine, bool unstuffDots)
{
    return CaptureEachLine(endLine, unstuffDots, [&](std::string&& line) { destination << line << "\r\n"; });
}

// --- Commands and replies ----------------------------------------------------------

int16_t TIdTCPConnection::SendCommand(const std::string& command, int16_t acceptedCode)
{
    return SendCommand(command, acceptedCode == -1 ? TIdReplyCodes{} : TIdReplyCodes{acceptedCode});
}

int16_t TIdTCPConnection::SendCommand(const std::string& command, const TIdReplyCodes& acceptedCodes)
{
    return Exchange([&] {
        WriteLine(command);
        return ReadReply(acceptedCodes);
    });
}

int16_t TIdTCPConnection::ReadReply(const TIdReplyCodes& acceptedCodes)
{
    ReadReplyLines();
    return CheckReplyCode(static_cast<int16_t>(LastReply.NumericCode()), acceptedCodes);
}

void TIdTCPConnection::ReadReplyLines()
{
    std::vector<std::string> lines{ReadNonEmptyLine(MaxReplyLines)};
    if (lines.front().empty())
        throw EIdReplyTooLong();
    const std::string& first = lines.front();
    if (first.size() > 3 && first[3] == '-') {
        const std::string endMarker = first.substr(0, 3) + " ";
        for (;;) {
            if (lines.size() > MaxReplyLines)
                throw EIdReplyTooLong();
            std::string line = ReadNonEmptyLine(MaxReplyLines);
            if (line.empty())
                throw EIdReplyTooLong();
            lines.push_back(std::move(line));
            const std::string& last = lines.back();
            if (last.size() < 4 || SameTextAscii(last.substr(0, 4), endMarker))
                break;
        }
    }
    LastReply.ParseLines(lines);
}

int16_t TIdTCPConnection::CheckReplyCode(int16_t code, const TIdReplyCodes& acceptedCodes)
{
    if (!acceptedCodes.empty() && std::find(acceptedCodes.begin(), acceptedCodes.end(), code) == acceptedCodes.end())
        RaiseReplyError();
    return code;
}

void TIdTCPConnection::RaiseReadTimeout()
{
    throw EIdReadTimeout();
}

bool TIdTCPConnection::HasUnreadInput()
{
    if (InputQueue.Size() > 0)
        return true;
    return FIOHandler && FIOHandler->IsConnected() && FIOHandler->WaitReadable(0);
}

void TIdTCPConnection::RaiseReplyError()
{
    std::string message;
    for (const std::string& line : LastReply.Text)
        message += line + "\r\n";
    throw EIdProtocolReplyError(LastReply.NumericCode(), message);
}

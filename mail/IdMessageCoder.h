#pragma once
// Reading a message from lines: the header block, and the body with its parts.
//
// A registry of detectors ("MIME", then "UUE") is asked for every top-level body line
// whether it starts a part; the decoder a detector offers reads that part's header and
// body from the same lines and hands on to the decoder of the next part, if any.

#include <algorithm>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdMessage;

#include "IdException.h"

// A line of a header block, read with a limit on its length.
struct TIdLimitedLine {
    // Empty when the line was too long.
    std::string Text;
    bool TooLong = false;
    // The bytes the line had, or at least as many as were read of it.
    size_t Length = 0;
};

// A line of a message body as the connection hands it on: a line longer than the
// connection's limit comes in pieces, and each piece is read as a line of its own.
struct TIdBodyLine {
    std::string Text;
    // A piece after the first of its line: plain data, never a boundary, the message's
    // terminating "." or a line with a doubled leading dot.
    bool Continued = false;
};

// Where the readers take their lines from, without line ends: the connection's line
// reader in the program. Raises when no line can be had.
class TIdLineSource {
public:
    virtual ~TIdLineSource() = default;
    virtual std::string ReadLn() = 0;
    // A line longer than maxLength is read on and dropped, in pieces, to its end or until
    // more than `budget` bytes of it have been read. This one reads the line whole.
    virtual TIdLimitedLine ReadLimitedLine(size_t maxLength, size_t budget);
    // A body line, or the next piece of one longer than the connection's line limit.
    // This one reads lines whole.
    virtual TIdBodyLine ReadBodyLine();
};

// A header block that goes on beyond what a check may read of it.
class EIdHeaderBlockTooLong : public EIdException {
public:
    EIdHeaderBlockTooLong() : EIdException("Záhlaví zprávy je delší než 64 MiB.") {}
};

// A message whose text would not fit in MessageTextLimit.
class EIdMessageTextTooLong : public EIdException {
public:
    EIdMessageTextTooLong() : EIdException("Text zprávy je delší než 64 MiB.") {}
};

// Header lines are kept up to HeaderLineLimit bytes each and HeaderBlockLimit bytes in
// all; from the first line beyond either the rest of the block is read and dropped, up
// to HeaderBlockReadLimit bytes in all.
constexpr size_t HeaderLineLimit = size_t(1) << 20;
constexpr size_t HeaderBlockLimit = size_t(4) << 20;
constexpr size_t HeaderBlockReadLimit = size_t(64) << 20;

// The decoded text one message may hold in memory: its body lines, its part header lines
// and its text parts together, each line with the string that holds it. Attachments go
// to their files and do not count.
constexpr size_t MessageTextLimit = size_t(64) << 20;

// What is left of a message's text limit.
class TIdTextBudget {
public:
    explicit TIdTextBudget(size_t limit) : FLeft(limit) {}
    // Raises EIdMessageTextTooLong when more is spent than is left.
    void Spend(size_t bytes);
    // A line costs its bytes and its line end, as the text is shown, but never less than
    // the string that holds it: long lines are charged what they are, and an endless
    // run of short ones is stopped as soon as the strings would outgrow the limit.
    static size_t LineCost(size_t length) { return std::max(length + 2, sizeof(std::string)); }
    void SpendLine(std::string_view line) { Spend(LineCost(line.size())); }
    // A text that is to be cut into lines: each line as above.
    void SpendText(std::string_view text);
    size_t Left() const { return FLeft; }

private:
    size_t FLeft;
};

// Where a part's decoded bytes go. Decoders append to Buffer and call Drain after
// every line; a text part keeps everything, an attachment writes it to its file.
class TIdPartOutput {
public:
    virtual ~TIdPartOutput() = default;
    virtual void Drain() {}
    std::string Buffer;
};

// Writes to an open file in chunks; raises EInOutError, and EIdAttachmentTooLarge past
// its limit.
class TIdFileOutput : public TIdPartOutput {
public:
    // Writes to file, which the caller keeps owning, at most limit bytes (-1: no limit).
    explicit TIdFileOutput(int file, int64_t limit = -1);
    void Drain() override;
    // Writes what is left.
    void Close();
    int64_t Written() const { return FWritten; }

private:
    void WriteBuffer();
    int FFile = -1;
    int64_t FLimit = -1;
    int64_t FWritten = 0;
};

// An attachment decodes to more than the message the server announced could hold.
class EIdAttachmentTooLarge : public EIdException {
public:
    EIdAttachmentTooLarge();
};

enum TIdPartKind { pkUnknown, pkText, pkAttachment };

class TIdMessageDecoder {
public:
    explicit TIdMessageDecoder(TIdMessage& message) : FMessage(message) {}
    virtual ~TIdMessageDecoder() = default;

    TIdLineSource* Source = nullptr;
    // What the message's text may still grow by; part header lines are charged to it.
    TIdTextBudget* TextBudget = nullptr;
    // "name=value" lines of the part header.
    std::vector<std::string> PartHeaderLines;
    TIdPartKind Kind = pkUnknown;
    std::string PartFileName;

    virtual void ReadPartHeader() = 0;
    // Decodes the part body into the output. Returns the decoder of the next part, or
    // nothing; sets messageEnded when the message's terminating line was read.
    virtual std::unique_ptr<TIdMessageDecoder> ReadPartBody(TIdPartOutput& output, bool& messageEnded) = 0;

    // The value of a part header line found by its name (case ignored); empty when absent.
    std::string PartHeaderValue(std::string_view name) const;

protected:
    TIdMessage& FMessage;
};

// A detector: offers a decoder when the line starts a part it knows.
class TIdMessageDecoderInfo {
public:
    virtual ~TIdMessageDecoderInfo() = default;
    virtual std::unique_ptr<TIdMessageDecoder> TryStart(TIdMessage& message, const std::string& line) const = 0;
};

class TIdMessageDecoderList {
public:
    // The registry of the program: "MIME", then "UUE".
    static const TIdMessageDecoderList& Instance();

    void RegisterDecoder(std::string name, std::unique_ptr<TIdMessageDecoderInfo> detector);
    // The first decoder a detector offers, in the order of registration.
    std::unique_ptr<TIdMessageDecoder> FindStart(TIdMessage& message, const std::string& line) const;

private:
    std::vector<std::pair<std::string, std::unique_ptr<TIdMessageDecoderInfo>>> FDetectors;
};

// Reads header lines into the message's RawHeaders up to "." (when alternativeEnd is
// empty: also up to an empty line) or a line equal to alternativeEnd, then applies
// them unless the message is NoDecode. Empty lines are dropped; lines are kept exactly as read, within the limits
// above, so one message's long header never stops a check. Returns the line that ended
// the block. Raises EIdHeaderBlockTooLong beyond HeaderBlockReadLimit, in the middle
// of the block.
std::string ReadHeaderBlock(TIdLineSource& source, TIdMessage& message, const std::string& alternativeEnd);

// Reads the body up to the delimiter line into Body and Parts, decoding it (NoDecode
// is left to the caller). Raises EIdException
// "Unknown Message Part Type." when the message ends inside a part header,
// EIdMessageTextTooLong when the text would pass textLimit bytes, and passes on the
// errors of the transfer decoders; the parts read before stay.
void ReadMessageBody(TIdLineSource& source, TIdMessage& message, const std::string& delimiter,
                     size_t textLimit = MessageTextLimit);

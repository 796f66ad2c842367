#pragma once
// Reading a message from lines: the header block, and the body with its parts.
//
// A registry of detectors ("MIME", then "UUE") is asked for every top-level body line
// whether it starts a part; the decoder a detector offers reads that part's header and
// body from the same lines and hands on to the decoder of the next part, if any.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIdMessage;

// Where the readers take their lines from, without line ends: the connection's line
// reader in the program. Raises when no line can be had.
class TIdLineSource {
public:
    virtual ~TIdLineSource() = default;
    virtual std::string ReadLn() = 0;
};

// Where a part's decoded bytes go. Decoders append to Buffer and call Drain after
// every line; a text part keeps everything, an attachment writes it to its file.
class TIdPartOutput {
public:
    virtual ~TIdPartOutput() = default;
    virtual void Drain() {}
    std::string Buffer;
};

// Writes to an open file in chunks; raises EInOutError.
class TIdFileOutput : public TIdPartOutput {
public:
    // Writes to file, which the caller keeps owning.
    explicit TIdFileOutput(int file);
    void Drain() override;
    // Writes what is left.
    void Close();

private:
    void WriteBuffer();
    int FFile = -1;
};

enum TIdPartKind { pkUnknown, pkText, pkAttachment };

class TIdMessageDecoder {
public:
    explicit TIdMessageDecoder(TIdMessage& message) : FMessage(message) {}
    virtual ~TIdMessageDecoder() = default;

    TIdLineSource* Source = nullptr;
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
// them. Empty lines are dropped; lines are kept exactly as read. Returns the line that
// ended the block.
std::string ReadHeaderBlock(TIdLineSource& source, TIdMessage& message, const std::string& alternativeEnd);

// Reads the body up to the delimiter line into Body and Parts, decoding it (NoDecode
// is left to the caller). Raises EIdException
// "Unknown Message Part Type." when the message ends inside a part header, and passes
// on the errors of the transfer decoders; the parts read before stay.
void ReadMessageBody(TIdLineSource& source, TIdMessage& message, const std::string& delimiter);

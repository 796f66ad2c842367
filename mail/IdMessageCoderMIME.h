#pragma once
// MIME parts: a part starts at a boundary line "--" + boundary of the current multipart
// level, or the whole body is one part when the message itself is base64 or
// quoted-printable.

#include <optional>
#include <string>
#include <string_view>

#include "IdMessageCoder.h"

// The boundary parameter of a Content-Type value, upper-cased: the quoted text, or the
// text up to the next ";". Empty when there is none.
std::string BoundaryFromContentType(std::string_view contentType);

class TIdMessageDecoderMIME : public TIdMessageDecoder {
public:
    // Takes the boundary on top of the message's stack. The whole body is one part when
    // the message has a transfer encoding other than "7bit".
    explicit TIdMessageDecoderMIME(TIdMessage& message);

    std::string Boundary;
    // The part header is not read; the message's own header fields describe the part.
    bool WholeBodyEncoded = false;
    // A line already read that belongs to the part body.
    std::optional<std::string> PendingLine;

    // Reads up to the empty line; a "." line leaves the kind unknown. Pushes the part's
    // own boundary, if it has one, and decides text or attachment.
    void ReadPartHeader() override;
    // Up to the next boundary line (the next part follows), the closing boundary line
    // (the level ends) or ".".
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TIdPartOutput& output, bool& messageEnded) override;

private:
    void StoreHeaderLine(const std::string& line);
    void DecideKind(const std::string& contentType, const std::string& disposition);
    std::string NextBodyLine();
};

class TIdMessageDecoderInfoMIME : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> TryStart(TIdMessage& message, const std::string& line) const override;
};

#pragma once
// MIME parts: a part starts at a boundary line "--" + boundary of an open multipart
// level, or the whole body is one part when the message itself is base64 or
// quoted-printable.

#include <optional>
#include <string>
#include <string_view>

#include "IdMessageCoder.h"

// The boundary parameter of a Content-Type value, upper-cased: the quoted text, or the
// text up to the next ";". Empty when there is none.
std::string BoundaryFromContentType(std::string_view contentType);

// Whether a part is offered as an attachment: one whose disposition is "attachment",
// one with a file name in either value (filename or name, plain or in their RFC 2231
// forms; a content type holding "NAME" anywhere counts too), and one of any media type
// but text, multipart and message. A part without a content type is plain text.
bool IsAttachmentPart(std::string_view contentType, std::string_view disposition);

class TIdMessageDecoderMIME : public TIdMessageDecoder {
public:
    // Takes the boundary on top of the message's stack. The whole body is one part when
    // the message itself is base64 or quoted-printable.
    explicit TIdMessageDecoderMIME(TIdMessage& message);

    std::string Boundary;
    // The part header is not read; the message's own header fields describe the part.
    bool WholeBodyEncoded = false;
    // The part header lines are already in PartHeaderLines (the body of a forwarded
    // message, described by that message's header).
    bool HeaderGiven = false;
    // A line already read that belongs to the part body.
    std::optional<std::string> PendingLine;

    // Reads up to the empty line; a "." line leaves the kind unknown. Pushes the part's
    // own boundary, if it has one, and decides text or attachment.
    void ReadPartHeader() override;
    // Up to the next boundary line of any open level (the next part follows), a closing
    // boundary line (that level ends) or ".". Boundary lines of outer levels also end the
    // inner levels whose closing line never came. A forwarded message (message/rfc822)
    // gives its header lines as the text and hands its body on to a decoder of its own,
    // so that its parts and attachments are found too.
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TIdPartOutput& output, bool& messageEnded) override;

private:
    void StoreHeaderLine(const std::string& line);
    void DecideKind(const std::string& contentType, const std::string& disposition);
    TIdBodyLine NextBodyLine();
    // At a boundary line of an open level sets ended and returns the decoder of the next
    // part, if one follows.
    std::unique_ptr<TIdMessageDecoder> EndAtBoundaryLine(const TIdBodyLine& line, bool& ended);
    // The next line of this part, the server's extra dot removed; false at the message's
    // end (messageEnded set) or at a boundary line (next holds the following part's decoder).
    bool NextPartLine(TIdBodyLine& line, bool& messageEnded, std::unique_ptr<TIdMessageDecoder>& next);
    std::unique_ptr<TIdMessageDecoder> ReadForwardedHeader(TIdPartOutput& output, bool& messageEnded);

    bool FForwardedMessage = false;
};

class TIdMessageDecoderInfoMIME : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> TryStart(TIdMessage& message, const std::string& line) const override;
};

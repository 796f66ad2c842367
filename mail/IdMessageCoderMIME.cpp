#include "IdMessageCoderMIME.h"

#include "Exception.h"
#include "IdCharset.h"
#include "IdCoderMIME.h"
#include "IdCoderQuotedPrintable.h"
#include "IdGlobal.h"
#include "IdHeaderParameters.h"
#include "IdMessage.h"

namespace {

// A parameter value: the quoted text, or the text up to the next ";".
std::string ParameterValue(std::string_view text)
{
    if (!text.empty() && text[0] == '"') {
        size_t close = text.find('"', 1);
        return std::string(text.substr(1, close == std::string_view::npos ? close : close - 1));
    }
    return TrimRight(text.substr(0, text.find(';')));
}

bool IsTransferEncoded(const std::string& encoding)
{
    return SameText(encoding, "base64") || SameText(encoding, "quoted-printable");
}

std::unique_ptr<TIdDecoder> TransferDecoder(const std::string& encoding)
{
    if (SameText(encoding, "base64"))
        return std::make_unique<TIdDecoderMIME>();
    if (SameText(encoding, "quoted-printable"))
        return std::make_unique<TIdDecoderQuotedPrintable>();
    return nullptr;
}

} // namespace

std::string BoundaryFromContentType(std::string_view contentType)
{
    std::string upper = UpperCase(contentType);
    size_t at = upper.find("BOUNDARY=");
    if (at == std::string::npos)
        return {};
    return ParameterValue(std::string_view(upper).substr(at + 9));
}

TIdMessageDecoderMIME::TIdMessageDecoderMIME(TIdMessage& message)
    : TIdMessageDecoder(message)
    , Boundary(message.BoundaryStack.CurrentBoundary())
    , WholeBodyEncoded(!message.ContentTransferEncoding.empty() && message.ContentTransferEncoding != "7bit")
{
}

void TIdMessageDecoderMIME::StoreHeaderLine(const std::string& rawLine)
{
    const std::string line = Utf8OrWindows1250(rawLine);
    if (line[0] == ' ' || line[0] == '\t') {
        if (PartHeaderLines.empty())
            PartHeaderLines.push_back(line.substr(1));
        else
            (PartHeaderLines.back() += ' ') += std::string_view(line).substr(1);
        return;
    }
    // "Name:value" and "Name:  value " are read like "Name: value".
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        PartHeaderLines.push_back(line);
    else
        PartHeaderLines.push_back(line.substr(0, colon) + "=" + Trim(std::string_view(line).substr(colon + 1)));
}

void TIdMessageDecoderMIME::DecideKind(const std::string& contentType, const std::string& disposition)
{
    std::string upperType = UpperCase(contentType);
    if (!SameText(disposition.substr(0, disposition.find(';')), "attachment")
        && upperType.find("NAME") == std::string::npos) {
        Kind = pkText;
        return;
    }
    Kind = pkAttachment;
    PartFileName = AttachmentFileName(contentType, disposition);
}

void TIdMessageDecoderMIME::ReadPartHeader()
{
    if (WholeBodyEncoded) {
        DecideKind(FMessage.ContentType, FMessage.ContentDisposition);
        return;
    }
    while (true) {
        std::string line = Source->ReadLn();
        if (line.empty())
            break;
        if (line == ".") {
            Kind = pkUnknown;
            return;
        }
        StoreHeaderLine(line);
    }
    std::string contentType = PartHeaderValue("Content-Type");
    std::string ownBoundary = BoundaryFromContentType(contentType);
    if (!ownBoundary.empty()) {
        FMessage.BoundaryStack.PushBoundary(ownBoundary);
        Boundary = ownBoundary;
    }
    DecideKind(contentType, PartHeaderValue("Content-Disposition"));
}

std::string TIdMessageDecoderMIME::NextBodyLine()
{
    if (PendingLine) {
        std::string line = std::move(*PendingLine);
        PendingLine.reset();
        return line;
    }
    return Source->ReadLn();
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderMIME::ReadPartBody(TIdPartOutput& output, bool& messageEnded)
{
    const std::string encoding =
        WholeBodyEncoded ? FMessage.ContentTransferEncoding : PartHeaderValue("Content-Transfer-Encoding");
    std::unique_ptr<TIdDecoder> decoder = TransferDecoder(encoding);
    const bool quotedPrintable = decoder && SameText(encoding, "quoted-printable");
    const std::string nextPart = "--" + Boundary;
    const std::string lastPart = nextPart + "--";
    while (true) {
        std::string line = NextBodyLine();
        if (line == ".") {
            messageEnded = true;
            return nullptr;
        }
        if (SameText(line, nextPart))
            return std::make_unique<TIdMessageDecoderMIME>(FMessage);
        if (SameText(line, lastPart)) {
            FMessage.BoundaryStack.PopBoundary();
            return nullptr;
        }
        std::string_view data = line;
        if (!data.empty() && data[0] == '.')
            data.remove_prefix(1);
        if (quotedPrintable) {
            decoder->DecodeToOutput(std::string(data) + "\r\n", output.Buffer);
        } else if (decoder) {
            if (!data.empty())
                decoder->DecodeToOutput(data, output.Buffer);
        } else {
            (output.Buffer += data) += "\r\n";
        }
        output.Drain();
    }
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoMIME::TryStart(TIdMessage& message, const std::string& line) const
{
    if (SameText(line, "--" + message.BoundaryStack.CurrentBoundary()))
        return std::make_unique<TIdMessageDecoderMIME>(message);
    if (IsTransferEncoded(message.ContentTransferEncoding)) {
        auto decoder = std::make_unique<TIdMessageDecoderMIME>(message);
        decoder->PendingLine = line;
        return decoder;
    }
    return nullptr;
}

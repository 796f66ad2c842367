#include "IdMessageCoderMIME.h"

#include "Exception.h"
#include "IdCharset.h"
#include "IdCoderMIME.h"
#include "IdCoderQuotedPrintable.h"
#include "IdGlobal.h"
#include "IdHeaderList.h"
#include "IdHeaderParameters.h"
#include "IdMessage.h"
#include "IdMessageCoderUUE.h"

namespace {

// A parameter value: the quoted text, or the text up to the next ";". Blanks and line
// breaks around the "=" are already gone.
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
    for (const char* uuencode : {"x-uuencode", "x-uue", "uuencode"})
        if (SameText(encoding, uuencode))
            return std::make_unique<TIdDecoderUuencodedBlock>();
    return nullptr;
}

// "text/plain" of "Text/Plain; charset=x".
std::string MediaType(std::string_view contentType)
{
    return LowerCase(Trim(contentType.substr(0, contentType.find(';'))));
}

// The names of the parameters after the first ";", lower-cased; semicolons inside
// quotes do not count.
std::vector<std::string> ParameterNames(std::string_view value)
{
    std::vector<std::string> names;
    bool quoted = false;
    size_t start = std::string_view::npos;
    for (size_t i = 0; i <= value.size(); ++i) {
        const bool end = i == value.size();
        if (!end && value[i] == '"')
            quoted = !quoted;
        if (!end && (quoted || value[i] != ';'))
            continue;
        if (start != std::string_view::npos) {
            std::string_view parameter = value.substr(start, i - start);
            names.push_back(LowerCase(Trim(parameter.substr(0, parameter.find('=')))));
        }
        start = i + 1;
    }
    return names;
}

bool HasFileNameParameter(std::string_view value)
{
    for (const std::string& name : ParameterNames(value))
        if (name == "filename" || name == "name" || name.starts_with("filename*") || name.starts_with("name*"))
            return true;
    return false;
}

enum class TBoundaryLineKind { None, NextPart, LastPart };

struct TBoundaryLine {
    TBoundaryLineKind Kind = TBoundaryLineKind::None;
    // The open levels inside the one the line belongs to.
    int LevelsAbove = 0;
};

// "--" and the boundary of an open level: the next part of that level; with "--" after
// the boundary the end of the level. Blanks and TABs after either are transport padding.
TBoundaryLine BoundaryLineOf(const TIdMIMEBoundary& boundaries, std::string_view line)
{
    if (!line.starts_with("--") || boundaries.Count() == 0)
        return {};
    std::string_view text = line.substr(2, line.find_last_not_of(" \t") - 1);
    if (int above = boundaries.LevelsAbove(text); above >= 0)
        return {TBoundaryLineKind::NextPart, above};
    if (text.ends_with("--")) {
        text.remove_suffix(2);
        if (int above = boundaries.LevelsAbove(text); above >= 0)
            return {TBoundaryLineKind::LastPart, above};
    }
    return {};
}

// Closes the levels the boundary line ends: those inside its own, and its own when the
// line is a closing one.
void CloseLevels(TIdMIMEBoundary& boundaries, const TBoundaryLine& boundary)
{
    int levels = boundary.LevelsAbove + (boundary.Kind == TBoundaryLineKind::LastPart ? 1 : 0);
    for (int i = 0; i < levels; ++i)
        boundaries.PopBoundary();
}

} // namespace

std::string BoundaryFromContentType(std::string_view contentType)
{
    return ParameterValue(LooseParameterText(UpperCase(contentType), "BOUNDARY"));
}

bool IsAttachmentPart(std::string_view contentType, std::string_view disposition)
{
    if (SameText(disposition.substr(0, disposition.find(';')), "attachment")
        || UpperCase(contentType).find("NAME") != std::string::npos)
        return true;
    if (HasFileNameParameter(contentType) || HasFileNameParameter(disposition))
        return true;
    const std::string type = MediaType(contentType);
    if (type.empty())
        return false;
    const std::string major = type.substr(0, type.find('/'));
    return major != "text" && major != "multipart" && major != "message";
}

TIdMessageDecoderMIME::TIdMessageDecoderMIME(TIdMessage& message)
    : TIdMessageDecoder(message)
    , Boundary(message.BoundaryStack.CurrentBoundary())
    , WholeBodyEncoded(IsTransferEncoded(message.ContentTransferEncoding()))
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
    if (!IsAttachmentPart(contentType, disposition)) {
        Kind = pkText;
        return;
    }
    Kind = pkAttachment;
    PartFileName = AttachmentFileName(contentType, disposition);
}

void TIdMessageDecoderMIME::ReadPartHeader()
{
    if (WholeBodyEncoded) {
        DecideKind(FMessage.ContentType(), FMessage.ContentDisposition());
        return;
    }
    while (!HeaderGiven) {
        TIdBodyLine line = Source->ReadBodyLine();
        if (line.Continued) {
            TextBudget->Spend(line.Text.size());
            // The rest of a header line longer than the connection's line limit.
            if (!PartHeaderLines.empty())
                PartHeaderLines.back() += Utf8OrWindows1250(line.Text);
            continue;
        }
        if (line.Text.empty())
            break;
        if (line.Text == ".") {
            Kind = pkUnknown;
            return;
        }
        TextBudget->SpendLine(line.Text);
        StoreHeaderLine(line.Text);
    }
    std::string contentType = PartHeaderValue("Content-Type");
    std::string ownBoundary = BoundaryFromContentType(contentType);
    if (!ownBoundary.empty()) {
        FMessage.BoundaryStack.PushBoundary(ownBoundary);
        Boundary = ownBoundary;
    }
    DecideKind(contentType, PartHeaderValue("Content-Disposition"));
    FForwardedMessage = Kind == pkText && MediaType(contentType) == "message/rfc822"
                        && !IsTransferEncoded(Trim(PartHeaderValue("Content-Transfer-Encoding")));
}

TIdBodyLine TIdMessageDecoderMIME::NextBodyLine()
{
    if (PendingLine) {
        TIdBodyLine line{std::move(*PendingLine), false};
        PendingLine.reset();
        return line;
    }
    return Source->ReadBodyLine();
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderMIME::EndAtBoundaryLine(const TIdBodyLine& line, bool& ended)
{
    ended = false;
    if (line.Continued)
        return nullptr;
    TBoundaryLine boundary = BoundaryLineOf(FMessage.BoundaryStack, line.Text);
    if (boundary.Kind == TBoundaryLineKind::None)
        return nullptr;
    ended = true;
    CloseLevels(FMessage.BoundaryStack, boundary);
    if (boundary.Kind == TBoundaryLineKind::NextPart)
        return std::make_unique<TIdMessageDecoderMIME>(FMessage);
    return nullptr;
}

bool TIdMessageDecoderMIME::NextPartLine(TIdBodyLine& line, bool& messageEnded,
                                         std::unique_ptr<TIdMessageDecoder>& next)
{
    line = NextBodyLine();
    if (!line.Continued && line.Text == ".") {
        messageEnded = true;
        next = nullptr;
        return false;
    }
    bool partEnded = false;
    next = EndAtBoundaryLine(line, partEnded);
    if (partEnded)
        return false;
    if (!line.Continued && line.Text.starts_with('.'))
        line.Text.erase(0, 1);
    return true;
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderMIME::ReadForwardedHeader(TIdPartOutput& output,
                                                                             bool& messageEnded)
{
    TIdHeaderList header;
    TIdBodyLine line;
    std::unique_ptr<TIdMessageDecoder> next;
    while (true) {
        if (!NextPartLine(line, messageEnded, next))
            return next;
        if (line.Text.empty())
            break;
        (output.Buffer += line.Text) += "\r\n";
        output.Drain();
        header.Add(Utf8OrWindows1250(line.Text));
    }
    auto body = std::make_unique<TIdMessageDecoderMIME>(FMessage);
    body->HeaderGiven = true;
    body->WholeBodyEncoded = false;
    for (const char* name : {"Content-Type", "Content-Transfer-Encoding", "Content-Disposition"})
        if (std::string value = header.ValueOf(name); !value.empty())
            body->PartHeaderLines.push_back(std::string(name) + "=" + value);
    return body;
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderMIME::ReadPartBody(TIdPartOutput& output, bool& messageEnded)
{
    if (FForwardedMessage)
        return ReadForwardedHeader(output, messageEnded);
    const std::string encoding =
        WholeBodyEncoded ? FMessage.ContentTransferEncoding() : PartHeaderValue("Content-Transfer-Encoding");
    std::unique_ptr<TIdDecoder> decoder = TransferDecoder(Trim(encoding));
    const bool quotedPrintable = decoder && SameText(Trim(encoding), "quoted-printable");
    TIdBodyLine line;
    std::unique_ptr<TIdMessageDecoder> next;
    while (NextPartLine(line, messageEnded, next)) {
        const std::string_view data = line.Text;
        if (quotedPrintable) {
            decoder->DecodeToOutput(std::string(data) + "\r\n", output.Buffer);
        } else if (decoder) {
            decoder->DecodeToOutput(data, output.Buffer);
        } else {
            (output.Buffer += data) += "\r\n";
        }
        output.Drain();
    }
    return next;
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderInfoMIME::TryStart(TIdMessage& message, const std::string& line) const
{
    TBoundaryLine boundary = BoundaryLineOf(message.BoundaryStack, line);
    CloseLevels(message.BoundaryStack, boundary);
    if (boundary.Kind == TBoundaryLineKind::NextPart)
        return std::make_unique<TIdMessageDecoderMIME>(message);
    if (IsTransferEncoded(message.ContentTransferEncoding())) {
        auto decoder = std::make_unique<TIdMessageDecoderMIME>(message);
        decoder->PendingLine = line;
        return decoder;
    }
    return nullptr;
}

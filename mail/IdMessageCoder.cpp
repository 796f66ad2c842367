#include "IdMessageCoder.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include "Exception.h"
#include "IdCharset.h"
#include "IdGlobal.h"
#include "IdHeaderParameters.h"
#include "IdMessage.h"
#include "IdMessageCoderMIME.h"
#include "IdMessageCoderUUE.h"

namespace {

// An attachment's bytes are written out in pieces of about this size, so a large
// attachment never sits in memory whole.
const size_t FileChunk = 1 << 20;

// Both part readers return the decoder of the next part, if any.
std::unique_ptr<TIdMessageDecoder> ReadTextPart(TIdMessage& message, TIdMessageDecoder& decoder, bool& messageEnded)
{
    TIdPartOutput output;
    std::unique_ptr<TIdMessageDecoder> next = decoder.ReadPartBody(output, messageEnded);
    auto text = std::make_unique<TIdText>();
    const std::string contentType = decoder.PartHeaderValue("Content-Type");
    text->SetContentType(contentType);
    text->SetContentTransfer(decoder.PartHeaderValue("Content-Transfer-Encoding"));
    // A part read whole has no header of its own: the message's describes it.
    std::string converted = TextPartToUtf8(output.Buffer, contentType.empty() ? message.ContentType : contentType);
    size_t nul = converted.find('\0');
    text->Lines = LinesOfText(std::string_view(converted).substr(0, nul));
    message.Parts.Add(std::move(text));
    return next;
}

std::unique_ptr<TIdMessageDecoder> ReadAttachmentPart(TIdMessage& message, TIdMessageDecoder& decoder,
                                                      bool& messageEnded)
{
    const int file = MakeTempFile();
    std::unique_ptr<TIdMessageDecoder> next;
    try {
        TIdFileOutput output(file);
        next = decoder.ReadPartBody(output, messageEnded);
        output.Close();
    } catch (...) {
        // No part will own the file; closing it is all it takes to make it go.
        close(file);
        throw;
    }
    auto attachment = std::make_unique<TIdAttachment>(file);
    attachment->SetContentType(decoder.PartHeaderValue("Content-Type"));
    attachment->SetContentTransfer(decoder.PartHeaderValue("Content-Transfer-Encoding"));
    attachment->SetDisposition(decoder.PartHeaderValue("Content-Disposition"));
    attachment->AttachmentName = decoder.PartFileName;
    message.Parts.Add(std::move(attachment));
    return next;
}

} // namespace

TIdFileOutput::TIdFileOutput(int file) : FFile(file) {}

void TIdFileOutput::WriteBuffer()
{
    size_t written = 0;
    while (written < Buffer.size()) {
        ssize_t put = write(FFile, Buffer.data() + written, Buffer.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            throw EInOutError::FromErrno(errno);
        written += put;
    }
    Buffer.clear();
}

void TIdFileOutput::Drain()
{
    if (Buffer.size() >= FileChunk)
        WriteBuffer();
}

void TIdFileOutput::Close()
{
    WriteBuffer();
}

std::string TIdMessageDecoder::PartHeaderValue(std::string_view name) const
{
    for (const std::string& line : PartHeaderLines) {
        size_t equals = line.find('=');
        if (equals != std::string::npos && SameText(std::string_view(line).substr(0, equals), name))
            return line.substr(equals + 1);
    }
    return {};
}

const TIdMessageDecoderList& TIdMessageDecoderList::Instance()
{
    static const TIdMessageDecoderList registry = [] {
        TIdMessageDecoderList list;
        list.RegisterDecoder("MIME", std::make_unique<TIdMessageDecoderInfoMIME>());
        list.RegisterDecoder("UUE", std::make_unique<TIdMessageDecoderInfoUUE>());
        return list;
    }();
    return registry;
}

void TIdMessageDecoderList::RegisterDecoder(std::string name, std::unique_ptr<TIdMessageDecoderInfo> detector)
{
    FDetectors.emplace_back(std::move(name), std::move(detector));
}

std::unique_ptr<TIdMessageDecoder> TIdMessageDecoderList::FindStart(TIdMessage& message, const std::string& line) const
{
    for (const auto& [name, detector] : FDetectors)
        if (auto decoder = detector->TryStart(message, line))
            return decoder;
    return nullptr;
}

TIdLimitedLine TIdLineSource::ReadLimitedLine(size_t maxLength, size_t)
{
    TIdLimitedLine line;
    line.Text = ReadLn();
    line.Length = line.Text.size();
    if (line.Length > maxLength) {
        line.TooLong = true;
        line.Text.clear();
    }
    return line;
}

std::string ReadHeaderBlock(TIdLineSource& source, TIdMessage& message, const std::string& alternativeEnd)
{
    size_t kept = 0;
    size_t read = 0;
    bool dropping = false;
    std::string line;
    while (true) {
        TIdLimitedLine limited = source.ReadLimitedLine(HeaderLineLimit, HeaderBlockReadLimit - read);
        // Counted with its line end, as it came.
        read += limited.Length + 2;
        if (read > HeaderBlockReadLimit)
            throw EIdHeaderBlockTooLong();
        if (limited.TooLong) {
            dropping = true;
            continue;
        }
        line = std::move(limited.Text);
        if ((alternativeEnd.empty() && line == ".") || line == alternativeEnd)
            break;
        if (line.empty() || dropping)
            continue;
        if (kept + line.size() > HeaderBlockLimit) {
            dropping = true;
            continue;
        }
        kept += line.size();
        message.RawHeaders.Add(Utf8OrWindows1250(line));
    }
    message.ApplyHeaders();
    return line;
}

void ReadMessageBody(TIdLineSource& source, TIdMessage& message, const std::string& delimiter)
{
    const TIdMessageDecoderList& registry = TIdMessageDecoderList::Instance();
    const TIdTextConverter bodyText(HeaderParameter(message.ContentType, "charset"));
    while (true) {
        std::string line = source.ReadLn();
        if (line == delimiter)
            return;
        std::unique_ptr<TIdMessageDecoder> decoder = registry.FindStart(message, line);
        if (!decoder) {
            if (line.starts_with(".."))
                line.erase(0, 1);
            message.Body.push_back(bodyText.ToUtf8(line));
            continue;
        }
        bool messageEnded = false;
        while (decoder) {
            decoder->Source = &source;
            decoder->ReadPartHeader();
            switch (decoder->Kind) {
            case pkText:
                decoder = ReadTextPart(message, *decoder, messageEnded);
                break;
            case pkAttachment:
                decoder = ReadAttachmentPart(message, *decoder, messageEnded);
                break;
            default:
                throw EIdException("Unknown Message Part Type.");
            }
        }
        if (messageEnded)
            return;
    }
}

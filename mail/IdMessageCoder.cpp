#include "IdMessageCoder.h"

#include <algorithm>
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

// A text part's bytes, kept in memory within what is left of the message's text limit.
class TIdTextOutput : public TIdPartOutput {
public:
    explicit TIdTextOutput(const TIdTextBudget& budget) : FBudget(budget) {}
    void Drain() override
    {
        if (Buffer.size() > FBudget.Left())
            throw EIdMessageTextTooLong();
    }

private:
    const TIdTextBudget& FBudget;
};

// An attachment whose decoded data `write` appends to the message's attachment store,
// within what is left of the message's attachment limit.
template <typename TWrite>
std::unique_ptr<TIdAttachment> StoredAttachment(TIdMessage& message, TWrite write)
{
    if (!message.AttachmentStore())
        message.AttachmentStore() = std::make_shared<TIdAttachmentStore>();
    const int file = message.AttachmentStore()->File();
    const off_t start = lseek(file, 0, SEEK_END);
    if (start < 0)
        throw EInOutError::FromErrno(errno);
    int64_t size = 0;
    try {
        const int64_t limit = message.AttachmentDataLimit();
        const int64_t room = limit < 0 ? -1 : std::max<int64_t>(limit - start, 0);
        TIdFileOutput output(file, room);
        write(output);
        output.Close();
        size = output.Written();
    } catch (...) {
        // The store keeps only the data of whole attachments.
        if (ftruncate(file, start) != 0) {
        }
        throw;
    }
    return std::make_unique<TIdAttachment>(message.AttachmentStore(), start, size);
}

// Takes the uuencoded blocks out of a text part's lines, each up to its "end" line (or
// the end of the text), and gives them as attachments, as a plain body's are.
std::vector<std::unique_ptr<TIdAttachment>> TakeUuencodedBlocks(TIdMessage& message, std::vector<std::string>& lines)
{
    std::vector<std::unique_ptr<TIdAttachment>> blocks;
    if (std::none_of(lines.begin(), lines.end(), [](const std::string& line) { return UuencodedBlockName(line); }))
        return blocks;
    std::vector<std::string> text;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string> name = UuencodedBlockName(lines[i]);
        if (!name) {
            text.push_back(std::move(lines[i]));
            continue;
        }
        auto attachment = StoredAttachment(message, [&](TIdFileOutput& output) {
            TIdDecoderUuencodedBlock block;
            for (; i < lines.size() && !block.Ended(); ++i) {
                block.DecodeToOutput(lines[i], output.Buffer);
                output.Drain();
            }
            --i;
        });
        attachment->AttachmentName = std::move(*name);
        blocks.push_back(std::move(attachment));
    }
    lines = std::move(text);
    return blocks;
}

// Every NUL byte becomes U+FFFD, the replacement character.
std::string WithNulsReplaced(std::string text)
{
    if (text.find('\0') == std::string::npos)
        return text;
    std::string replaced;
    std::string_view rest = text;
    for (size_t nul = rest.find('\0'); nul != std::string_view::npos; nul = rest.find('\0')) {
        replaced.append(rest.substr(0, nul)).append("\xEF\xBF\xBD");
        rest.remove_prefix(nul + 1);
    }
    return replaced.append(rest);
}

// Both part readers return the decoder of the next part, if any.
std::unique_ptr<TIdMessageDecoder> ReadTextPart(TIdMessage& message, TIdMessageDecoder& decoder, bool& messageEnded)
{
    TIdTextOutput output(*decoder.TextBudget);
    std::unique_ptr<TIdMessageDecoder> next = decoder.ReadPartBody(output, messageEnded);
    decoder.TextBudget->SpendText(output.Buffer);
    auto text = std::make_unique<TIdText>();
    const std::string contentType = decoder.PartHeaderValue("Content-Type");
    text->SetContentType(contentType);
    text->SetContentTransfer(decoder.PartHeaderValue("Content-Transfer-Encoding"));
    // A part read whole has no header of its own: the message's describes it.
    std::string converted = TextPartToUtf8(output.Buffer, contentType.empty() ? message.ContentType() : contentType);
    std::string().swap(output.Buffer);
    // A NUL byte ("=00" in quoted-printable) must not hide the text after it.
    text->Lines = LinesOfText(WithNulsReplaced(std::move(converted)));
    std::vector<std::unique_ptr<TIdAttachment>> blocks = TakeUuencodedBlocks(message, text->Lines);
    message.Parts().Add(std::move(text));
    for (auto& block : blocks)
        message.Parts().Add(std::move(block));
    return next;
}

std::unique_ptr<TIdMessageDecoder> ReadAttachmentPart(TIdMessage& message, TIdMessageDecoder& decoder,
                                                      bool& messageEnded)
{
    std::unique_ptr<TIdMessageDecoder> next;
    auto attachment = StoredAttachment(
        message, [&](TIdFileOutput& output) { next = decoder.ReadPartBody(output, messageEnded); });
    attachment->SetContentType(decoder.PartHeaderValue("Content-Type"));
    attachment->SetContentTransfer(decoder.PartHeaderValue("Content-Transfer-Encoding"));
    attachment->SetDisposition(decoder.PartHeaderValue("Content-Disposition"));
    attachment->AttachmentName = decoder.PartFileName;
    message.Parts().Add(std::move(attachment));
    return next;
}

} // namespace

TIdFileOutput::TIdFileOutput(int file, int64_t limit) : FFile(file), FLimit(limit) {}

void TIdFileOutput::WriteBuffer()
{
    if (FLimit >= 0 && FWritten + static_cast<int64_t>(Buffer.size()) > FLimit)
        throw EIdAttachmentTooLarge();
    size_t written = 0;
    while (written < Buffer.size()) {
        ssize_t put = write(FFile, Buffer.data() + written, Buffer.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0)
            throw EInOutError::FromErrno(errno);
        written += put;
    }
    FWritten += static_cast<int64_t>(written);
    Buffer.clear();
}

void TIdFileOutput::Drain()
{
    if (Buffer.size() >= FileChunk || (FLimit >= 0 && FWritten + static_cast<int64_t>(Buffer.size()) > FLimit))
        WriteBuffer();
}

void TIdFileOutput::Close()
{
    WriteBuffer();
}

EIdAttachmentTooLarge::EIdAttachmentTooLarge()
    : EIdException("Příloha je větší, než server u zprávy ohlásil; stahování bylo zastaveno.")
{
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

void TIdTextBudget::Spend(size_t bytes)
{
    if (bytes > FLeft)
        throw EIdMessageTextTooLong();
    FLeft -= bytes;
}

void TIdTextBudget::SpendText(std::string_view text)
{
    // Lines end at CR LF, at a lone CR and at a lone LF.
    size_t cost = 0;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
            const size_t end = text[i] == '\n' && i > start && text[i - 1] == '\r' ? i - 1 : i;
            cost += LineCost(end - start);
            start = i + 1;
        }
    }
    cost += LineCost(text.size() - start);
    Spend(cost);
}

TIdBodyLine TIdLineSource::ReadBodyLine()
{
    return {ReadLn(), false};
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
        if (!IsValidUtf8(line))
            line = Utf8OrWindows1250(line);
        message.RawHeaders.Add(line);
    }
    message.RawHeaders.ShrinkToFit();
    if (!message.NoDecode)
        message.ApplyHeaders();
    return line;
}

void ReadMessageBody(TIdLineSource& source, TIdMessage& message, const std::string& delimiter, size_t textLimit)
{
    const TIdMessageDecoderList& registry = TIdMessageDecoderList::Instance();
    const TIdTextConverter bodyText(HeaderParameter(message.ContentType(), "charset"));
    TIdTextBudget budget(textLimit);
    while (true) {
        TIdBodyLine line = source.ReadBodyLine();
        if (!line.Continued && line.Text == delimiter)
            return;
        std::unique_ptr<TIdMessageDecoder> decoder;
        if (!line.Continued)
            decoder = registry.FindStart(message, line.Text);
        if (!decoder) {
            if (!line.Continued && line.Text.starts_with(".."))
                line.Text.erase(0, 1);
            budget.SpendLine(line.Text);
            message.Body().push_back(bodyText.ToUtf8(line.Text));
            continue;
        }
        bool messageEnded = false;
        while (decoder) {
            decoder->Source = &source;
            decoder->TextBudget = &budget;
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

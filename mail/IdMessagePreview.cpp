#include "IdMessagePreview.h"

#include "IdCharset.h"
#include "IdMessage.h"
#include "IdMessageCoder.h"

namespace {

// The body lines, then the message's end; asking on past it is a broken part.
class TPreviewLineSource : public TIdLineSource {
public:
    explicit TPreviewLineSource(const std::vector<std::string>& lines) : FLines(lines) {}
    std::string ReadLn() override
    {
        if (FNext < FLines.size())
            return FLines[FNext++];
        if (FNext++ == FLines.size())
            return ".";
        throw EIdException("The preview ends here.");
    }

private:
    const std::vector<std::string>& FLines;
    size_t FNext = 0;
};

std::string CutToColumns(const std::string& line)
{
    size_t characters = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80 && characters++ == PreviewColumns)
            return line.substr(0, i) + "…";
    }
    return line;
}

const std::vector<std::string>& FirstText(const TIdMessage& message)
{
    for (int i = 0; i < message.Parts().Count(); ++i)
        if (const auto* text = dynamic_cast<const TIdText*>(&message.Parts()[i]))
            return text->Lines;
    return message.Body();
}

} // namespace

std::vector<std::string> MessagePreview(const TIdHeaderList& headers, const std::vector<std::string>& bodyLines,
                                        size_t count)
{
    std::vector<std::string> preview;
    if (count == 0 || bodyLines.empty())
        return preview;
    TIdMessage message;
    for (const std::string& line : headers.Lines())
        message.RawHeaders.Add(line);
    try {
        message.ApplyHeaders();
        TPreviewLineSource source(bodyLines);
        ReadMessageBody(source, message, ".", PreviewTextLimit);
    } catch (const std::exception&) {
        // What was read before the cut is the preview.
    }
    for (const std::string& line : FirstText(message)) {
        if (preview.size() == count)
            break;
        const std::string text = ValidUtf8(line);
        if (text.find_first_not_of(" \t\r") != std::string::npos)
            preview.push_back(CutToColumns(text));
    }
    return preview;
}

// Attachment lines as the view gets them: whatever a message calls its attachments, each
// line is one line, holds no direction control, begins with the link the view marks at
// the place it is told, and the name the save dialog proposes is a plain file name.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdMessage.h"
#include "Links.h"
#include "MessageText.h"

#include <array>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 18> Forbidden = {
    "\r", "\n", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xD8\x9C",
    "\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE",
    "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8", "\xE2\x81\xA9", std::string_view("\0", 1),
};

void ExpectOneCleanLine(std::string_view line, const char* what)
{
    for (std::string_view sequence : Forbidden)
        if (line.find(sequence) != std::string_view::npos)
            FuzzFailure(what);
}

void ExpectSafeFileName(std::string_view name)
{
    const std::string saved = SafeFileName(name);
    ExpectOneCleanLine(saved, "a line break or direction control in a proposed file name");
    if (saved.size() > MaxFileNameBytes || saved.starts_with('.') || saved.find('/') != std::string::npos)
        FuzzFailure("a proposed file name that is hidden, too long or a path");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UsePrivateTempDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string input(InputText(data, size));
    ExpectOneCleanLine(OneLineName(input), "a line break or direction control in a shown name");
    ExpectSafeFileName(input);
    {
        FuzzMailClient mail(input);
        TIdMessage message;
        try {
            if (mail.Client.ReceiveHeaderBlock(message, "").empty())
                mail.Client.ReceiveMessageBody(message, ".");
        } catch (const Exception&) {
        }
        const TShownText shown = ShownMessageText(message, true);
        message.Parts().Recount();
        if (!shown.Links.empty() && static_cast<int>(shown.Links.size()) != message.Parts().AttachCount)
            FuzzFailure("an attachment without its line, or a line without its attachment");
        size_t previousEnd = 0;
        for (const TAttachmentLinkSpan& link : shown.Links) {
            if (link.LineOffset < previousEnd || link.LineOffset + link.LineLength > shown.Text.size()
                || link.Link.size() > link.LineLength)
                FuzzFailure("an attachment line outside the text or out of order");
            const std::string_view line = std::string_view(shown.Text).substr(link.LineOffset, link.LineLength);
            if (!line.starts_with(link.Link) || shown.Text.compare(link.LineOffset - 2, 2, "\r\n") != 0
                || shown.Text.compare(link.LineOffset + link.LineLength, 2, "\r\n") != 0)
                FuzzFailure("an attachment link not where the view is told it is");
            ExpectOneCleanLine(line, "a line break or direction control in an attachment line");
            ExpectSafeFileName(link.Link);
            previousEnd = link.LineOffset + link.LineLength;
        }
    }
    ExpectNoTempFiles();
    return 0;
}

// The text the message view shows, and saving the attachments its links point at.
#include "MessageText.h"

#include "Convert.h"
#include "DateText.h"
#include "Links.h"
#include "UserInterface.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string AttachmentsBanner = "---Přílohy-------------------------------";
const std::string BodyBanner = "---Tělo zprávy---------------------------";
const std::string HeaderBanner = "---Záhlaví zprávy------------------------";
const std::string CrLf = "\r\n";
const std::string LinkStart = "http://localhost/";
const std::string IdMarker = "/ID=";

// A hostile name or type must not break its line, fake another one or turn its letters
// around in the view. The name after the link is shown as the sender wrote it:
// upper-casing only some of its letters garbled Czech names. The line's link is link.
std::string AttachmentLine(const TIdAttachment& attachment, int32_t index, std::string& link)
{
    const std::string name = OneLineName(attachment.AttachmentName);
    link = AttachmentLink(name, index);
    return link + " " + name + " (" + OneLineName(attachment.ContentType()) + ")";
}

std::string DecodedLine(const char* caption, const std::string& value)
{
    return value.empty() ? std::string() : caption + OneLineName(value) + CrLf;
}

// A NUL byte in a line shows as U+FFFD: the view would end the text there.
std::string LinesText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        std::string_view rest = line;
        for (size_t nul = rest.find('\0'); nul != std::string_view::npos; nul = rest.find('\0')) {
            text.append(rest.substr(0, nul)).append("\xEF\xBF\xBD");
            rest.remove_prefix(nul + 1);
        }
        text.append(rest).append(CrLf);
    }
    return text;
}

bool FileExists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

// The reason and the file: a full disk and a forbidden folder must be told apart.
EInOutError FileError(int errorNumber, const std::string& path)
{
    const EInOutError error = EInOutError::FromErrno(errorNumber);
    return EInOutError(error.Message + ": " + path, errorNumber);
}

// A confirmed overwrite replaces the old file only once the copy is complete, so a
// failed copy leaves the old file as it was.
void ReplaceWithCopy(const TIdAttachment& attachment, const std::string& path)
{
    if (!FileExists(path)) {
        attachment.SaveCopyTo(path);
        return;
    }
    std::string temporary = path + ".XXXXXX";
    const int handle = ::mkstemp(temporary.data());
    if (handle < 0)
        throw FileError(errno, path);
    ::close(handle);
    ::unlink(temporary.c_str());
    try {
        attachment.SaveCopyTo(temporary);
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        throw FileError(error, path);
    }
}

} // namespace

std::string DecodedHeaderLines(const TIdMessage& message)
{
    const std::string lines = DecodedLine("Od: ", message.From.Text()) +
                              DecodedLine("Komu: ", message.Recipients.JoinedText()) +
                              DecodedLine("Předmět: ", message.Subject) +
                              DecodedLine("Datum: ", message.Date == 0 ? std::string() : DateTimeText(message.Date));
    return lines.empty() ? lines : lines + CrLf;
}

std::string AttachmentLink(const std::string& attachmentName, int32_t partIndex)
{
    return LinkStart + attachmentName + IdMarker + IntToStr(partIndex);
}

TShownText ShownMessageText(TIdMessage& message, bool downloaded)
{
    TShownText shown;
    const std::string header = LinesText(message.RawHeaders.Lines());
    if (!downloaded) {
        shown.Text = header;
        return shown;
    }
    TIdMessageParts& parts = message.Parts();
    parts.Recount();
    // A message whose only parts are attachments shows its body lines as its body, so
    // that none of its attachments is hidden.
    const bool attachmentsOnly = parts.TextCount < 1 && parts.AttachCount > 0;
    if (parts.TextCount < 1 && !attachmentsOnly) {
        shown.Text = LinesText(message.Body());
        return shown;
    }
    std::string& text = shown.Text;
    text = CrLf;
    if (parts.AttachCount > 0) {
        text += AttachmentsBanner + CrLf;
        for (int32_t index = 0; index < parts.Count(); ++index) {
            if (const auto* attachment = dynamic_cast<const TIdAttachment*>(&parts[index])) {
                text += CrLf;
                TAttachmentLinkSpan line;
                line.LineOffset = text.size();
                text += AttachmentLine(*attachment, index, line.Link);
                line.LineLength = text.size() - line.LineOffset;
                shown.Links.push_back(std::move(line));
            }
        }
        text += CrLf + CrLf;
    }
    text += BodyBanner;
    if (attachmentsOnly)
        text += CrLf + LinesText(message.Body());
    else
        for (int32_t index = 0; index < parts.Count(); ++index)
            if (const auto* part = dynamic_cast<const TIdText*>(&parts[index]))
                text += CrLf + LinesText(part->Lines);
    text += CrLf + CrLf + HeaderBanner + CrLf + header;
    return shown;
}

std::string MessageText(TIdMessage& message, bool downloaded)
{
    return ShownMessageText(message, downloaded).Text;
}

void SaveLinkedAttachment(TIdMessage& message, const std::string& link)
{
    // The index is what the link ends with: an attachment name holding "/ID=" itself
    // must not make its own attachment unreachable.
    const size_t marker = link.rfind(IdMarker);
    const std::string indexText = marker == std::string::npos ? link.substr(std::min<size_t>(3, link.size()))
                                                              : link.substr(marker + IdMarker.size());
    const int32_t index = StrToInt(indexText);
    TIdMessageParts& parts = message.Parts();
    if (index < 0 || index >= parts.Count())
        throw EListError::OutOfBounds(index);
    const auto* attachment = dynamic_cast<const TIdAttachment*>(&parts[index]);
    if (!attachment)
        return;
    std::string name = link.size() > LinkStart.size() ? link.substr(LinkStart.size()) : std::string();
    name = name.substr(0, name.rfind(IdMarker));
    const std::optional<std::string> chosen = UserInterface().AskSaveFileName(SafeFileName(name));
    if (!chosen)
        return;
    ReplaceWithCopy(*attachment, *chosen);
}

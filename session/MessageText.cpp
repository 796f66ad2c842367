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

// A hostile name must not break its line or fake another one in the view.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 32)
            c = '_';
    return text;
}

// The name after the link is shown as the sender wrote it: upper-casing only some of its
// letters garbled Czech names, and the saved file gets the name as it is too.
std::string AttachmentLine(const TIdAttachment& attachment, int32_t index)
{
    const std::string name = OneLine(attachment.AttachmentName);
    return AttachmentLink(name, index) + " " + name + " (" + OneLine(attachment.ContentType()) + ")";
}

std::string SectionedText(const std::string& attachments, const std::string& body, const std::string& header)
{
    std::string text = CrLf;
    if (!attachments.empty())
        text += AttachmentsBanner + CrLf + attachments + CrLf + CrLf;
    return text + BodyBanner + body + CrLf + CrLf + HeaderBanner + CrLf + header;
}

std::string DecodedLine(const char* caption, const std::string& value)
{
    return value.empty() ? std::string() : caption + OneLine(value) + CrLf;
}

std::string LinesText(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + CrLf;
    return text;
}

bool FileExists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
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
        throw EInOutError::FromErrno(errno);
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
        throw EInOutError::FromErrno(error);
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

std::string MessageText(TIdMessage& message, bool downloaded)
{
    const std::string header = LinesText(message.RawHeaders.Lines());
    if (!downloaded)
        return header;
    TIdMessageParts& parts = message.Parts;
    parts.Recount();
    // A message whose only parts are attachments shows its body lines as its body, so
    // that none of its attachments is hidden.
    const bool attachmentsOnly = parts.TextCount < 1 && parts.AttachCount > 0;
    if (parts.TextCount < 1 && !attachmentsOnly)
        return LinesText(message.Body);
    std::string body;
    std::string attachments;
    for (int32_t index = 0; index < parts.Count(); ++index) {
        if (const auto* text = dynamic_cast<const TIdText*>(&parts[index]))
            body += CrLf + LinesText(text->Lines);
        else if (const auto* attachment = dynamic_cast<const TIdAttachment*>(&parts[index]))
            attachments += CrLf + AttachmentLine(*attachment, index);
    }
    if (attachmentsOnly)
        body = CrLf + LinesText(message.Body);
    return SectionedText(attachments, body, header);
}

void SaveLinkedAttachment(TIdMessage& message, const std::string& link)
{
    // The index is what the link ends with: an attachment name holding "/ID=" itself
    // must not make its own attachment unreachable.
    const size_t marker = link.rfind(IdMarker);
    const std::string indexText = marker == std::string::npos ? link.substr(std::min<size_t>(3, link.size()))
                                                              : link.substr(marker + IdMarker.size());
    const int32_t index = StrToInt(indexText);
    TIdMessageParts& parts = message.Parts;
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

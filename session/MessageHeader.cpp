#include "udm.h"

#include "Convert.h"
#include "DateText.h"
#include "MessageText.h"

#include "IdMessagePreview.h"

TMessageHeader::TMessageHeader(std::shared_ptr<TPOP3> session, int32_t number)
    : Session(std::move(session)), Msg(std::make_unique<TIdMessage>()), Number(number)
{
    const int32_t previewLines = PreviewLines();
    std::vector<std::string> bodyLines;
    Session->FetchHeader(Number, *Msg, PreviewBodyLines(), &bodyLines);
    Msg->Tag = Session->FetchSize(Number);
    Verdict = JudgeMessage(*Msg, false);
    if (previewLines > 0)
        Preview = MessagePreview(Msg->RawHeaders, bodyLines, static_cast<size_t>(previewLines));
    // A multipart header block left its boundary for a body that a header record never reads.
    Msg->BoundaryStack.Clear();
}

std::string TMessageHeader::DateText() const
{
    return DateTimeText(Msg->Date);
}

std::string TMessageHeader::SizeText() const
{
    return IntToStr(Msg->Tag);
}

std::string TMessageHeader::FromText() const
{
    return Msg->From.Address;
}

std::string TMessageHeader::ToText() const
{
    return Msg->Recipients.JoinedText();
}

std::string TMessageHeader::SubjectText() const
{
    return Msg->Subject;
}

std::string TMessageHeader::IdText() const
{
    return Msg->MessageId;
}

std::string TMessageHeader::GetText() const
{
    return MessageText(*Msg, Downloaded);
}

void TMessageHeader::SaveAttachment(const std::string& link)
{
    SaveLinkedAttachment(*Msg, link);
}

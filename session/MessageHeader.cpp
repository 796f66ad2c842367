#include "udm.h"

#include "Convert.h"
#include "DateText.h"
#include "MessageText.h"

TMessageHeader::TMessageHeader(std::shared_ptr<TPOP3> session, int32_t number)
    : Session(std::move(session)), Msg(std::make_unique<TIdMessage>()), Number(number)
{
    Session->FetchHeader(Number, *Msg);
    Msg->Tag = Session->FetchSize(Number);
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

#include "Triage.h"

namespace {

const std::string PreviewCaption = "Náhled:";
const std::string LineEnd = "\r\n";

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + LineEnd;
    return text;
}

} // namespace

TShownText PaneText(const TMessageHeader& record, TShownText shown)
{
    std::string text;
    const std::vector<std::string> verdict = JudgeMessage(*record.Msg).Lines();
    if (!verdict.empty())
        text = Joined(verdict) + LineEnd;
    for (TAttachmentLinkSpan& link : shown.Links)
        link.LineOffset += text.size();
    text += shown.Text;
    if (!record.Downloaded && !record.Preview.empty())
        text += LineEnd + PreviewCaption + LineEnd + Joined(record.Preview);
    shown.Text = std::move(text);
    return shown;
}

std::string RowToolTip(const TMessageHeader& record)
{
    std::string text = Joined(JudgeMessage(*record.Msg).Lines());
    if (!record.Preview.empty())
        text += (text.empty() ? "" : LineEnd) + PreviewCaption + LineEnd + Joined(record.Preview);
    while (text.ends_with(LineEnd))
        text.resize(text.size() - LineEnd.size());
    return text;
}

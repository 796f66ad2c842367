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

std::string PaneText(const TMessageHeader& record, const std::string& shownText)
{
    std::string text;
    const std::vector<std::string> verdict = JudgeMessage(*record.Msg).Lines();
    if (!verdict.empty())
        text = Joined(verdict) + LineEnd;
    text += shownText;
    if (!record.Downloaded && !record.Preview.empty())
        text += LineEnd + PreviewCaption + LineEnd + Joined(record.Preview);
    return text;
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

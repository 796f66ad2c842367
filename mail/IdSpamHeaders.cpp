#include "IdSpamHeaders.h"

#include <charconv>
#include <cmath>
#include <string_view>

namespace {

constexpr double ScoreLimit = 1e6;

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool StartsWithWord(std::string_view text, std::string_view word)
{
    if (text.size() < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i)
        if ((text[i] | 0x20) != word[i])
            return false;
    return text.size() == word.size() || !std::isalnum(static_cast<unsigned char>(text[word.size()]));
}

std::optional<bool> YesOrNo(std::string_view text)
{
    text = Trimmed(text);
    if (StartsWithWord(text, "yes"))
        return true;
    if (StartsWithWord(text, "no"))
        return false;
    return std::nullopt;
}

// "score=7.3" anywhere among the words of X-Spam-Status (some filters write "hits=").
std::optional<double> StatusScore(std::string_view status)
{
    for (std::string_view key : {"score=", "hits="}) {
        for (size_t at = status.find(key); at != std::string_view::npos; at = status.find(key, at + 1)) {
            if (at == 0 || status[at - 1] == ' ' || status[at - 1] == '\t' || status[at - 1] == ',')
                return LeadingScore(status.substr(at + key.size()));
        }
    }
    return std::nullopt;
}

bool SameName(std::string_view name, std::string_view lowerName)
{
    if (name.size() != lowerName.size())
        return false;
    for (size_t i = 0; i < name.size(); ++i)
        if ((name[i] >= 'A' && name[i] <= 'Z' ? name[i] | 0x20 : name[i]) != lowerName[i])
            return false;
    return true;
}

} // namespace

std::optional<double> LeadingScore(std::string_view text)
{
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value) || std::fabs(value) > ScoreLimit)
        return std::nullopt;
    const size_t used = static_cast<size_t>(end - text.data());
    // "7.3abc" is no score; "7.3 (***)" and "7.3/5.0" are.
    if (used < text.size() && std::isalpha(static_cast<unsigned char>(text[used])))
        return std::nullopt;
    return value;
}

TIdSpamReport ReadSpamHeaders(const TIdHeaderList& headers)
{
    TIdSpamReport report;
    // One pass over the header block finds all four; most blocks have none of them.
    int flagAt = -1, statusAt = -1, scoreAt = -1, levelAt = -1;
    for (int i = 0; i < headers.Count(); ++i) {
        const std::string_view line = headers.LineAt(i);
        if (line.size() < 7 || (line[0] | 0x20) != 'x' || line[1] != '-')
            continue;
        const std::string_view name = line.substr(0, line.find(':'));
        for (auto [wanted, at] : {std::pair{"x-spam-flag", &flagAt}, {"x-spam-status", &statusAt},
                                  {"x-spam-score", &scoreAt}, {"x-spam-level", &levelAt}})
            if (*at < 0 && SameName(name, wanted))
                *at = i;
    }
    const std::string flag = headers.ValueAt(flagAt);
    const std::string status = headers.ValueAt(statusAt);
    if (const auto flagged = YesOrNo(flag)) {
        report.Flagged = flagged;
        report.FlagHeader = "X-Spam-Flag";
        report.FlagValue = flag;
    } else if (const auto statusFlag = YesOrNo(status)) {
        report.Flagged = statusFlag;
        report.FlagHeader = "X-Spam-Status";
        report.FlagValue = *statusFlag ? "Yes" : "No";
    }
    if (const auto score = StatusScore(status)) {
        report.Score = score;
        report.ScoreHeader = "X-Spam-Status";
    } else if (const auto plain = LeadingScore(headers.ValueAt(scoreAt))) {
        report.Score = plain;
        report.ScoreHeader = "X-Spam-Score";
    } else {
        const std::string level = headers.ValueAt(levelAt);
        if (!level.empty() && level.find_first_not_of('*') == std::string::npos) {
            report.Score = static_cast<double>(level.size());
            report.ScoreHeader = "X-Spam-Level";
        }
    }
    return report;
}

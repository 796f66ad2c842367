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
        if (std::tolower(static_cast<unsigned char>(text[i])) != word[i])
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
    const std::string flag = headers.ValueOf("X-Spam-Flag");
    const std::string status = headers.ValueOf("X-Spam-Status");
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
    } else if (const auto plain = LeadingScore(headers.ValueOf("X-Spam-Score"))) {
        report.Score = plain;
        report.ScoreHeader = "X-Spam-Score";
    } else {
        const std::string level = headers.ValueOf("X-Spam-Level");
        if (!level.empty() && level.find_first_not_of('*') == std::string::npos) {
            report.Score = static_cast<double>(level.size());
            report.ScoreHeader = "X-Spam-Level";
        }
    }
    return report;
}

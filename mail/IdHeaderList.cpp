#include "IdHeaderList.h"

#include "Exception.h"
#include "IdGlobal.h"

namespace {

bool StartsWithSpaceOrTab(const std::string& line)
{
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

} // namespace

const std::string& TIdHeaderList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    return FLines[index];
}

std::string TIdHeaderList::Text() const
{
    return TextOfLines(FLines);
}

std::string TIdHeaderList::NameAt(int index) const
{
    const std::string& line = (*this)[index];
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return {};
    std::string name = line.substr(0, colon);
    return MatchCase ? name : UpperCase(name);
}

bool TIdHeaderList::IsContinuation(int index) const
{
    return index < Count() && StartsWithSpaceOrTab(FLines[index]);
}

std::string TIdHeaderList::ValueAt(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    const std::string& line = FLines[index];
    size_t colon = line.find(':');
    std::string value = colon == std::string::npos ? line : line.substr(colon + 1);
    if (JoinContinuations) {
        for (int next = index + 1; IsContinuation(next); ++next) {
            TrimInPlace(value);
            value += ' ';
            value += Trim(FLines[next]);
        }
    }
    TrimInPlace(value);
    return value;
}

int TIdHeaderList::FindName(std::string_view name) const
{
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = FLines[i];
        size_t colon = line.find(':');
        if (colon != std::string::npos && SameText(std::string_view(line).substr(0, colon), name))
            return i;
    }
    return -1;
}

std::string TIdHeaderList::ValueOf(std::string_view name) const
{
    return ValueAt(FindName(name));
}

int TIdHeaderList::EndOfHeader(int index) const
{
    int end = index + 1;
    while (IsContinuation(end))
        ++end;
    return end;
}

void TIdHeaderList::SetValueOf(std::string_view name, std::string_view value)
{
    int index = FindName(name);
    if (value.empty()) {
        if (index >= 0)
            FLines.erase(FLines.begin() + index, FLines.begin() + EndOfHeader(index));
        return;
    }
    std::string line(name);
    line.append(ValueSeparator).append(value);
    std::vector<std::string> newLines = WrapOnWrite ? WrapHeaderLine(line, WrapWidth)
                                                    : std::vector<std::string>{line};
    if (index < 0) {
        FLines.insert(FLines.end(), newLines.begin(), newLines.end());
        return;
    }
    int end = WrapOnWrite ? EndOfHeader(index) : index + 1;
    FLines.erase(FLines.begin() + index, FLines.begin() + end);
    FLines.insert(FLines.begin() + index, newLines.begin(), newLines.end());
}

std::vector<std::string> WrapHeaderLine(std::string_view line, int width)
{
    std::vector<std::string> lines;
    std::string current;
    // Position just after the last break character of the current line, 0 for none.
    size_t afterBreak = 0;
    bool inQuotes = false;
    for (char c : line) {
        if (current.size() > static_cast<size_t>(width) && afterBreak > 0) {
            lines.push_back(TrimRight(current.substr(0, afterBreak)));
            std::string continued(1, ' ');
            continued.append(current, afterBreak);
            current = std::move(continued);
            afterBreak = 0;
        }
        current += c;
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && (c == ' ' || c == '\t' || c == ',') && current.size() > 1)
            afterBreak = current.size();
    }
    lines.push_back(TrimRight(current));
    return lines;
}

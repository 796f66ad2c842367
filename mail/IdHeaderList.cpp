#include "IdHeaderList.h"

#include "Exception.h"
#include "IdGlobal.h"

namespace {

bool StartsWithSpaceOrTab(std::string_view line)
{
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

} // namespace

std::string_view TIdHeaderList::Line(int index) const
{
    const size_t start = index == 0 ? 0 : FEnds[index - 1];
    return std::string_view(FText).substr(start, FEnds[index] - start);
}

std::string TIdHeaderList::operator[](int index) const
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    return std::string(Line(index));
}

std::vector<std::string> TIdHeaderList::Lines() const
{
    std::vector<std::string> lines;
    lines.reserve(FEnds.size());
    for (int i = 0; i < Count(); ++i)
        lines.emplace_back(Line(i));
    return lines;
}

void TIdHeaderList::Add(std::string_view line)
{
    FText.append(line);
    FEnds.push_back(static_cast<uint32_t>(FText.size()));
}

void TIdHeaderList::Clear()
{
    FText.clear();
    FEnds.clear();
}

void TIdHeaderList::ShrinkToFit()
{
    FText.shrink_to_fit();
    FEnds.shrink_to_fit();
}

std::string TIdHeaderList::Text() const
{
    std::string text;
    text.reserve(FText.size() + 2 * FEnds.size());
    for (int i = 0; i < Count(); ++i)
        text.append(Line(i)).append("\r\n");
    return text;
}

std::string TIdHeaderList::NameAt(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError::OutOfBounds(index);
    const std::string_view line = Line(index);
    size_t colon = line.find(':');
    if (colon == std::string::npos)
        return {};
    std::string name(line.substr(0, colon));
    return MatchCase ? name : UpperCase(name);
}

bool TIdHeaderList::IsContinuation(int index) const
{
    return index < Count() && StartsWithSpaceOrTab(Line(index));
}

std::string TIdHeaderList::ValueAt(int index) const
{
    if (index < 0 || index >= Count())
        return {};
    const std::string_view line = Line(index);
    size_t colon = line.find(':');
    std::string value(colon == std::string::npos ? line : line.substr(colon + 1));
    if (JoinContinuations) {
        for (int next = index + 1; IsContinuation(next); ++next) {
            TrimInPlace(value);
            value += ' ';
            value += Trim(Line(next));
        }
    }
    TrimInPlace(value);
    return value;
}

int TIdHeaderList::FindName(std::string_view name) const
{
    // A name is what comes before a line's first colon, so it never holds one; a line of
    // the name has its colon right after it, which is looked at before the letters.
    if (name.find(':') != std::string_view::npos)
        return -1;
    size_t start = 0;
    for (int i = 0; i < Count(); start = FEnds[i], ++i)
        if (FEnds[i] - start > name.size() && FText[start + name.size()] == ':' &&
            SameText(std::string_view(FText.data() + start, name.size()), name))
            return i;
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
            Replace(index, EndOfHeader(index), {});
        return;
    }
    std::string line(name);
    line.append(ValueSeparator).append(value);
    std::vector<std::string> newLines = WrapOnWrite ? WrapHeaderLine(line, WrapWidth)
                                                    : std::vector<std::string>{line};
    if (index < 0) {
        for (const std::string& newLine : newLines)
            Add(newLine);
        return;
    }
    Replace(index, WrapOnWrite ? EndOfHeader(index) : index + 1, newLines);
}

void TIdHeaderList::Replace(int first, int end, const std::vector<std::string>& lines)
{
    std::vector<std::string> all = Lines();
    all.erase(all.begin() + first, all.begin() + end);
    all.insert(all.begin() + first, lines.begin(), lines.end());
    Clear();
    for (const std::string& line : all)
        Add(line);
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

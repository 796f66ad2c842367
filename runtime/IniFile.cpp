#include "IniFile.h"

#include "FileContents.h"

#include <optional>
#include <sys/stat.h>
#include <vector>

namespace {

// One line of the file with its own line end ("\r\n", "\n" or none at the very end).
struct TIniLine {
    std::string Text;
    std::string Ending;
};

std::vector<TIniLine> SplitLines(const std::string& bytes)
{
    std::vector<TIniLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t lf = bytes.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back({bytes.substr(start), ""});
            break;
        }
        size_t end = lf > start && bytes[lf - 1] == '\r' ? lf - 1 : lf;
        lines.push_back({bytes.substr(start, end - start), bytes.substr(end, lf + 1 - end)});
        start = lf + 1;
    }
    return lines;
}

std::string JoinLines(const std::vector<TIniLine>& lines)
{
    std::string bytes;
    for (const TIniLine& line : lines)
        bytes += line.Text + line.Ending;
    return bytes;
}

std::string Trimmed(const std::string& text)
{
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last + 1 - first);
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x -= 'a' - 'A';
        if (y >= 'a' && y <= 'z')
            y -= 'a' - 'A';
        if (x != y)
            return false;
    }
    return true;
}

// The name of a section line, or nothing for any other line.
std::optional<std::string> SectionName(const std::string& line)
{
    std::string text = Trimmed(line);
    if (text.size() < 2 || text.front() != '[')
        return std::nullopt;
    size_t close = text.find(']');
    if (close == std::string::npos)
        return std::nullopt;
    return Trimmed(text.substr(1, close - 1));
}

bool IsKeyLine(const std::string& line, const std::string& key)
{
    size_t equals = line.find('=');
    return equals != std::string::npos && SameName(Trimmed(line.substr(0, equals)), key);
}

// Where a section's lines lie: the section line and one past its last line.
struct TSectionRange {
    size_t Header;
    size_t End;
};

std::optional<TSectionRange> FindSection(const std::vector<TIniLine>& lines, const std::string& section)
{
    for (size_t i = 0; i < lines.size(); ++i) {
        std::optional<std::string> name = SectionName(lines[i].Text);
        if (!name || !SameName(*name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && !SectionName(lines[end].Text))
            ++end;
        return TSectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<TIniLine>& lines, TSectionRange range, const std::string& key)
{
    for (size_t i = range.Header + 1; i < range.End; ++i)
        if (IsKeyLine(lines[i].Text, key))
            return i;
    return std::nullopt;
}

// The line end new lines get: the one the file already uses, else LF.
std::string NewLineOf(const std::vector<TIniLine>& lines)
{
    for (const TIniLine& line : lines)
        if (!line.Ending.empty())
            return line.Ending;
    return "\n";
}

void SetKey(std::vector<TIniLine>& lines, const std::string& section, const std::string& key,
            const std::string& value)
{
    const std::string newLine = NewLineOf(lines);
    const std::string keyLine = key + "=" + value;
    if (!lines.empty() && lines.back().Ending.empty())
        lines.back().Ending = newLine;
    std::optional<TSectionRange> range = FindSection(lines, section);
    if (!range) {
        if (!lines.empty() && !Trimmed(lines.back().Text).empty())
            lines.push_back({"", newLine});
        lines.push_back({"[" + section + "]", newLine});
        lines.push_back({keyLine, newLine});
        return;
    }
    if (std::optional<size_t> index = FindKey(lines, *range, key)) {
        lines[*index].Text = keyLine;
        return;
    }
    // After the section's last non-blank line, so the blank line before the next
    // section stays where it is.
    size_t insertAt = range->End;
    while (insertAt > range->Header + 1 && Trimmed(lines[insertAt - 1].Text).empty())
        --insertAt;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), TIniLine{keyLine, newLine});
}

} // namespace

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& fallback) const
{
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileContents(FFileName);
    } catch (const EInOutError&) {
        return fallback;
    }
    if (!bytes)
        return fallback;
    std::vector<TIniLine> lines = SplitLines(*bytes);
    std::optional<TSectionRange> range = FindSection(lines, section);
    if (!range)
        return fallback;
    std::optional<size_t> index = FindKey(lines, *range, key);
    if (!index)
        return fallback;
    const std::string& line = lines[*index].Text;
    return Trimmed(line.substr(line.find('=') + 1));
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    try {
        std::vector<TIniLine> lines = SplitLines(ReadFileContents(FFileName).value_or(""));
        SetKey(lines, section, key, value);
        struct stat status {};
        mode_t mode = ::stat(FFileName.c_str(), &status) == 0 ? status.st_mode : 0644;
        ReplaceFileContents(FFileName, JoinLines(lines), mode);
    } catch (const EInOutError&) {
        throw EIniFileException("Unable to write to " + FFileName);
    }
}

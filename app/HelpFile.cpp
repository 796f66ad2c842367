#include "HelpFile.h"

#include "Convert.h"
#include "Cp1250.h"

#include <optional>

namespace {

std::string ApplicationHelpPath;

std::vector<std::string> Lines(const std::string& bytes)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t lf = bytes.find('\n', start);
        size_t end = lf == std::string::npos ? bytes.size() : lf;
        std::string line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// The topic a "#<number> <title>" line opens, or nothing for any other line.
std::optional<THelpTopic> TopicLine(const std::string& line)
{
    if (line.empty() || line[0] != '#')
        return std::nullopt;
    size_t blank = line.find(' ');
    std::optional<int32_t> number = TryStrToInt(line.substr(1, blank == std::string::npos ? blank : blank - 1));
    if (!number)
        return std::nullopt;
    THelpTopic topic;
    topic.Number = *number;
    topic.Title = blank == std::string::npos ? "" : line.substr(blank + 1);
    return topic;
}

std::string TrimmedBlankLines(const std::string& text)
{
    size_t first = text.find_first_not_of("\n");
    if (first == std::string::npos)
        return "";
    size_t last = text.find_last_not_of("\n");
    return text.substr(first, last + 1 - first);
}

} // namespace

std::vector<THelpTopic> ParseHelpFile(const std::string& bytes)
{
    std::vector<THelpTopic> topics;
    for (const std::string& line : Lines(Utf8FromCp1250(bytes))) {
        if (std::optional<THelpTopic> topic = TopicLine(line))
            topics.push_back(*topic);
        else if (!topics.empty() && (line.empty() || line[0] != ';'))
            topics.back().Text += line + "\n";
    }
    for (THelpTopic& topic : topics)
        topic.Text = TrimmedBlankLines(topic.Text);
    return topics;
}

std::string ParagraphText(const std::string& text)
{
    std::string joined;
    bool lineOpen = false;   // the last line written may go on with the next one
    for (const std::string& line : Lines(text)) {
        bool startsOwnLine = line.empty() || line[0] == ' ';
        if (lineOpen && !startsOwnLine)
            joined += " ";
        else if (!joined.empty())
            joined += "\n";
        joined += line;
        lineOpen = !line.empty() && line[0] != ' ';
    }
    return joined;
}

const std::string& ApplicationHelpFile()
{
    return ApplicationHelpPath;
}

void SetApplicationHelpFile(const std::string& path)
{
    ApplicationHelpPath = path;
}

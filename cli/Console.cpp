#include "Console.h"

std::string TerminalText(const std::string& programText)
{
    std::string text;
    text.reserve(programText.size());
    for (size_t i = 0; i < programText.size(); ++i)
        if (!(programText[i] == '\r' && i + 1 < programText.size() && programText[i + 1] == '\n'))
            text += programText[i];
    return VisibleControls(text);
}

std::string VisibleControls(const std::string& utf8)
{
    static const char Hex[] = "0123456789abcdef";
    // The bytes that may start an escape; runs of the others are copied whole.
    const auto mayEscape = [](unsigned char byte) {
        return (byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7f || byte == 0xc2;
    };
    std::string text;
    text.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        size_t end = i;
        while (end < utf8.size() && !mayEscape(static_cast<unsigned char>(utf8[end])))
            ++end;
        text.append(utf8, i, end - i);
        if (end == utf8.size())
            break;
        i = end;
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte != 0xc2) {
            text += "\\x";
            text += Hex[byte >> 4];
            text += Hex[byte & 0xf];
        } else if (i + 1 < utf8.size() && static_cast<unsigned char>(utf8[i + 1]) >= 0x80 &&
                   static_cast<unsigned char>(utf8[i + 1]) <= 0x9f) {
            // U+0080 to U+009F: the C1 controls, CSI among them.
            const auto low = static_cast<unsigned char>(utf8[++i]);
            text += "\\u00";
            text += Hex[low >> 4];
            text += Hex[low & 0xf];
        } else {
            text += utf8[i];
        }
        ++i;
    }
    return text;
}

std::string TabField(const std::string& text)
{
    std::string field;
    AppendTabField(field, text);
    return field;
}

void AppendTabField(std::string& line, std::string_view text)
{
    const size_t start = line.size();
    line += text;
    for (size_t i = start; i < line.size(); ++i)
        if (static_cast<unsigned char>(line[i]) <= '\r' && (line[i] == '\t' || line[i] == '\r' || line[i] == '\n'))
            line[i] = ' ';
}

bool IsYes(const std::string& answer)
{
    const size_t first = answer.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return false;
    std::string word = answer.substr(first, answer.find_last_not_of(" \t\r\n") - first + 1);
    for (char& c : word)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return word == "a" || word == "ano" || word == "y" || word == "yes";
}

void TConsoleUserInterface::ShowError(const std::string& message)
{
    FErr << TerminalText(message) << '\n';
}

std::string FilledText(std::string text, const std::string& first, const std::string& second)
{
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, first);
    if (const size_t at = text.find("%s"); at != std::string::npos)
        text.replace(at, 2, second);
    return text;
}

bool TConsoleUserInterface::AskYesNo(const std::string&, const std::string& question)
{
    FErr << TerminalText(question) << " [a/n] " << std::flush;
    std::string answer;
    InputEnded = !std::getline(FIn, answer);
    if (InputEnded)
        FErr << '\n';
    return !InputEnded && IsYes(answer);
}

std::optional<std::string> TConsoleUserInterface::AskSaveFileName(const std::string&)
{
    return SaveFileName;
}

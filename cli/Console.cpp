#include "Console.h"

std::string TerminalText(const std::string& programText)
{
    std::string text;
    text.reserve(programText.size());
    for (size_t i = 0; i < programText.size(); ++i)
        if (!(programText[i] == '\r' && i + 1 < programText.size() && programText[i + 1] == '\n'))
            text += programText[i];
    return text;
}

std::string TabField(const std::string& text)
{
    std::string field = text;
    for (char& c : field)
        if (c == '\t' || c == '\r' || c == '\n')
            c = ' ';
    return field;
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

bool TConsoleUserInterface::AskYesNo(const std::string&, const std::string& question)
{
    FErr << TerminalText(question) << " [a/n] " << std::flush;
    std::string answer;
    if (!std::getline(FIn, answer))
        return false;
    return IsYes(answer);
}

std::optional<std::string> TConsoleUserInterface::AskSaveFileName(const std::string&)
{
    return SaveFileName;
}

#include "Console.h"

#include "Cp1250.h"

std::string TerminalText(const std::string& cp1250)
{
    std::string text;
    text.reserve(cp1250.size());
    for (size_t i = 0; i < cp1250.size(); ++i)
        if (!(cp1250[i] == '\r' && i + 1 < cp1250.size() && cp1250[i + 1] == '\n'))
            text += cp1250[i];
    return Utf8FromCp1250(text);
}

std::string TabField(const std::string& cp1250)
{
    std::string field = cp1250;
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
    InputEnded = !std::getline(FIn, answer);
    if (InputEnded)
        FErr << '\n';
    return !InputEnded && IsYes(answer);
}

std::optional<std::string> TConsoleUserInterface::AskSaveFileName(const std::string&)
{
    return SaveFileName;
}

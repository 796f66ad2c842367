#include "Links.h"

#include "UserInterface.h"

#include <array>
#include <cctype>

namespace {

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool CannotStandInFileName(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return byte < 32 || byte == 127 || std::string_view(":*?\"<>|").find(c) != std::string_view::npos;
}

} // namespace

bool IsShellLink(std::string_view text)
{
    static const std::array<std::string_view, 4> Schemes = {"http", "https", "ftp", "mailto"};
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string scheme = LowerAscii(text.substr(0, colon));
    for (std::string_view allowed : Schemes)
        if (scheme == allowed)
            return true;
    return false;
}

void OpenWithShell(const std::string& text)
{
    if (IsShellLink(text))
        UserInterface().OpenUrl(text);
}

std::string SafeFileName(std::string_view attachmentName)
{
    const auto separator = attachmentName.find_last_of("/\\");
    if (separator != std::string_view::npos)
        attachmentName.remove_prefix(separator + 1);
    if (attachmentName == "." || attachmentName == "..")
        return {};
    std::string name(attachmentName);
    for (char& c : name)
        if (CannotStandInFileName(c))
            c = '_';
    return name;
}

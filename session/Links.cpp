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
    return std::string_view(":*?\"<>|").find(c) != std::string_view::npos;
}

// The length of the character at the start of text that a line of the view must not
// hold: a separator or a direction control; 0 for any other.
size_t DroppedCharacterLength(std::string_view text)
{
    static constexpr std::array<std::string_view, 16> Dropped = {
        "\r", "\n", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\x8E", "\xE2\x80\x8F", "\xD8\x9C",
        "\xE2\x80\xAA", "\xE2\x80\xAB", "\xE2\x80\xAC", "\xE2\x80\xAD", "\xE2\x80\xAE",
        "\xE2\x81\xA6", "\xE2\x81\xA7", "\xE2\x81\xA8",
    };
    for (std::string_view sequence : Dropped)
        if (text.starts_with(sequence))
            return sequence.size();
    return text.starts_with("\xE2\x81\xA9") ? 3 : 0;
}

// The length of the well-formed UTF-8 character text starts with; 0 for a stray byte.
size_t CharacterLength(std::string_view text)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                        : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || length > text.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0;
    return length;
}

// C0 controls, DEL and the C1 controls (U+0080 to U+009F).
size_t ControlLength(std::string_view text)
{
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 32 || byte == 127)
        return 1;
    if (byte == 0xC2 && text.size() > 1 && static_cast<unsigned char>(text[1]) >= 0x80
        && static_cast<unsigned char>(text[1]) <= 0x9F)
        return 2;
    return 0;
}

// Cuts text to at most bytes without splitting a UTF-8 character.
std::string_view CutAtCharacter(std::string_view text, size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80)
        --bytes;
    return text.substr(0, bytes);
}

// An extension worth keeping is short and comes after something.
constexpr size_t MaxKeptExtension = 32;

std::string WithinFileNameLimit(const std::string& name)
{
    if (name.size() <= MaxFileNameBytes)
        return name;
    const size_t dot = name.rfind('.');
    std::string_view extension;
    if (dot != std::string::npos && dot > 0 && name.size() - dot <= MaxKeptExtension)
        extension = std::string_view(name).substr(dot);
    const std::string_view stem = std::string_view(name).substr(0, name.size() - extension.size());
    return std::string(CutAtCharacter(stem, MaxFileNameBytes - extension.size())) + std::string(extension);
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

std::string OneLineName(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    while (!text.empty()) {
        const size_t length = CharacterLength(text);
        if (length == 0) {
            // A stray byte is replaced, not dropped: dropping it could join the bytes
            // around it into a character that is to be dropped itself.
            line += '_';
            text.remove_prefix(1);
        } else if (DroppedCharacterLength(text) == length) {
            text.remove_prefix(length);
        } else if (ControlLength(text) == length) {
            line += '_';
            text.remove_prefix(length);
        } else {
            line.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return line;
}

std::string SafeFileName(std::string_view attachmentName)
{
    const auto separator = attachmentName.find_last_of("/\\");
    if (separator != std::string_view::npos)
        attachmentName.remove_prefix(separator + 1);
    std::string name = OneLineName(attachmentName);
    for (char& c : name)
        if (CannotStandInFileName(c))
            c = '_';
    name.erase(0, name.find_first_not_of('.'));
    return WithinFileNameLimit(name);
}

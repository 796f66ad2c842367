#include "IdHeaderParameters.h"

#include <map>
#include <vector>

#include "Convert.h"
#include "Exception.h"
#include "IdCharset.h"
#include "IdCoderHeader.h"
#include "IdGlobal.h"

namespace {

// Sections beyond this number are dropped: no real name needs them, and a hostile
// header cannot make the assembled value larger than the header itself anyway.
const int LastSection = 999;

struct TParameter {
    std::string_view Attribute;
    std::string Value;
};

std::string_view TrimBlanks(std::string_view text)
{
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The index of the next ";" at or after i that is not inside a quoted string.
size_t NextSemicolon(std::string_view text, size_t i)
{
    bool quoted = false;
    for (; i < text.size(); ++i) {
        if (quoted && text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            quoted = !quoted;
        else if (!quoted && text[i] == ';')
            return i;
    }
    return text.size();
}

// A quoted string from its opening quote at i; a missing closing quote ends it at the
// end of the text. Backslash pairs stand for their second character.
std::string QuotedString(std::string_view text, size_t i)
{
    std::string value;
    for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\' && i + 1 < text.size())
            ++i;
        value += text[i];
    }
    return value;
}

std::vector<TParameter> ParametersOf(std::string_view headerValue)
{
    std::vector<TParameter> parameters;
    size_t at = NextSemicolon(headerValue, 0);
    while (at < headerValue.size()) {
        size_t end = NextSemicolon(headerValue, at + 1);
        std::string_view piece = headerValue.substr(at + 1, end - at - 1);
        at = end;
        size_t equals = piece.find('=');
        if (equals == std::string_view::npos)
            continue;
        std::string_view value = TrimBlanks(piece.substr(equals + 1));
        TParameter parameter{TrimBlanks(piece.substr(0, equals)), {}};
        if (!value.empty() && value[0] == '"')
            parameter.Value = QuotedString(value, 0);
        else
            parameter.Value = std::string(value);
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

// "%XX" is the byte XX; a "%" without two hexadecimal digits stays as it is.
std::string PercentDecoded(std::string_view text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        int high = text[i] == '%' && i + 2 < text.size() ? HexDigitValue(text[i + 1]) : -1;
        int low = high >= 0 ? HexDigitValue(text[i + 2]) : -1;
        if (low >= 0) {
            bytes += static_cast<char>(high << 4 | low);
            i += 2;
        } else {
            bytes += text[i];
        }
    }
    return bytes;
}

// "charset'language'text": splits off the charset; without both apostrophes the whole
// value is the text and no charset is named.
std::string_view SplitCharset(std::string_view value, std::string& charset)
{
    size_t first = value.find('\'');
    size_t second = first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos)
        return value;
    charset = std::string(value.substr(0, first));
    return value.substr(second + 1);
}

std::string ConvertedBytes(std::string_view bytes, const std::string& charset)
{
    return charset.empty() ? Utf8OrWindows1250(bytes) : CharsetToUtf8(bytes, charset);
}

std::string PlainValue(const std::string& value)
{
    try {
        return DecodeEncodedWords(value);
    } catch (const EConvertError&) {
        // A broken encoded word leaves the name as it was sent.
        return Utf8OrWindows1250(value);
    }
}

struct TSection {
    std::string Value;
    bool Extended = false;
};

// "name*0" and "name*0*" give the section number and whether it is extended; false for
// an attribute of another shape.
bool ReadSection(std::string_view suffix, int& number, bool& extended)
{
    extended = suffix.ends_with('*');
    if (extended)
        suffix.remove_suffix(1);
    if (suffix.empty() || suffix.size() > 3)
        return false;
    number = 0;
    for (char c : suffix) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + (c - '0');
    }
    return number <= LastSection;
}

std::string JoinedSections(const std::map<int, TSection>& sections)
{
    std::string charset;
    std::string bytes;
    for (const auto& [number, section] : sections) {
        if (!section.Extended) {
            bytes += section.Value;
            continue;
        }
        std::string_view text = section.Value;
        if (number == 0)
            text = SplitCharset(text, charset);
        bytes += PercentDecoded(text);
    }
    return ConvertedBytes(bytes, charset);
}

} // namespace

std::string HeaderParameter(std::string_view headerValue, std::string_view name)
{
    const std::vector<TParameter> parameters = ParametersOf(headerValue);
    const std::string* plain = nullptr;
    std::map<int, TSection> sections;
    for (const TParameter& parameter : parameters) {
        std::string_view attribute = parameter.Attribute;
        if (attribute.size() < name.size() || !SameText(attribute.substr(0, name.size()), name))
            continue;
        std::string_view suffix = attribute.substr(name.size());
        if (suffix.empty()) {
            if (!plain)
                plain = &parameter.Value;
        } else if (suffix == "*") {
            std::string charset;
            std::string_view text = SplitCharset(parameter.Value, charset);
            return ConvertedBytes(PercentDecoded(text), charset);
        } else if (suffix[0] == '*') {
            int number = 0;
            bool extended = false;
            if (ReadSection(suffix.substr(1), number, extended))
                sections.try_emplace(number, TSection{parameter.Value, extended});
        }
    }
    if (!sections.empty())
        return JoinedSections(sections);
    return plain ? PlainValue(*plain) : std::string();
}

std::string_view LooseParameterText(std::string_view headerValue, std::string_view name)
{
    const auto skipBlanks = [&](size_t i) {
        while (i < headerValue.size() && std::string_view(" \t\r\n").find(headerValue[i]) != std::string_view::npos)
            ++i;
        return i;
    };
    for (size_t at = headerValue.find(name); at != std::string_view::npos; at = headerValue.find(name, at + 1)) {
        const size_t equals = skipBlanks(at + name.size());
        if (equals < headerValue.size() && headerValue[equals] == '=')
            return headerValue.substr(skipBlanks(equals + 1));
    }
    return {};
}

std::string AttachmentFileName(std::string_view contentType, std::string_view disposition)
{
    std::string fileName = HeaderParameter(disposition, "filename");
    return fileName.empty() ? HeaderParameter(contentType, "name") : fileName;
}

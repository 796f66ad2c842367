// A token endpoint's answer, or the challenge of a refused OAuth2 log-in, read as one JSON
// object. What it gives must read back the same once written out again, and the answer
// cut short by its last character must give nothing.
#include "FuzzSupport.h"
#include "IdJSON.h"

#include <cstdio>

namespace {

// The value as a JSON string: quotes and backslashes escaped, control characters as \u.
void AppendString(std::string& text, const std::string& value)
{
    text += '"';
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            text += escape;
        } else {
            text += c;
        }
    }
    text += '"';
}

// The members as one object, every value written as a string.
std::string Written(const TIdJsonMembers& members)
{
    std::string text = "{";
    for (const auto& [name, value] : members) {
        if (text.size() > 1)
            text += ',';
        AppendString(text, name);
        text += ':';
        AppendString(text, value);
    }
    return text + "}";
}

std::string_view WithoutTrailingBlanks(std::string_view text)
{
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(0, last == std::string_view::npos ? 0 : last + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text = InputText(data, size);
    const std::optional<TIdJsonMembers> members = ParseJsonObject(text);
    if (!members)
        return 0;
    if (members->size() > MaxJsonMembers)
        FuzzFailure("more members kept than the limit");
    if (ParseJsonObject(Written(*members)) != members)
        FuzzFailure("the members written out read back differently");
    const std::string_view whole = WithoutTrailingBlanks(text);
    if (ParseJsonObject(whole.substr(0, whole.size() - 1)))
        FuzzFailure("an object cut short by its last character was read");
    return 0;
}

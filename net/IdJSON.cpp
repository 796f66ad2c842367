#include "IdJSON.h"

#include <cstdint>
#include <set>

namespace {

class TJsonReader {
public:
    explicit TJsonReader(std::string_view text) : FText(text) {}

    std::optional<TIdJsonMembers> Object()
    {
        TIdJsonMembers members;
        // Every name of the object, nested values' too: the first occurrence of a name
        // stands even when it held an object or an array.
        std::set<std::string> names;
        SkipBlanks();
        if (!Take('{'))
            return std::nullopt;
        SkipBlanks();
        if (!Take('}')) {
            for (;;) {
                std::string name;
                std::string value;
                SkipBlanks();
                if (!String(name))
                    return std::nullopt;
                SkipBlanks();
                if (!Take(':'))
                    return std::nullopt;
                SkipBlanks();
                bool simple = false;
                if (!Value(value, simple, 1))
                    return std::nullopt;
                if (names.insert(name).second && simple)
                    members.emplace(std::move(name), std::move(value));
                if (++FMembers > MaxJsonMembers)
                    return std::nullopt;
                SkipBlanks();
                if (Take('}'))
                    break;
                if (!Take(','))
                    return std::nullopt;
            }
        }
        SkipBlanks();
        if (FAt != FText.size())
            return std::nullopt;
        return members;
    }

private:
    bool Take(char c)
    {
        if (FAt < FText.size() && FText[FAt] == c) {
            ++FAt;
            return true;
        }
        return false;
    }

    void SkipBlanks()
    {
        while (FAt < FText.size() && (FText[FAt] == ' ' || FText[FAt] == '\t' || FText[FAt] == '\n' || FText[FAt] == '\r'))
            ++FAt;
    }

    // simple: the value was a string, number or literal (value holds it).
    bool Value(std::string& value, bool& simple, int depth)
    {
        if (FAt >= FText.size())
            return false;
        const char c = FText[FAt];
        if (c == '"') {
            simple = true;
            return String(value);
        }
        if (c == '{' || c == '[') {
            simple = false;
            return Nested(depth + 1);
        }
        simple = true;
        return Literal(value);
    }

    bool Nested(int depth)
    {
        if (depth > MaxJsonDepth)
            return false;
        const char close = FText[FAt] == '{' ? '}' : ']';
        const bool object = close == '}';
        ++FAt;
        SkipBlanks();
        if (Take(close))
            return true;
        for (;;) {
            std::string ignored;
            bool simple = false;
            SkipBlanks();
            if (object) {
                if (!String(ignored))
                    return false;
                SkipBlanks();
                if (!Take(':'))
                    return false;
                SkipBlanks();
            }
            if (!Value(ignored, simple, depth))
                return false;
            if (++FMembers > MaxJsonMembers)
                return false;
            SkipBlanks();
            if (Take(close))
                return true;
            if (!Take(','))
                return false;
        }
    }

    bool Literal(std::string& value)
    {
        const size_t start = FAt;
        while (FAt < FText.size()) {
            const char c = FText[FAt];
            const bool number = (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
            if (!number && !(c >= 'a' && c <= 'z'))
                break;
            ++FAt;
        }
        value = std::string(FText.substr(start, FAt - start));
        if (value == "true" || value == "false" || value == "null")
            return true;
        return IsNumber(value);
    }

    static bool IsNumber(std::string_view text)
    {
        size_t i = 0;
        if (i < text.size() && text[i] == '-')
            ++i;
        const size_t digits = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        // One digit at least, and no zero before others ("01").
        if (i == digits || (text[digits] == '0' && i > digits + 1))
            return false;
        if (i < text.size() && text[i] == '.') {
            const size_t fraction = ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            if (i == fraction)
                return false;
        }
        if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
            ++i;
            if (i < text.size() && (text[i] == '+' || text[i] == '-'))
                ++i;
            const size_t exponent = i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                ++i;
            if (i == exponent)
                return false;
        }
        return i == text.size();
    }

    bool Hex4(uint32_t& code)
    {
        if (FAt + 4 > FText.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = FText[FAt++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<uint32_t>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    static void AppendUtf8(std::string& text, uint32_t code)
    {
        if (code < 0x80) {
            text += static_cast<char>(code);
        } else if (code < 0x800) {
            text += static_cast<char>(0xC0 | (code >> 6));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            text += static_cast<char>(0xE0 | (code >> 12));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            text += static_cast<char>(0xF0 | (code >> 18));
            text += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            text += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            text += static_cast<char>(0x80 | (code & 0x3F));
        }
    }

    bool Escape(std::string& text)
    {
        if (FAt >= FText.size())
            return false;
        const char c = FText[FAt++];
        switch (c) {
        case '"': text += '"'; return true;
        case '\\': text += '\\'; return true;
        case '/': text += '/'; return true;
        case 'b': text += '\b'; return true;
        case 'f': text += '\f'; return true;
        case 'n': text += '\n'; return true;
        case 'r': text += '\r'; return true;
        case 't': text += '\t'; return true;
        case 'u': break;
        default: return false;
        }
        uint32_t code = 0;
        if (!Hex4(code))
            return false;
        if (code >= 0xD800 && code < 0xDC00) {
            uint32_t low = 0;
            if (!Take('\\') || !Take('u') || !Hex4(low) || low < 0xDC00 || low >= 0xE000)
                return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        } else if (code >= 0xDC00 && code < 0xE000) {
            return false;
        }
        AppendUtf8(text, code);
        return true;
    }

    bool String(std::string& text)
    {
        text.clear();
        if (!Take('"'))
            return false;
        while (FAt < FText.size()) {
            const char c = FText[FAt++];
            if (c == '"')
                return true;
            if (static_cast<unsigned char>(c) < 0x20)
                return false;
            if (c != '\\')
                text += c;
            else if (!Escape(text))
                return false;
        }
        return false;
    }

    std::string_view FText;
    size_t FAt = 0;
    size_t FMembers = 0;
};

} // namespace

std::optional<TIdJsonMembers> ParseJsonObject(std::string_view text)
{
    return TJsonReader(text).Object();
}

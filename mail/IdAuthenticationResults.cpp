#include "IdAuthenticationResults.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A plain loop: the stop sets are a few characters, and a library search per character
// of the header costs more than the scan itself.
bool IsOneOf(char c, std::string_view set)
{
    for (char member : set)
        if (member == c)
            return true;
    return false;
}

// Keywords and property names are ASCII; the locale has no say in them.
char AsciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

std::string LowerCase(std::string text)
{
    for (char& c : text)
        c = AsciiLower(c);
    return text;
}

bool SameWord(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

// Reads the value left to right; every read skips the folding white space and comments
// before it. A failed read leaves Failed set and everything after reads as nothing.
class TAuthScanner {
public:
    explicit TAuthScanner(std::string_view text) : FText(text) {}

    bool Failed = false;

    bool AtEnd()
    {
        SkipSpaceAndComments();
        return FPos >= FText.size();
    }

    // Takes the character when it comes next.
    bool Take(char c)
    {
        SkipSpaceAndComments();
        if (FPos < FText.size() && FText[FPos] == c) {
            ++FPos;
            return true;
        }
        return false;
    }

    bool Peek(char c)
    {
        SkipSpaceAndComments();
        return FPos < FText.size() && FText[FPos] == c;
    }

    // A keyword or token: letters, digits and the characters the grammar lets into one.
    std::string Word(std::string_view stops = "=;/().\"")
    {
        SkipSpaceAndComments();
        const size_t start = FPos;
        while (FPos < FText.size() && !IsBlank(FText[FPos]) && !IsOneOf(FText[FPos], stops))
            ++FPos;
        if (FPos == start)
            Failed = true;
        return std::string(FText.substr(start, FPos - start));
    }

    // A token or a quoted string; valueStops end a bare token.
    std::string Value(std::string_view valueStops)
    {
        if (Peek('"'))
            return QuotedString();
        return Word(valueStops);
    }

private:
    void SkipSpaceAndComments()
    {
        while (FPos < FText.size() && !Failed) {
            if (IsBlank(FText[FPos])) {
                ++FPos;
            } else if (FText[FPos] == '(') {
                SkipComment();
            } else {
                return;
            }
        }
    }

    // Comments nest and may hold quoted pairs; one that never closes is a broken header.
    void SkipComment()
    {
        size_t depth = 0;
        while (FPos < FText.size()) {
            const char c = FText[FPos++];
            if (c == '\\') {
                FPos = std::min(FPos + 1, FText.size());
            } else if (c == '(') {
                ++depth;
            } else if (c == ')' && --depth == 0) {
                return;
            }
        }
        Failed = true;
    }

    std::string QuotedString()
    {
        ++FPos;  // the opening quote
        std::string content;
        while (FPos < FText.size()) {
            const char c = FText[FPos++];
            if (c == '"')
                return content;
            if (c == '\\' && FPos < FText.size())
                content += FText[FPos++];
            else
                content += c;
        }
        Failed = true;
        return content;
    }

    std::string_view FText;
    size_t FPos = 0;
};

// A property value: a token, a quoted string, or an address or domain, maybe with a
// quoted local part ("a b"@example.com). Base64 pieces (header.b=Ab+/c) are taken whole.
std::string PropertyValue(TAuthScanner& scanner)
{
    std::string value;
    if (scanner.Peek('"'))
        value = scanner.Value(";");
    if (value.empty() || scanner.Peek('@'))
        value += scanner.Word(";()\"");
    return value;
}

std::optional<TIdAuthenticationResult> ResultInfo(TAuthScanner& scanner)
{
    TIdAuthenticationResult result;
    result.Properties.reserve(4);
    result.Method = LowerCase(scanner.Word());
    if (scanner.Take('/'))
        scanner.Word();
    if (!scanner.Take('=')) {
        // "; none": the server checked nothing.
        if (result.Method == "none" && (scanner.AtEnd() || scanner.Peek(';')))
            return result;
        return std::nullopt;
    }
    result.Result = LowerCase(scanner.Word());
    while (!scanner.Failed && !scanner.AtEnd() && !scanner.Peek(';')) {
        std::string name = LowerCase(scanner.Word());
        if (scanner.Take('.')) {
            name += '.';
            name += LowerCase(scanner.Word());
        }
        if (!scanner.Take('='))
            return std::nullopt;
        if (name == "reason")
            result.Reason = scanner.Value(";");
        else
            result.Properties.push_back({std::move(name), PropertyValue(scanner)});
    }
    if (scanner.Failed)
        return std::nullopt;
    return result;
}

} // namespace

std::string TIdAuthenticationResult::Property(std::string_view name) const
{
    for (const auto& property : Properties)
        if (SameWord(property.Name, name))
            return property.Value;
    return {};
}

TIdAuthenticationResults ParseAuthenticationResults(std::string_view value)
{
    TIdAuthenticationResults parsed;
    parsed.Results.reserve(4);
    TAuthScanner scanner(value);
    {
        // Some servers write no authserv-id and begin with the first result.
        TAuthScanner lookahead = scanner;
        lookahead.Word();
        if (!lookahead.Failed && (lookahead.Peek('=') || lookahead.Peek('/'))) {
            auto first = ResultInfo(scanner);
            if (!first)
                return {};
            parsed.Results.push_back(std::move(*first));
        } else {
            parsed.AuthServId = scanner.Value(";");
        }
    }
    if (parsed.Results.empty() && !scanner.Peek(';') && !scanner.AtEnd()) {
        const std::string version = scanner.Word();
        for (char c : version)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return {};
    }
    while (!scanner.Failed && scanner.Take(';')) {
        if (scanner.AtEnd())
            break;  // a trailing ";", which servers write
        if (parsed.Results.size() >= AuthenticationResultsLimit)
            return {};
        auto result = ResultInfo(scanner);
        if (!result)
            return {};
        if (result->Method == "none" && result->Result.empty())
            continue;
        parsed.Results.push_back(std::move(*result));
    }
    if (scanner.Failed || !scanner.AtEnd())
        return {};
    parsed.Valid = true;
    return parsed;
}

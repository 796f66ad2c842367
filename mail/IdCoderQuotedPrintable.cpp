#include "IdCoderQuotedPrintable.h"

#include "Convert.h"

namespace {

bool IsLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// Skips up to two CR or LF characters.
size_t SkipLineEnd(std::string_view text, size_t at)
{
    for (int skipped = 0; skipped < 2 && at < text.size() && IsLineEnd(text[at]); ++skipped)
        ++at;
    return at;
}

} // namespace

void TIdDecoderQuotedPrintable::DecodeToOutput(std::string_view line, std::string& output)
{
    // Trailing spaces and TABs go; the line end characters among them stay, in order.
    size_t end = line.size();
    while (end > 0 && (line[end - 1] == ' ' || line[end - 1] == '\t' || IsLineEnd(line[end - 1])))
        --end;
    std::string text(line.substr(0, end));
    for (char c : line.substr(end))
        if (IsLineEnd(c))
            text += c;

    std::string result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        size_t equals = text.find('=', i);
        if (equals == std::string::npos) {
            result.append(text, i);
            break;
        }
        result.append(text, i, equals - i);
        i = equals + 1;
        int value = 0;
        int digits = 0;
        for (; digits < 2 && i < text.size() && HexDigitValue(text[i]) >= 0; ++digits, ++i)
            value = value * 16 + HexDigitValue(text[i]);
        if (digits == 0) {
            i = SkipLineEnd(text, i);
        } else if (value == ' ' && i < text.size() && IsLineEnd(text[i])) {
            result += " \r\n";
            i = SkipLineEnd(text, i);
        } else {
            result += static_cast<char>(value);
        }
    }
    output += result;
}

#include "IdCoderHeader.h"

#include "Convert.h"
#include "IdGlobal.h"

namespace {

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return 0;
}

// The encoded text runs up to and including the closing "?=".
std::string DecodeQ(std::string_view encoded)
{
    std::string result;
    size_t i = 0;
    while (i < encoded.size() && encoded.substr(i, 2) != "?=") {
        char c = encoded[i];
        if (c == '_') {
            result += ' ';
        } else if (c == '=' && encoded.size() - i - 1 >= 4) {
            // Raises the integer parser's error for digits that are not hexadecimal.
            std::string hexadecimal = "$";
            hexadecimal.append(encoded.substr(i + 1, 2));
            result += static_cast<char>(StrToInt(hexadecimal));
            i += 2;
        } else {
            result += c;
        }
        ++i;
    }
    return result;
}

// Every group of four yields three bytes, padding included; the NUL bytes that padding
// leaves are dropped with all others at the end.
std::string DecodeB(std::string_view encoded)
{
    std::string result;
    for (size_t i = 0; i + 4 <= encoded.size(); i += 4) {
        unsigned value = Base64Value(encoded[i]) << 18 | Base64Value(encoded[i + 1]) << 12
                       | Base64Value(encoded[i + 2]) << 6 | Base64Value(encoded[i + 3]);
        result += static_cast<char>(value >> 16 & 0xFF);
        result += static_cast<char>(value >> 8 & 0xFF);
        result += static_cast<char>(value & 0xFF);
    }
    return result;
}

// Replaces the words that begin with `start` (upper case), left to right.
std::string DecodeWordsStartingWith(const std::string& value, std::string_view start)
{
    const std::string upper = UpperCase(value);
    std::string result;
    size_t copied = 0;
    size_t from = 0;
    while (true) {
        size_t a = upper.find(start, from);
        if (a == std::string::npos)
            break;
        size_t charsetEnd = upper.find('?', a + 5);
        size_t encodingEnd = charsetEnd == std::string::npos ? charsetEnd : upper.find('?', charsetEnd + 1);
        size_t c = encodingEnd == std::string::npos ? encodingEnd : upper.find("?=", encodingEnd + 1);
        // Every later word would run into the same missing "?" or "?=".
        if (c == std::string::npos)
            break;
        std::string charset = value.substr(a + 2, charsetEnd - a - 2);
        char encoding = upper[charsetEnd + 1];
        std::string_view encoded = std::string_view(value).substr(encodingEnd + 1, c + 2 - encodingEnd - 1);
        std::string decoded = encoding == 'Q' ? DecodeQ(encoded) : DecodeB(encoded);
        if (SameText(charset, "ISO-2022-JP"))
            decoded = JisToShiftJis(decoded);
        result.append(value, copied, a - copied);
        result += decoded;
        copied = c + 2;
        from = copied;
    }
    result.append(value, copied);
    return result;
}

} // namespace

std::string DecodeEncodedWords(std::string_view value)
{
    std::string result = DecodeWordsStartingWith(std::string(value), "=?ISO");
    result = DecodeWordsStartingWith(result, "=?WINDOWS");
    std::erase(result, '\0');
    return result;
}

std::string JisToShiftJis(std::string_view text)
{
    const char Escape = 27;
    std::string result;
    bool doubleByte = false;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == Escape) {
            if (text.size() - i < 3) {
                ++i;
                continue;
            }
            std::string_view pair = text.substr(i + 1, 2);
            if (pair == "$B")
                doubleByte = true;
            else if (pair == "(B")
                doubleByte = false;
            i += 3;
        } else if (!doubleByte) {
            result += text[i++];
        } else {
            if (text.size() - i < 2)
                break;
            unsigned c1 = static_cast<unsigned char>(text[i]);
            unsigned c2 = static_cast<unsigned char>(text[i + 1]);
            unsigned first = ((c1 - 1) >> 1) + (c1 <= 94 ? 113 : 177);
            unsigned second = (c1 % 2 == 0) ? c2 + 126 : (c2 >= 96 ? c2 + 32 : c2 + 31);
            result += static_cast<char>(first & 0xFF);
            result += static_cast<char>(second & 0xFF);
            i += 2;
        }
    }
    return result;
}

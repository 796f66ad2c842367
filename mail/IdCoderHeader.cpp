#include "IdCoderHeader.h"

#include <algorithm>
#include <optional>

#include "Convert.h"
#include "IdCharset.h"

namespace {

struct TEncodedWord {
    std::string_view Charset;
    char Encoding;  // 'Q' or 'B'
    std::string_view Text;
    size_t End;     // just after the closing "?="
};

// Charset names are tokens: printable ASCII without blanks and without the characters
// that delimit encoded words.
bool IsTokenCharacter(char c)
{
    static constexpr std::string_view Specials = "()<>@,;:\\\"/[]?=";
    return c > ' ' && c < 127 && Specials.find(c) == std::string_view::npos;
}

// A search for the next occurrence of a text whose starting points only grow, so that
// it reads the value once however often it is asked.
class TForwardSearch {
public:
    TForwardSearch(std::string_view value, std::string_view what) : FValue(value), FWhat(what) {}

    size_t From(size_t from)
    {
        if (!FSearched || (FFound != std::string_view::npos && FFound < from)) {
            FFound = FValue.find(FWhat, from);
            FSearched = true;
        }
        return FFound;
    }

    bool NoneLeft() const { return FSearched && FFound == std::string_view::npos; }

private:
    std::string_view FValue;
    std::string_view FWhat;
    size_t FFound = std::string_view::npos;
    bool FSearched = false;
};

// Finds the encoded words of one value from left to right, in one pass even for a
// value full of word beginnings.
class TWordScanner {
public:
    explicit TWordScanner(std::string_view value) : FValue(value), FOpen(value, "=?"), FInnerOpen(value, "=?"),
                                                    FClose(value, "?=") {}

    // The next "=?" at or after `from`; `from` only grows.
    size_t NextStart(size_t from) { return FOpen.From(from); }

    // The word that begins with the "=?" at `start`, if it is one.
    std::optional<TEncodedWord> WordAt(size_t start)
    {
        size_t i = start + 2;
        while (i < FValue.size() && IsTokenCharacter(FValue[i]))
            ++i;
        if (i == start + 2 || i + 2 >= FValue.size() || FValue[i] != '?' || FValue[i + 2] != '?')
            return std::nullopt;
        char encoding = static_cast<char>(FValue[i + 1] & ~0x20);
        if (encoding != 'Q' && encoding != 'B')
            return std::nullopt;
        size_t textStart = i + 3;
        size_t close = FClose.From(textStart);
        if (close == std::string_view::npos)
            return std::nullopt;
        // Encoded text never holds "=?" (other than padding just before the closing
        // "?="): a word that would contain the beginning of another is none.
        size_t inner = FInnerOpen.From(textStart);
        if (inner != std::string_view::npos && inner + 1 < close)
            return std::nullopt;
        return TEncodedWord{FValue.substr(start + 2, i - start - 2), encoding,
                            FValue.substr(textStart, close - textStart), close + 2};
    }

    // No "?=" is left, so no later word can be complete.
    bool NoWordLeft() const { return FClose.NoneLeft(); }

private:
    std::string_view FValue;
    TForwardSearch FOpen;
    TForwardSearch FInnerOpen;
    TForwardSearch FClose;
};

std::string DecodeQ(std::string_view text)
{
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '_') {
            bytes += ' ';
        } else if (c == '=' && text.size() - i > 2) {
            // Raises the integer parser's error for digits that are not hexadecimal.
            std::string hexadecimal = "$";
            hexadecimal.append(text.substr(i + 1, 2));
            bytes += static_cast<char>(StrToInt(hexadecimal));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

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
    return -1;
}

// Characters outside the alphabet are passed over; padding ends the text.
std::string DecodeB(std::string_view text)
{
    std::string bytes;
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        if (c == '=')
            break;
        int value = Base64Value(c);
        if (value < 0)
            continue;
        bits = (bits << 6 | value) & 0xFFFFFF;
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes += static_cast<char>(bits >> count & 0xFF);
        }
    }
    return bytes;
}

bool IsOnlyWhiteSpace(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; });
}

// Decoded bytes of adjacent words in one charset, converted once they are complete.
class TWordRun {
public:
    bool Continues(std::string_view charset) const { return FOpen && CharsetsMatch(charset); }

    void Add(std::string_view charset, const std::string& bytes)
    {
        FCharset = charset;
        FBytes += bytes;
        FOpen = true;
    }

    void FlushInto(std::string& result)
    {
        if (!FOpen)
            return;
        result += CharsetToUtf8(FBytes, FCharset);
        FBytes.clear();
        FOpen = false;
    }

private:
    bool CharsetsMatch(std::string_view charset) const
    {
        return std::equal(charset.begin(), charset.end(), FCharset.begin(), FCharset.end(),
                          [](char a, char b) { return (a | 0x20) == (b | 0x20); });
    }

    std::string_view FCharset;
    std::string FBytes;
    bool FOpen = false;
};

} // namespace

std::string DecodeEncodedWords(std::string_view rawValue)
{
    const std::string value = Utf8OrWindows1250(rawValue);
    TWordScanner scanner(value);
    TWordRun run;
    std::string result;
    size_t copied = 0;
    bool afterWord = false;
    for (size_t start = scanner.NextStart(0); start != std::string::npos; start = scanner.NextStart(start + 1)) {
        std::optional<TEncodedWord> word = scanner.WordAt(start);
        if (!word) {
            if (scanner.NoWordLeft())
                break;
            continue;
        }
        std::string_view between = std::string_view(value).substr(copied, start - copied);
        bool adjacent = afterWord && IsOnlyWhiteSpace(between);
        if (!adjacent || !run.Continues(word->Charset))
            run.FlushInto(result);
        if (!adjacent)
            result += between;
        run.Add(word->Charset, word->Encoding == 'Q' ? DecodeQ(word->Text) : DecodeB(word->Text));
        afterWord = true;
        copied = word->End;
        start = word->End - 1;
    }
    run.FlushInto(result);
    result.append(value, copied);
    std::erase(result, '\0');
    return result;
}

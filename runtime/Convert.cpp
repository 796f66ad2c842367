#include "Convert.h"

#include "Exception.h"

namespace {

// Digits after the sign; hexadecimal after "$". Accumulates in 64 bits so an
// overflow of 32 bits is seen and refused.
std::optional<uint64_t> ParseMagnitude(std::string_view digits)
{
    int base = 10;
    if (!digits.empty() && digits.front() == '$') {
        base = 16;
        digits.remove_prefix(1);
    }
    if (digits.empty())
        return std::nullopt;
    uint64_t value = 0;
    for (char c : digits) {
        int digit = HexDigitValue(c);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (base == 10 && value > 0x80000000ull)
        return std::nullopt;
    return value;
}

} // namespace

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<int32_t> TryStrToInt(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    bool hexadecimal = !text.empty() && text.front() == '$';
    std::optional<uint64_t> magnitude = ParseMagnitude(text);
    if (!magnitude)
        return std::nullopt;
    if (!hexadecimal && !negative && *magnitude > 0x7FFFFFFFull)
        return std::nullopt;
    // Hexadecimal text names the 32 bits themselves: $FFFFFFFF is -1.
    uint32_t bits = static_cast<uint32_t>(*magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

int32_t StrToInt(std::string_view text)
{
    if (std::optional<int32_t> value = TryStrToInt(text))
        return *value;
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

int32_t StrToIntDef(std::string_view text, int32_t fallback)
{
    return TryStrToInt(text).value_or(fallback);
}

std::string IntToStr(long long value)
{
    return std::to_string(value);
}

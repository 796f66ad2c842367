#pragma once
// Integer text conversions of the runtime: decimal with an optional sign, or "$" followed
// by hexadecimal digits. Nothing else is an integer: no blanks, no empty text.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);
std::optional<int32_t> TryStrToInt(std::string_view text);
int32_t StrToIntDef(std::string_view text, int32_t fallback);
std::string IntToStr(long long value);
// The value of one hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);

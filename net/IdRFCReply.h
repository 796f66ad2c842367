#pragma once
// One server reply: its code and its text lines (each without the code's four characters).
// NumericCode and TextCode keep each other in step: a positive number sets the text, a
// text that is a number sets the number (any other text gives 0).

#include <cstdint>
#include <string>
#include <vector>

// Removes leading and trailing characters with codes up to 32 (bytes above 127 stay).
std::string TrimBlanks(const std::string& text);

class TIdRFCReply {
public:
    int32_t NumericCode() const { return FNumericCode; }
    void SetNumericCode(int32_t code);
    const std::string& TextCode() const { return FTextCode; }
    void SetTextCode(const std::string& code);

    // The code comes from the first line's first four characters, trimmed (a "-" after
    // three of them marks a continued reply and is dropped); every line from its fifth
    // character on goes to Text.
    void ParseLines(const std::vector<std::string>& lines);
    void ClearReply();

    std::vector<std::string> Text;

private:
    int32_t FNumericCode = 0;
    std::string FTextCode;
};

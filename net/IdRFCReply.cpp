#include "IdRFCReply.h"

#include "Convert.h"

#include <algorithm>

std::string TrimBlanks(const std::string& text)
{
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    auto last = std::find_if_not(text.rbegin(), text.rend(), isBlank).base();
    return first < last ? std::string(first, last) : std::string();
}

void TIdRFCReply::SetNumericCode(int32_t code)
{
    FNumericCode = code;
    if (code > 0)
        FTextCode = std::to_string(code);
}

void TIdRFCReply::SetTextCode(const std::string& code)
{
    FTextCode = code;
    if (!code.empty())
        FNumericCode = StrToIntDef(code, 0);
}

void TIdRFCReply::ParseLines(const std::vector<std::string>& lines)
{
    ClearReply();
    if (lines.empty())
        return;
    std::string code = TrimBlanks(lines.front().substr(0, 4));
    if (code.size() == 4 && code.back() == '-')
        code.resize(3);
    SetTextCode(code);
    for (const std::string& line : lines)
        Text.push_back(line.size() > 4 ? line.substr(4) : std::string());
}

void TIdRFCReply::ClearReply()
{
    FNumericCode = 0;
    FTextCode.clear();
    Text.clear();
}

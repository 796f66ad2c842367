#include "IdCoderUUE.h"

#include <algorithm>

namespace {

std::string UueAlphabet()
{
    std::string alphabet = "`";
    for (char c = '!'; c <= '_'; ++c)
        alphabet += c;
    return alphabet;
}

const TIdDecodeTable& UueTable()
{
    static const TIdDecodeTable table = MakeDecodeTable(UueAlphabet());
    return table;
}

} // namespace

void TIdDecoderUUEBase::DecodeToOutput(std::string_view line, std::string& output)
{
    if (line.empty())
        return;
    int count = DecodeTable[static_cast<unsigned char>(line[0])];
    if (count == 255 || count == 0)
        return;
    std::string rest(line.substr(1));
    size_t groups = (count + 2) / 3;
    rest.resize(groups * 4, ZeroChar);
    if (count % 3 == 2)
        rest.back() = PadChar;
    else if (count % 3 == 1)
        rest.replace(rest.size() - 2, 2, 2, PadChar);
    TIdDecoder4to3::DecodeToOutput(rest, output);
}

TIdDecoderUUE::TIdDecoderUUE() : TIdDecoderUUEBase(UueTable(), '`') {}

void TIdDecoderUUE::DecodeToOutput(std::string_view line, std::string& output)
{
    std::string withGraves(line);
    std::replace(withGraves.begin(), withGraves.end(), ' ', '`');
    TIdDecoderUUEBase::DecodeToOutput(withGraves, output);
}

#include "IdCoder3to4.h"

#include "IdException.h"

TIdDecodeTable MakeDecodeTable(std::string_view alphabet)
{
    TIdDecodeTable table;
    table.fill(255);
    for (size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<uint8_t>(i);
    return table;
}

void TIdDecoder4to3::DecodeToOutput(std::string_view line, std::string& output)
{
    if (line.size() % 4 != 0)
        throw EIdException("Uneven size in DecodeToStream.");
    size_t start = output.size();
    output.resize(start + line.size() / 4 * 3);
    char* out = output.data() + start;
    const unsigned char* in = reinterpret_cast<const unsigned char*>(line.data());
    for (size_t i = 0; i < line.size(); i += 4) {
        uint32_t value = uint32_t(DecodeTable[in[i]]) << 18 | uint32_t(DecodeTable[in[i + 1]]) << 12
                       | uint32_t(DecodeTable[in[i + 2]]) << 6 | uint32_t(DecodeTable[in[i + 3]]);
        *out++ = static_cast<char>(value >> 16);
        if (line[i + 2] == PadChar)
            continue;
        *out++ = static_cast<char>(value >> 8);
        if (line[i + 3] == PadChar)
            continue;
        *out++ = static_cast<char>(value);
    }
    output.resize(out - output.data());
}

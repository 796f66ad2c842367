#include "IdCoderMIME.h"

#include <bit>
#include <cstring>

namespace {

const TIdDecodeTable& Base64Table()
{
    static const TIdDecodeTable table =
        MakeDecodeTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    return table;
}

// 255, the mark of a byte outside the alphabet, is the only table value with this bit.
const uint8_t NotInAlphabet = 0x80;

// For whole groups: each character's 6 bits already at their place in the three bytes
// (first byte lowest, as a little-endian word stores them), a character outside the
// alphabet setting bits above them.
struct TGroupTables {
    uint32_t Place[4][256];
};

const uint32_t OutsideGroup = 0xFF000000u;

const TGroupTables& GroupTables()
{
    static const TGroupTables tables = [] {
        TGroupTables t;
        const TIdDecodeTable& values = Base64Table();
        for (int c = 0; c < 256; ++c) {
            const uint32_t v = values[c];
            if (v == 255) {
                for (auto& place : t.Place)
                    place[c] = OutsideGroup;
                continue;
            }
            t.Place[0][c] = v << 2;
            t.Place[1][c] = (v >> 4) | (v & 0x0F) << 12;
            t.Place[2][c] = (v >> 2) << 8 | (v & 0x03) << 22;
            t.Place[3][c] = v << 16;
        }
        return t;
    }();
    return tables;
}

} // namespace

TIdDecoderMIME::TIdDecoderMIME() : TIdDecoder4to3(Base64Table(), '=') {}

void TIdDecoderMIME::DecodeToOutput(std::string_view line, std::string& output)
{
    if (FEnded)
        return;
    const TIdDecodeTable& table = DecodeTable;
    const auto& place = GroupTables().Place;
    const auto* in = reinterpret_cast<const unsigned char*>(line.data());
    const size_t size = line.size();
    const size_t start = output.size();
    // At most three bytes for every four characters, two more from a group begun on an
    // earlier line, and room for the fourth byte a whole group stores.
    output.resize(start + size / 4 * 3 + 6);
    char* out = output.data() + start;
    size_t i = 0;
    while (i < size) {
        // Whole groups of alphabet characters, the bulk of every line, go four at a time.
        if (FGroupLength == 0) {
            if constexpr (std::endian::native == std::endian::little) {
                // Four bytes are stored for three; the fourth is overwritten next.
                for (; i + 4 <= size; i += 4, out += 3) {
                    const uint32_t bytes = place[0][in[i]] | place[1][in[i + 1]] | place[2][in[i + 2]] | place[3][in[i + 3]];
                    if (bytes & OutsideGroup)
                        break;
                    std::memcpy(out, &bytes, 4);
                }
            }
            for (; i + 4 <= size; i += 4, out += 3) {
                const uint32_t a = table[in[i]], b = table[in[i + 1]], c = table[in[i + 2]], d = table[in[i + 3]];
                if ((a | b | c | d) & NotInAlphabet)
                    break;
                const uint32_t value = a << 18 | b << 12 | c << 6 | d;
                out[0] = static_cast<char>(value >> 16);
                out[1] = static_cast<char>(value >> 8);
                out[2] = static_cast<char>(value);
            }
            if (i >= size)
                break;
        }
        const unsigned char c = in[i++];
        const uint8_t value = table[c];
        if (value & NotInAlphabet) {
            if (c == static_cast<unsigned char>(PadChar)) {
                FEnded = true;
                break;
            }
            continue;
        }
        FGroup = FGroup << 6 | value;
        ++FGroupLength;
        // Two characters complete the first byte, three the second, four the third.
        if (FGroupLength == 2)
            *out++ = static_cast<char>(FGroup >> 4);
        else if (FGroupLength == 3)
            *out++ = static_cast<char>(FGroup >> 2);
        else if (FGroupLength == 4) {
            *out++ = static_cast<char>(FGroup);
            FGroup = 0;
            FGroupLength = 0;
        }
    }
    output.resize(out - output.data());
}

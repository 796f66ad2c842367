#pragma once
// Transfer decoders are handed the lines of one part in order and append the decoded
// bytes of a line to the output at once. A decoder may carry state from one line to the
// next (base64 groups span lines), so each part gets a decoder of its own.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

class TIdDecoder {
public:
    virtual ~TIdDecoder() = default;
    virtual void DecodeToOutput(std::string_view line, std::string& output) = 0;
};

// 6-bit value of each byte; 255 for bytes outside the alphabet (NUL and 8-bit included).
using TIdDecodeTable = std::array<uint8_t, 256>;
TIdDecodeTable MakeDecodeTable(std::string_view alphabet);

// Groups of four characters to three bytes. A pad character in the third place leaves
// one byte, in the fourth two; decoding goes on after a padded group.
class TIdDecoder4to3 : public TIdDecoder {
public:
    TIdDecoder4to3(const TIdDecodeTable& decodeTable, char padChar) : DecodeTable(decodeTable), PadChar(padChar) {}

    // Raises EIdException "Uneven size in DecodeToStream." unless the length is a
    // multiple of four (a trailing space counts). The uuencode line format always
    // hands over whole groups.
    void DecodeToOutput(std::string_view line, std::string& output) override;

    const TIdDecodeTable& DecodeTable;
    const char PadChar;
};

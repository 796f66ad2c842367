#pragma once
// Uuencoded lines: the first character gives the number of bytes, the rest are groups
// of four characters. The xxencode decoder shares the line logic with its own alphabet.

#include "IdCoder3to4.h"

class TIdDecoderUUEBase : public TIdDecoder4to3 {
public:
    // zeroChar: the character of value 0, which fills up short lines.
    TIdDecoderUUEBase(const TIdDecodeTable& decodeTable, char zeroChar)
        : TIdDecoder4to3(decodeTable, '~'), ZeroChar(zeroChar) {}

    // Gives exactly as many bytes as the length character announces; a line shorter
    // than that is read as if filled up with zero bits. A length character outside
    // the alphabet gives nothing.
    void DecodeToOutput(std::string_view line, std::string& output) override;

    const char ZeroChar;
};

class TIdDecoderUUE : public TIdDecoderUUEBase {
public:
    TIdDecoderUUE();
    // Spaces are read as grave accents first (both mean 0).
    void DecodeToOutput(std::string_view line, std::string& output) override;
};

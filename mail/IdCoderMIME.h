#pragma once
// Base64 of the standard alphabet, "=" for padding.

#include "IdCoder3to4.h"

// The lines of one part are one stream: a group of four characters may span lines,
// characters outside the alphabet (blanks, a list footer's punctuation) are skipped,
// and the first pad character ends the data, so nothing after it is decoded. Bytes
// are given as soon as their bits are there: a group cut short gives the whole bytes
// it holds. Never raises.
class TIdDecoderMIME : public TIdDecoder4to3 {
public:
    TIdDecoderMIME();
    void DecodeToOutput(std::string_view line, std::string& output) override;

private:
    // The bits of the group begun so far and how many characters they came from.
    uint32_t FGroup = 0;
    int FGroupLength = 0;
    bool FEnded = false;
};

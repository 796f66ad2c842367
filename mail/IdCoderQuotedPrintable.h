#pragma once
// Quoted-printable lines. The caller hands over each line with its CR LF, so that a
// soft line break ("=" at the end) can join it with the next.

#include "IdCoder3to4.h"

class TIdDecoderQuotedPrintable : public TIdDecoder {
public:
    // Trailing white space before the line end is dropped; "=" with one or two
    // hexadecimal digits gives that byte; "=" before anything else vanishes.
    void DecodeToOutput(std::string_view line, std::string& output) override;
};

#pragma once
// Uuencoded (and xxencoded) files in a plain body: "begin 644 name" up to "end".

#include "IdCoderUUE.h"
#include "IdCoderXXE.h"
#include "IdMessageCoder.h"

#include <optional>

class TIdMessageDecoderUUE : public TIdMessageDecoder {
public:
    TIdMessageDecoderUUE(TIdMessage& message, std::string fileName);

    // A uuencoded block has no header.
    void ReadPartHeader() override {}
    // The first data line chooses the alphabet (LooksUuencoded); reads up to the "end"
    // line, or up to the message's terminating "." when the block is cut short. A block
    // without data lines gives an empty file. Never hands on to another decoder.
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TIdPartOutput& output, bool& messageEnded) override;
};

// Whether a data line reads as uuencode rather than xxencode: the alphabet whose length
// character announces as many groups as the line holds, else the one that has all its
// characters, else uuencode.
bool LooksUuencoded(std::string_view line);

// The file name of a line that begins a uuencoded block: "begin", a space, a mode of
// three digits above 0, a space, the file name. Nothing for any other line.
std::optional<std::string> UuencodedBlockName(std::string_view line);

// The lines of one uuencoded (or xxencoded) block as a transfer decoder, for a MIME part
// that names uuencode as its transfer encoding: the "begin" line, blank lines and "~"
// give nothing, nor does anything from the "end" line on; the first data line chooses
// the alphabet.
class TIdDecoderUuencodedBlock : public TIdDecoder {
public:
    void DecodeToOutput(std::string_view line, std::string& output) override;
    bool Ended() const { return FEnded; }

private:
    TIdDecoderUUE FUue;
    TIdDecoderXXE FXxe;
    TIdDecoder* FDecoder = nullptr;
    bool FBegun = false;
    bool FEnded = false;
};

class TIdMessageDecoderInfoUUE : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> TryStart(TIdMessage& message, const std::string& line) const override;
};

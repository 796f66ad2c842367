#pragma once
// Uuencoded (and xxencoded) files in a plain body: "begin 644 name" up to "end".

#include "IdMessageCoder.h"

class TIdMessageDecoderUUE : public TIdMessageDecoder {
public:
    TIdMessageDecoderUUE(TIdMessage& message, std::string fileName);

    // A uuencoded block has no header.
    void ReadPartHeader() override {}
    // The first line chooses the alphabet: "M" uuencode, "h" xxencode; anything else
    // raises EIdException "Unrecognized UUE encoding scheme.". Reads up to the "end"
    // line, or up to the message's terminating "." when the block is cut short.
    // Never hands on to another decoder.
    std::unique_ptr<TIdMessageDecoder> ReadPartBody(TIdPartOutput& output, bool& messageEnded) override;
};

// "begin", a space, a mode of three digits above 0, a space, the file name.
class TIdMessageDecoderInfoUUE : public TIdMessageDecoderInfo {
public:
    std::unique_ptr<TIdMessageDecoder> TryStart(TIdMessage& message, const std::string& line) const override;
};

#include "IdCoderMIME.h"

namespace {

const TIdDecodeTable& Base64Table()
{
    static const TIdDecodeTable table =
        MakeDecodeTable("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
    return table;
}

} // namespace

TIdDecoderMIME::TIdDecoderMIME() : TIdDecoder4to3(Base64Table(), '=') {}

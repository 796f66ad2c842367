// Body lines of a part in this transfer encoding, each decoded as the part reader does.
#include "FuzzSupport.h"
#include "IdCoderMIME.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TIdDecoderMIME decoder;
    DecodeEachLine(decoder, InputText(data, size));
    return 0;
}

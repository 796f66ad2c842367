// Body lines of a part in this transfer encoding, each decoded as the part reader does.
#include "FuzzSupport.h"
#include "IdCoderXXE.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TIdDecoderXXE decoder;
    DecodeEachLine(decoder, InputText(data, size));
    return 0;
}

// Body lines of a part in this transfer encoding, each decoded as the part reader does.
#include "FuzzSupport.h"
#include "IdCoderQuotedPrintable.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TIdDecoderQuotedPrintable decoder;
    DecodeEachLine(decoder, InputText(data, size), true);
    return 0;
}

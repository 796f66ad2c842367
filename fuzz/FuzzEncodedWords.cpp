// Header values with encoded words.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdCoderHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view value = InputText(data, size);
    try {
        DecodeEncodedWords(value);
    } catch (const Exception&) {
    }
    return 0;
}

// The value of a Date field.
#include <cmath>

#include "Exception.h"
#include "FuzzSupport.h"
#include "IdGlobal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view value = InputText(data, size);
    try {
        if (!std::isfinite(ParseDateField(value)))
            FuzzFailure("a date that is no number");
    } catch (const Exception&) {
    }
    std::string text(value);
    try {
        ParseDateTimeText(text);
    } catch (const Exception&) {
    }
    ParseZoneOffset(text);
    return 0;
}

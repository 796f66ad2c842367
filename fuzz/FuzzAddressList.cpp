// The value of a To, Cc or Reply-To field, and of a From field as one address.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdEMailAddress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string_view value = InputText(data, size);
    TIdEMailAddressList list;
    try {
        list.ParseList(value);
    } catch (const Exception&) {
    }
    for (int i = 0; i < list.Count(); ++i)
        list[i].FormattedAddress();
    list.JoinedText();

    TIdEMailAddressItem item;
    try {
        item.SetText(value);
    } catch (const Exception&) {
    }
    item.Text();
    return 0;
}

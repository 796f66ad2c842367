// A header block as a server sends it after TOP n 0, up to the "." line or the close.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdMessage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzMailClient mail(InputText(data, size));
    TIdMessage message;
    try {
        mail.Client.ReceiveHeaderBlock(message, "");
    } catch (const Exception&) {
    }
    WalkMessage(message);
    return 0;
}

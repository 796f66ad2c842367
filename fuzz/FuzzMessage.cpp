// A whole message as a server sends it after RETR n: header block, then the body with
// its parts and attachments, up to the "." line or the close.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdMessage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UsePrivateTempDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        FuzzMailClient mail(InputText(data, size));
        TIdMessage message;
        try {
            if (mail.Client.ReceiveHeaderBlock(message, "").empty())
                mail.Client.ReceiveMessageBody(message, ".");
        } catch (const Exception&) {
        }
        WalkMessage(message);
    }
    ExpectNoTempFiles();
    return 0;
}

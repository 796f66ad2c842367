// A whole check and download against a server that says whatever the input says: the
// greeting, the log-in (USER/PASS, or APOP for inputs of odd length), STAT, TOP, LIST,
// RETR, DELE and QUIT. The client never waits for replies it cannot get: the end of
// the input is the server's close.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdMessage.h"
#include "IdPOP3.h"

namespace {

template <typename Call>
void Attempt(Call call)
{
    try {
        call();
    } catch (const Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    UsePrivateTempDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        std::string_view serverBytes = InputText(data, size);
        TIdIOHandlerMemory handler;
        handler.ChunkSize = 1 + static_cast<int32_t>(size % 509);
        handler.Feed(std::string(serverBytes));
        handler.Connected = false;   // the client connects it
        TIdPOP3 client;
        client.SetIOHandler(&handler);
        client.Username = "joe";
        client.Password = "secret";
        client.APOP = size % 2 == 1;
        try {
            client.OpenConnection();
        } catch (const Exception&) {
            return 0;
        }
        Attempt([&] { client.CountMessages(); });
        TIdMessage header;
        Attempt([&] { client.FetchHeader(1, header); });
        WalkMessage(header);
        Attempt([&] { client.FetchSize(1); });
        TIdMessage message;
        Attempt([&] { client.FetchMessage(1, message); });
        WalkMessage(message);
        Attempt([&] { client.DeleteMessage(1); });
        Attempt([&] { client.CloseConnection(); });
    }
    ExpectNoTempFiles();
    return 0;
}

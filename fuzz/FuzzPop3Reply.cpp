// Replies of a POP3 server one after another, read as the client reads every reply;
// and the same lines handed to the reply parser directly.
#include "Exception.h"
#include "FuzzSupport.h"
#include "IdPOP3.h"

#include <vector>

namespace {

void ReadEveryReply(std::string_view serverBytes)
{
    TIdIOHandlerMemory handler;
    handler.ChunkSize = 1 + static_cast<int32_t>(serverBytes.size() % 509);
    handler.Feed(std::string(serverBytes));
    TIdPOP3 client;
    client.SetIOHandler(&handler);
    try {
        for (;;) {
            int16_t code = client.ReadReply({TIdPOP3::ReplyOk, TIdPOP3::ReplyErr});
            if (code != TIdPOP3::ReplyOk && code != TIdPOP3::ReplyErr)
                FuzzFailure("a reply accepted with a code outside the accepted ones");
        }
    } catch (const Exception&) {
    }
}

void ParseAsOneReply(std::string_view text)
{
    std::vector<std::string> lines;
    while (!text.empty()) {
        size_t lf = text.find('\n');
        lines.emplace_back(text.substr(0, lf));
        text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
    }
    TIdRFCReply reply;
    reply.ParseLines(lines);
    if (reply.Text.size() != lines.size())
        FuzzFailure("a reply line lost");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    ReadEveryReply(InputText(data, size));
    ParseAsOneReply(InputText(data, size));
    return 0;
}

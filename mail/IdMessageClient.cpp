#include "IdMessageClient.h"

#include "IdMessage.h"
#include "IdMessageCoder.h"

namespace {

// Lines straight from the connection's line reader.
class TIdStreamLineSource : public TIdLineSource {
public:
    explicit TIdStreamLineSource(TIdTCPStream& stream) : FStream(stream) {}
    std::string ReadLn() override { return FStream.SourceConnection->ReadLine(); }

private:
    TIdTCPStream& FStream;
};

// Opens a read span for the work events and closes it however the read ends.
class TReadSpan {
public:
    explicit TReadSpan(TIdComponent& component) : FComponent(component) { FComponent.StartWork(wmRead); }
    ~TReadSpan() { FComponent.FinishWork(wmRead); }

private:
    TIdComponent& FComponent;
};

} // namespace

std::string TIdMessageClient::ReceiveHeaderBlock(TIdMessage& message, const std::string& alternativeEnd)
{
    TReadSpan span(*this);
    TIdTCPStream stream(this);
    TIdStreamLineSource source(stream);
    return ReadHeaderBlock(source, message, alternativeEnd);
}

void TIdMessageClient::ReceiveMessageBody(TIdMessage& message, const std::string& delimiter)
{
    TReadSpan span(*this);
    if (message.NoDecode) {
        CaptureLines(message.Body, delimiter);
        return;
    }
    TIdTCPStream stream(this);
    TIdStreamLineSource source(stream);
    ReadMessageBody(source, message, delimiter);
}

#include "IdMessageClient.h"

#include "IdMessage.h"
#include "IdMessageCoder.h"

namespace {

// Lines straight from the connection's line reader.
class TIdStreamLineSource : public TIdLineSource {
public:
    explicit TIdStreamLineSource(TIdTCPStream& stream) : FStream(stream) {}
    std::string ReadLn() override { return FStream.SourceConnection->ReadLine(); }
    TIdLimitedLine ReadLimitedLine(size_t maxLength, size_t budget) override;
    TIdBodyLine ReadBodyLine() override;

private:
    TIdTCPStream& FStream;
    // The last piece handed on was cut at the line limit: the next one continues it.
    bool FInsideLine = false;
};

// The connection hands out a line beyond the limit in pieces while this lives.
class TSplitLongLines {
public:
    explicit TSplitLongLines(TIdTCPConnection& connection)
        : FConnection(connection), FOldAction(connection.MaxLineAction)
    {
        FConnection.MaxLineAction = maSplit;
    }
    ~TSplitLongLines() { FConnection.MaxLineAction = FOldAction; }

private:
    TIdTCPConnection& FConnection;
    TIdMaxLineAction FOldAction;
};

TIdLimitedLine TIdStreamLineSource::ReadLimitedLine(size_t maxLength, size_t budget)
{
    TIdTCPConnection& connection = *FStream.SourceConnection;
    TSplitLongLines split(connection);
    // One byte more for the carriage return, which the reader counts as part of the line.
    const auto pieceLimit = static_cast<int32_t>(maxLength + 1);
    TIdLimitedLine line;
    line.Text = connection.ReadLine("", -1, pieceLimit);
    line.Length = line.Text.size();
    if (!connection.LineSplit && line.Length <= maxLength)
        return line;
    line.TooLong = true;
    line.Text.clear();
    while (connection.LineSplit && line.Length <= budget)
        line.Length += connection.ReadLine("", -1, pieceLimit).size();
    return line;
}

TIdBodyLine TIdStreamLineSource::ReadBodyLine()
{
    TIdTCPConnection& connection = *FStream.SourceConnection;
    TSplitLongLines split(connection);
    while (true) {
        TIdBodyLine line{connection.ReadLine(), FInsideLine};
        FInsideLine = connection.LineSplit;
        // A cut just before the carriage return leaves only the line end: nothing to hand on.
        if (line.Continued && !FInsideLine && line.Text.empty())
            continue;
        return line;
    }
}

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
        CaptureLines(message.Body(), delimiter);
        return;
    }
    TIdTCPStream stream(this);
    TIdStreamLineSource source(stream);
    ReadMessageBody(source, message, delimiter, MessageTextBudget);
}

void TIdMessageClient::ReceiveBodyLines(std::vector<std::string>& lines, size_t keep)
{
    TReadSpan span(*this);
    TIdTCPStream stream(this);
    TIdStreamLineSource source(stream);
    while (true) {
        TIdBodyLine line = source.ReadBodyLine();
        if (line.Continued)
            continue;
        if (line.Text == ".")
            return;
        if (lines.size() < keep) {
            if (line.Text.size() > PreviewLineLimit)
                line.Text.resize(PreviewLineLimit);
            lines.push_back(std::move(line.Text));
        }
    }
}

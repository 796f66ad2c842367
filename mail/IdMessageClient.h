#pragma once
// The client that reads messages from its connection: a header block after TOP n 0 or
// RETR n, and the body after RETR n. The POP3 client derives from it.

#include <string>
#include <vector>

#include "IdMessageCoder.h"
#include "IdTCPClient.h"

class TIdMessage;

// The longest body line a preview keeps.
constexpr size_t PreviewLineLimit = 4096;

class TIdMessageClient : public TIdTCPClient {
public:
    // Reads header lines into the message's RawHeaders and applies them. With an empty
    // alternativeEnd the block ends at an empty line or "."; otherwise only at a line
    // equal to alternativeEnd, and empty lines are skipped. Returns the line that ended
    // the block: empty when a body follows.
    virtual std::string ReceiveHeaderBlock(TIdMessage& message, const std::string& alternativeEnd);
    // Reads the body up to the delimiter line into the message's Body and Parts.
    virtual void ReceiveMessageBody(TIdMessage& message, const std::string& delimiter = ".");
    // Reads body lines up to the "." line and keeps the first `keep` of them as they came
    // (leading dots doubled), each cut at PreviewLineLimit bytes; the rest is read and
    // dropped, so a server that sends more than it was asked for costs no memory.
    void ReceiveBodyLines(std::vector<std::string>& lines, size_t keep);

    // The decoded text a message body may hold in memory (see MessageTextLimit).
    size_t MessageTextBudget = MessageTextLimit;

    // Settings for sending mail, which this program never does.
    int MsgLineLength = 79;
    std::string MsgLineFold = "\t";
};

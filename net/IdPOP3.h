#pragma once
// The POP3 client (RFC 1939): log-in (AUTH with SASL, APOP or USER/PASS), message count, header
// block (TOP n 0, or TOP n k with the first k body lines), size (LIST n), unique IDs
// (UIDL, UIDL n), whole message (TOP n with all its lines, which no server counts as
// reading it, or RETR n), deletion (DELE n), the capabilities (CAPA) and QUIT.
// Nothing else is spoken: no NOOP, RSET or LIST without a number.
//
// After the log-in the caller may ask CAPA (RFC 2449). When the server lists PIPELINING,
// the commands of a plan (the TOP n 0 and LIST n of a check, the DELE of a deletion) go out
// ahead of their replies, a window at a time, and the operations read the replies in the
// planned order. A failure inside a pipelined reply drops the connection, since where the
// next reply begins is not known any more; a refusal ("-ERR") is a whole reply and leaves
// the rest of the pipeline in step.
//
// The log-in takes the safest way the server offers: on an encrypted connection CAPA is
// asked first and AUTH (RFC 5034) used with SASLMechanism or the first of SASLMechanisms
// the server lists (an OAuth2 token: nothing else is tried then), or PLAIN with Username
// and Password, when the server lists it; on a plain connection APOP when the greeting carries
// a timestamp, so the password itself does not travel; else USER and PASS.
//
// Replies are "+OK" (ReplyOk) or "-ERR" (ReplyErr); a refusal where "+OK" is needed raises
// EIdProtocolReplyError carrying the server's text, anything else raises EIdException
// "Unrecognized POP3 Response Header:". Connection failures come unchanged from below.

#include "IdCommandPipeline.h"
#include "IdMessageClient.h"
#include "IdSASL.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class TIdMessage;

class TIdPOP3 : public TIdMessageClient {
public:
    static constexpr int16_t ReplyOk = 1;
    static constexpr int16_t ReplyErr = 2;

    TIdPOP3();

    // Log in with APOP whatever else the server offers; needs a timestamp in the greeting.
    bool APOP = false;
    // The mechanism an account needs (a token one); none means PLAIN with the password,
    // and USER/PASS where the server lists no SASL.
    std::shared_ptr<TIdSASLMechanism> SASLMechanism;
    // Mechanisms an account needs, in order of preference: the first one CAPA lists is
    // used (after SASLMechanism when both are set). When CAPA lists none of them, the
    // log-in fails without sending a secret.
    std::vector<std::shared_ptr<TIdSASLMechanism>> SASLMechanisms;
    // Set when the server answered AUTH with "-ERR" (a refused password or token); the
    // refusal's EIdProtocolReplyError carries the mechanism's RefusalDetail as well.
    bool AuthRefused = false;
    // The longest wait for a connect, in milliseconds (the session passes it to
    // OpenConnection).
    int32_t ConnectTimeout = 30000;
    // Whether the last CloseConnection got "+OK" to its QUIT: only then has the server
    // surely carried out the deletions of that connection.
    bool QuitConfirmed = false;
    // How long the greeting may take at most (also below a longer read time-out), in
    // milliseconds: a server that waits for TLS on a port the client speaks plain text to
    // says nothing.
    int32_t GreetingTimeout = 10000;
    // How the last log-in went: "AUTH PLAIN", "APOP" or "USER".
    std::string LoginMethodUsed;
    // Set once a password has gone to a server without encryption (it stays set).
    bool PasswordSentUnencrypted = false;

    // Connects (with TLS from the first byte for csImplicitTls), reads the greeting,
    // switches to TLS with STLS for csStartTls, and logs in. Any failure sends QUIT when
    // the connection is still up, closes it and raises the failure itself; a refused
    // STLS or a failed TLS start sends nothing more.
    void OpenConnection(int32_t timeout = -1) override;
    // Reads the replies of commands already pipelined, then sends QUIT when connected and
    // reads its reply, then closes in every case. A "-ERR" raises EIdProtocolReplyError
    // with the server's text once the socket is closed.
    void CloseConnection() override;
    int16_t ReadReply(const TIdReplyCodes& acceptedCodes) override;

    // STAT: the number of messages; EConvertError when the reply has no leading number,
    // EIdException above MaxMessageCount (a check keeps a record for every message).
    int32_t CountMessages();
    static constexpr int32_t MaxMessageCount = 1000000;
    // TOP n 0: the header block of message n, read up to the terminating "." line.
    // With bodyLines above 0, TOP n bodyLines: the body lines that follow go to body as
    // ReceiveBodyLines keeps them.
    bool FetchHeader(int32_t number, TIdMessage& message, int32_t bodyLines = 0,
                     std::vector<std::string>* body = nullptr);
    // LIST n: the size the server reports, -1 when the reply does not end in a number.
    int32_t FetchSize(int32_t number);
    // RETR n: the whole message; false, with the message untouched, when the server refused.
    bool FetchMessage(int32_t number, TIdMessage& message);
    // TOP n lines, read as RETR n is: the whole message when lines is at least its body's
    // line count. False when the server refused. received: the bytes of the message as
    // they came, the terminating "." line included, for comparing with LIST.
    bool FetchMessageLines(int32_t number, int32_t lines, TIdMessage& message, int64_t& received);
    // DELE n: the server removes the message when the connection ends with QUIT.
    bool DeleteMessage(int32_t number);

    // One line of a UIDL listing.
    struct TUniqueId {
        int32_t Number;
        std::string Id;
    };
    // UIDL: the unique IDs of messages 1 to count, in number order. Lines that break RFC
    // 1939 are left out: an ID over 70 characters or with a character outside 0x21-0x7E,
    // a number outside 1 to count, a number listed again. Nothing when the server refuses
    // UIDL. A listing far longer than count lines raises EIdReplyTooLong.
    std::optional<std::vector<TUniqueId>> FetchUniqueIds(int32_t count);
    // UIDL n: the unique ID of message n; empty when the server refused (no such message)
    // or answered for another number or with an ID that breaks the rules above.
    std::string FetchUniqueId(int32_t number);

    // CAPA, once per connection: whether the server takes commands ahead of their replies
    // (PIPELINING). A refused CAPA means it does not.
    bool AskCapabilities();
    bool Pipelining() const { return FPipelining; }

    // Plans: when the server pipelines, the commands of the calls that follow are sent
    // ahead of their replies, and the calls read their replies in the planned order. A
    // call outside the plan ends it: the replies to what was sent are read and dropped
    // first. Without pipelining nothing changes: every call sends its command and waits.
    // FetchHeader (with bodyLines) and FetchSize of the messages first to last, in turn:
    void PlanHeaders(int32_t first, int32_t last, int32_t bodyLines = 0);
    // The same for the numbers given, in their order:
    void PlanHeaders(std::vector<int32_t> numbers);
    // FetchUniqueIds(count), then FetchHeader and FetchSize of messages 1 to count:
    void PlanUniqueIdsAndHeaders(int32_t count, int32_t bodyLines = 0);
    // For each number in turn: FetchUniqueId when its flag is set, else FetchHeader and FetchSize.
    void PlanIdentityChecks(std::vector<std::pair<int32_t, bool>> numbersByUniqueId);
    // DeleteMessage of the numbers given, in their order:
    void PlanDeletions(std::vector<int32_t> numbers);
    // No more planned commands are sent; the replies of those already sent are still read
    // in order by the calls that made them, or by CloseConnection.
    void StopPlan();
    // Commands sent whose replies have not been read yet.
    int32_t OutstandingCommands() const { return FPipeline.Outstanding(); }
    // The most pipelined commands outstanding at one time.
    int32_t PipelineWindow = 128;

    void AddWork(TWorkMode mode, int32_t count) override;

private:
    int16_t Transact(const std::string& command, int16_t acceptedCode, const std::function<void()>& readRest = {});
    void ReadOutstandingReplies();
    void EndPlan();
    void StartPlan(TIdCommandPipeline::TCommandSource source);
    [[noreturn]] void AbandonConnection(std::exception_ptr failure);
    void ReadGreeting();
    void StartTlsWithStls();
    void LogIn();
    void LogInWithUserPass();
    void LogInWithApop();
    void Authenticate(TIdSASLMechanism& mechanism);
    void ReadCapabilityLines();
    void ReadQuitReply();
    std::string FirstReplyText() const;

    TIdCommandPipeline FPipeline{*this};
    bool FCapabilitiesAsked = false;
    bool FPipelining = false;
    // Counts what FetchMessageLines receives.
    bool FCountingReceived = false;
    int64_t FReceived = 0;
    std::vector<std::string> FSaslMechanisms;
    std::string FGreeting;
};

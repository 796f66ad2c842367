#pragma once
// The POP3 client (RFC 1939): log-in with USER/PASS (or APOP), message count, header
// block (TOP n 0), size (LIST n), whole message (RETR n), deletion (DELE n) and QUIT.
// Nothing else is spoken: no UIDL, NOOP, RSET, TOP with body lines or LIST without a number.
//
// Replies are "+OK" (ReplyOk) or "-ERR" (ReplyErr); a refusal where "+OK" is needed raises
// EIdProtocolReplyError carrying the server's text, anything else raises EIdException
// "Unrecognized POP3 Response Header:". Connection failures come unchanged from below.

#include "IdMessageClient.h"

#include <cstdint>
#include <string>

class TIdMessage;

class TIdPOP3 : public TIdMessageClient {
public:
    static constexpr int16_t ReplyOk = 1;
    static constexpr int16_t ReplyErr = 2;

    TIdPOP3();

    // Log in with APOP instead of USER/PASS; needs a timestamp in the greeting.
    bool APOP = false;
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
    // Set once a password has gone to a server without encryption (it stays set).
    bool PasswordSentUnencrypted = false;

    // Connects (with TLS from the first byte for csImplicitTls), reads the greeting,
    // switches to TLS with STLS for csStartTls, and logs in. Any failure sends QUIT when
    // the connection is still up, closes it and raises the failure itself; a refused
    // STLS or a failed TLS start sends nothing more.
    void OpenConnection(int32_t timeout = -1) override;
    // Sends QUIT when connected and reads the reply, then closes in every case. A "-ERR"
    // raises EIdProtocolReplyError with the server's text once the socket is closed.
    void CloseConnection() override;
    int16_t ReadReply(const TIdReplyCodes& acceptedCodes) override;

    // STAT: the number of messages; EConvertError when the reply has no leading number.
    int32_t CountMessages();
    // TOP n 0: the header block of message n, read up to the terminating "." line.
    bool FetchHeader(int32_t number, TIdMessage& message);
    // LIST n: the size the server reports, -1 when the reply does not end in a number.
    int32_t FetchSize(int32_t number);
    // RETR n: the whole message; false, with the message untouched, when the server refused.
    bool FetchMessage(int32_t number, TIdMessage& message);
    // DELE n: the server removes the message when the connection ends with QUIT.
    bool DeleteMessage(int32_t number);

private:
    void ReadGreeting();
    void StartTlsWithStls();
    void LogIn();
    void LogInWithApop();
    void ReadQuitReply();
    std::string FirstReplyText() const;
};

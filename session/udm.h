#pragma once
// The mailbox session: the account record, the session of a check, the records of the
// messages it found, and the operations on them. No widgets here; progress goes to the
// work listener of Progress.h, questions and dialogs to the seam of UserInterface.h.
// All texts are UTF-8.

#include "Exception.h"
#include "IdMessage.h"
#include "IdPOP3.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One POP3 account.
struct TPOP3Rec {
    std::string Address;
    std::string Host;
    std::string User;
    std::string Password;
    int32_t Port = 110;
};

// Full path of a file in the executable's directory (accounts.dat, Kormoran.hlp).
std::string AppFilePath(const std::string& fileName);

// Points AppFilePath at another directory; an empty text restores the executable's.
// The tests keep their accounts.dat in temporary directories this way.
void SetAppFileDirectory(const std::string& directory);

// The session of one check: a POP3 client set up from one account, its progress going to
// the installed work listener (Progress.h).
class TPOP3 : public TIdPOP3 {
public:
    // The owner is ignored: a session belongs to the records of its check.
    explicit TPOP3(TIdComponent* owner = nullptr);

    void POP3Notify(TIdComponent* sender, TWorkMode workMode, int32_t workCount);

    // Opens the connection when it is closed, logging in again.
    void Reconnect();
    // Grows with every connection Reconnect opens; a record confirmed on one connection
    // need not be confirmed again on it.
    int32_t ConnectionSerial = 0;
};

// A new session for account, not connected.
std::shared_ptr<TPOP3> CreateSession(const TPOP3Rec& account);

// Another server operation is still running (the window lets events run meanwhile).
class ESessionBusy : public Exception {
public:
    ESessionBusy();
};

// The message a record stands for is no longer under its number on the server.
class EMailboxChanged : public Exception {
public:
    EMailboxChanged();
};

// One message of the last check. Made by CheckMailbox, which fetches its header block
// (TOP n 0) and size (LIST n) on the check's connection.
class TMessageHeader {
public:
    TMessageHeader(std::shared_ptr<TPOP3> session, int32_t number);

    std::shared_ptr<TPOP3> Session;
    // The header block after the check; the whole message after Download. Its Tag holds
    // the size from LIST, -1 when the reply gave no number.
    std::unique_ptr<TIdMessage> Msg;
    int32_t Number;
    bool Downloaded = false;
    bool Deleted = false;

    // The six columns of the header list.
    std::string DateText() const;
    std::string SizeText() const;
    std::string FromText() const;
    std::string ToText() const;
    std::string SubjectText() const;
    std::string IdText() const;

    // RETR on the session, opened again when closed; the connection stays open.
    // A refused RETR raises the server's text and leaves the record as it was.
    void Download();
    // DELE on the session, opened again when closed; the server carries the deletion out
    // when the connection ends with QUIT. Returns and keeps in Deleted whether it was accepted.
    bool DeleteOnServer();

    // The text the message view shows: the header lines before a download, afterwards
    // the sections attachments, body and header.
    std::string GetText() const;
    // Saves the attachment an attachment link of GetText points at, through the save dialog.
    void SaveAttachment(const std::string& link);

private:
    // Before the first RETR or DELE on a connection opened after the check: the message
    // under Number must still be this one, or nothing destructive is sent.
    void ConfirmIdentity();

    std::vector<std::string> FCheckedHeaders;
    int32_t FConfirmedOn = -1;
};

// The records of the last check, in message order. They are shared so that a row of the
// header list can keep a std::weak_ptr to its own record: a row whose record a later
// check released finds nothing instead of another message.
const std::vector<std::shared_ptr<TMessageHeader>>& HeaderRecords();

// Closes the previous check's connection (QUIT: the server carries out its deletions),
// then fills HeaderRecords from session on a new connection, which it closes on every path.
int32_t CheckMailbox(const std::shared_ptr<TPOP3>& session);

// The first record whose Message-Id is exactly id, or nothing.
std::shared_ptr<TMessageHeader> FindHeader(const std::string& id);

// Ends every connection a download or deletion left open with QUIT, so the server
// carries out the deletions. Also runs by itself when the program ends.
void CloseOpenSessions();

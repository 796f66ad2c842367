#pragma once
// The mailbox session: the account record, the session of a check, the records of the
// messages it found, and the operations on them. No widgets here; progress goes to the
// work listener of Progress.h, questions and dialogs to the seam of UserInterface.h.
// All texts are UTF-8.

#include "Exception.h"
#include "IdMessage.h"
#include "IdPOP3.h"
#include "Verdict.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// How an account logs in: with its password (AUTH PLAIN, APOP or USER/PASS, whichever the
// server offers), or with an OAuth2 access token (XOAUTH2 or OAUTHBEARER; OAuth2.h).
enum TLoginMethod { lmPassword, lmOAuth2 };

// One POP3 account. Host is the bare host name or address; the account file carries
// Security and Login in the Host line (AccountFile.h). An OAuth2 account keeps no
// password: its refresh token lives in the keyring (OAuth2SignIn.h).
struct TPOP3Rec {
    std::string Address;
    std::string Host;
    std::string User;
    std::string Password;
    int32_t Port = 110;
    TIdConnectionSecurity Security = csNone;
    TLoginMethod Login = lmPassword;
};

// What a new account starts with: its password never travels in plain text.
TPOP3Rec NewAccountRecord();

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

    // Opens the connection when it is closed, logging in again. An open connection on
    // which the server has hung up or spoken unasked (an idle time-out's "-ERR") is
    // dropped and replaced, without bothering the user.
    void Reconnect();
    // Grows with every server operation on the session; a connection left open is
    // ended once it has gone unused for IdleCloseMs.
    int32_t UseSerial = 0;
    // The account's address: with Host and Username it names the keyring item that holds
    // the password when Password is empty.
    std::string AccountAddress;
    // Why the keyring gave no password when it did not answer in time (a refused log-in
    // repeats it); empty otherwise.
    std::string KeyringNote;
    // What the provider's users are told (an application password, POP3 to be switched
    // on); a refused log-in repeats it.
    std::string LoginHint;
    // Grows with every connection Reconnect opens; a record confirmed on one connection
    // need not be confirmed again on it.
    int32_t ConnectionSerial = 0;

    // An empty password is looked up in the keyring once, before the first connection;
    // for an OAuth2 account the refresh token is (OAuth2SignIn.h).
    // The keyring answers through an event loop of the calling thread: the window calls
    // this on its own thread before the session goes to the server worker.
    void TakePasswordFromKeyring();

    // lmOAuth2: Reconnect logs in with an access token instead of the password: the one
    // kept in memory for the account while it is valid, else a fresh one from the
    // provider's token endpoint (one HTTPS request), and once more a fresh one when the
    // server refuses a kept one.
    TLoginMethod Login = lmPassword;
    // An access token from outside (kormoran-cli --token-command): used as it is, never
    // refreshed, and a refusal is final.
    std::string GivenAccessToken;
    // Set by TakePasswordFromKeyring for an OAuth2 account: the refresh token, empty when
    // the account has not been signed in (Reconnect then raises EOAuth2SignInNeeded).
    std::string RefreshToken;

private:
    void LogInWithToken();
    bool FKeyringAsked = false;
};

// A new session for account, not connected, with the time-outs set below.
std::shared_ptr<TPOP3> CreateSession(const TPOP3Rec& account);

// The longest waits of new sessions, in milliseconds: for a connect and for a server that
// stays silent in the middle of a reply. kormoran-cli --timeout sets both.
void SetServerTimeouts(int32_t connectMs, int32_t readMs);
constexpr int32_t DefaultConnectTimeoutMs = 30000;
constexpr int32_t DefaultReadTimeoutMs = 120000;

// A connection a download left open is ended with QUIT after this long without use
// (on the server worker, else only where an event loop runs the timer). The tests
// shorten it.
void SetIdleCloseDelay(int32_t milliseconds);
constexpr int32_t DefaultIdleCloseMs = 60000;

// The most attachment data a download of a message whose size LIST did not give may
// decode to: well above what mail providers accept in one message. The tests lower it.
void SetUnsizedAttachmentLimit(int64_t bytes);
constexpr int64_t DefaultUnsizedAttachmentLimit = int64_t{256} << 20;

// Lines of text a check reads from each message's body for the previews; 0, the
// default, reads none (TOP n 0).
void SetPreviewLines(int32_t lines);
int32_t PreviewLines();
constexpr int32_t PreviewLinesLimit = 50;
// A preview asks TOP for this many body lines more than it shows: the blank lines, a
// MIME preamble and the part headers come before the text.
constexpr int32_t PreviewExtraLines = 15;
// The body lines TOP asks for with each header block: 0 without previews.
int32_t PreviewBodyLines();
// Downloads with RETR, which servers take for reading the message, instead of TOP with
// all its lines, which they do not.
void SetDownloadWithRetr(bool always);

// Whether a server operation is running now.
bool ServerOperationRunning();
// Ends the running server operation at its next wait on the network: the connection is
// dropped and the operation raises EOperationCancelled. Safe from any thread. A cancel
// asked for before the operation's first wait counts too; it is forgotten when the
// operation ends, or by ForgetServerCancel.
void CancelServerOperation();
void ForgetServerCancel();
// Runs operation as a server operation of its own (an OAuth2 sign-in): ESessionBusy while
// another runs, and CancelServerOperation ends its waits with EOperationCancelled.
void RunServerOperation(const std::function<void()>& operation);

// The user ended the operation ("Operace byla přerušena.").
class EOperationCancelled : public Exception {
public:
    EOperationCancelled();
};

// How the session's last connection went: "Šifrováno (TLS 1.3)" or "Nešifrováno".
std::string ConnectionSecurityText(const TPOP3& session);

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
    // What UIDL gave for the message, empty when the server gave nothing usable.
    std::string UniqueId;
    // Another message of the check has the same UniqueId, so it tells neither apart.
    bool UniqueIdShared = false;
    // The previous check of the mailbox did not see the message (LastCheck.h).
    bool New = false;
    // Whether UIDL n, not the header block, confirms the message before RETR or DELE.
    bool ConfirmsByUniqueId() const { return !UniqueId.empty() && !UniqueIdShared; }

    // What the header block says of the sender and of spam, read once at the check;
    // JudgeMessage of Msg gives the reasons.
    TVerdictMarks Verdict;
    // The first lines of the message's text, when the check asked for them.
    std::vector<std::string> Preview;
    // Set by a download that had to use RETR because TOP gave less than LIST announced:
    // the sentence for the status bar. Empty otherwise.
    const std::string& DownloadNote() const;

    // The six columns of the header list.
    std::string DateText() const;
    std::string SizeText() const;
    std::string FromText() const;
    std::string ToText() const;
    std::string SubjectText() const;
    std::string IdText() const;

    // TOP n with all the message's lines on the session, opened again when closed: no
    // server marks a message read for it. When what came is shorter than LIST announced
    // (a server that caps TOP), RETR after all, noted in DownloadNote; with
    // SetDownloadWithRetr, RETR at once. The connection stays open.
    // A refused TOP or RETR raises the server's text and leaves the record as it was.
    // Download is Retrieve and TakeDownload in one; the window runs Retrieve on its
    // worker and hands the message, with the note on RETR, to the record on its own
    // thread, which shows them.
    void Download();
    std::unique_ptr<TIdMessage> Retrieve(std::string* retrNote = nullptr);
    void TakeDownload(std::unique_ptr<TIdMessage> whole, std::string retrNote = {});
    // DeleteMessages of this record alone; returns Deleted.
    bool DeleteOnServer();

    // The text the message view shows: the header lines before a download, afterwards
    // the sections attachments, body and header.
    std::string GetText() const;
    // Saves the attachment an attachment link of GetText points at, through the save dialog.
    void SaveAttachment(const std::string& link);

private:
    friend void DeleteMessages(const std::vector<std::shared_ptr<TMessageHeader>>& records);
    friend void DeletePipelined(TPOP3& session, const std::vector<TMessageHeader*>& chosen,
                                std::vector<TMessageHeader*>& accepted, std::exception_ptr& failure);
    // Before the first RETR or DELE on a connection opened after the check: the message
    // under Number must still be this one, or nothing destructive is sent. Its unique ID
    // (UIDL n) says so; without one, its header block and size.
    void ConfirmIdentity();
    // TOP with all lines into whole; false when shorter than LIST said.
    bool FetchWithoutReading(TIdMessage& whole);

    // What a download leaves beside the whole message: the header lines the check saw,
    // which Msg held until then (a record costs no second copy), and the note on RETR.
    // A record never downloaded has none of it.
    struct TDownloadTraces {
        TIdHeaderList CheckedHeaders;
        std::string Note;
    };
    std::unique_ptr<TDownloadTraces> FDownloadTraces;
    int32_t FConfirmedOn = -1;
};

// The records of the last check, in message order. They are shared so that a row of the
// header list can keep a std::weak_ptr to its own record: a row whose record a later
// check released finds nothing instead of another message.
const std::vector<std::shared_ptr<TMessageHeader>>& HeaderRecords();

// Closes the previous check's connection (QUIT: the server carries out its deletions),
// then fills HeaderRecords from session on a new connection, which it closes on every path.
// The records get the unique IDs of UIDL when the server gives them. A failure after
// STAT leaves the records made so far, one before it the previous ones.
int32_t CheckMailbox(const std::shared_ptr<TPOP3>& session);
// The check of the window: the same dialogue, but HeaderRecords stays as it is and the new
// records go to records. The window hands them over with SetHeaderRecords only when the
// check succeeded, so a cancelled or failed check leaves the previous list working.
int32_t CheckMailboxInto(const std::shared_ptr<TPOP3>& session, std::vector<std::shared_ptr<TMessageHeader>>& records);
void SetHeaderRecords(std::vector<std::shared_ptr<TMessageHeader>> records);

// Deletes the records' messages (all of one session) on one connection and ends it with
// QUIT, so the server carries the deletions out at once: DELE for each record in the
// order given, after its identity check; a refused DELE ends the loop. On "+OK" to QUIT
// the accepted records are marked Deleted and the other records of the session get the
// numbers the server now gives them (numbers above a deleted one move down). A failure
// before that leaves every record as it was (the server rolled the deletions back). The
// first failure is raised at the end; a "-ERR" to QUIT with the server's text and a hint
// to check again.
void DeleteMessages(const std::vector<std::shared_ptr<TMessageHeader>>& records);

// The first record whose Message-Id is exactly id, or nothing.
std::shared_ptr<TMessageHeader> FindHeader(const std::string& id);

// Ends every connection a download left open with QUIT.
void CloseOpenSessions();
// At program end: closes as above, ignoring failures, and releases the records while
// everything they use still exists.
void EndSessions();

// The session, the check and the two operations on one message on the server.
#include "udm.h"

#include "IdException.h"
#include "CertificatePins.h"
#include "Keyring.h"
#include "OAuth2SignIn.h"
#include "IdSASLOAuth2.h"
#include "Progress.h"
#include "Providers.h"
#include "ServerWorker.h"

#include "IdMessageCoder.h"
#include "IdWait.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <exception>
#include <string_view>
#include <utility>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

std::vector<std::shared_ptr<TMessageHeader>> Records;

// How often a check lets events run while it makes records.
constexpr std::chrono::milliseconds RecordEventsInterval(5);

// Below this many records the heap keeps what a list frees for the next one.
constexpr size_t ManyRecords = 1000;

// The records of the last check make way for new ones. What the old ones of a large mailbox
// took goes back to the system, not only to the heap, where it would stay the process's
// own until a list as large came again.
void ReplaceRecords(std::vector<std::shared_ptr<TMessageHeader>> records)
{
    std::vector<std::shared_ptr<TMessageHeader>> previous = std::exchange(Records, std::move(records));
    // Records an account's kept list still holds are not freed here.
    const auto freed = std::count_if(previous.begin(), previous.end(),
                                     [](const auto& record) { return record.use_count() == 1; });
    const bool many = static_cast<size_t>(freed) >= ManyRecords;
    previous = {};
#ifdef __GLIBC__
    if (many)
        malloc_trim(0);
#endif
}

const std::string BusyText = "Se serverem právě probíhá jiná operace. Počkejte, až skončí.";
const std::string ChangedText =
    "Schránka se od poslední kontroly změnila. Zkontrolujte zprávy znovu.";
const std::string CancelledText = "Operace byla přerušena.";
const std::string CheckAgainText = "Zkontrolujte zprávy znovu.";
const std::string NothingDeletedText =
    "Nic nebylo vymazáno: spojení skončilo dřív, než server potvrdil ukončení (QUIT), "
    "a bez něj server žádné vymazání neprovede.";
const std::string QuitUnansweredText =
    "Server nepotvrdil ukončení spojení, zprávy nemusely být vymazány.";

const std::string RetrNote =
    "Server poslal příkazem TOP méně, než ohlásil; zpráva je stažena příkazem RETR a server ji může "
    "označit jako přečtenou.";

// Set on the window thread, read by checks and downloads on the server worker.
std::atomic<int32_t> PreviewLineCount{0};
std::atomic<bool> DownloadWithRetr{false};
std::atomic<int64_t> UnsizedAttachmentLimit{DefaultUnsizedAttachmentLimit};
int32_t ConnectTimeoutMs = DefaultConnectTimeoutMs;
int32_t ReadTimeoutMs = DefaultReadTimeoutMs;
int32_t IdleCloseMs = DefaultIdleCloseMs;
// At program end a server gets this long to answer QUIT.
constexpr int32_t ClosingTimeoutMs = 5000;

// One server operation at a time keeps the commands of two from interleaving on one
// connection and keeps records alive under a running operation. The window's operations
// run on its worker thread and are cancelled from the window's thread.
std::atomic<bool> OperationRunning = false;
std::atomic<bool> CancelRequested = false;

void ThrowIfCancelled()
{
    if (CancelRequested.exchange(false))
        throw EOperationCancelled();
}

// Runs between the slices of every wait on the network during a server operation.
void WhileWaiting()
{
    ProcessPendingEvents();
    ThrowIfCancelled();
}

const std::string UnsizedTooLargeText =
    "Příloha je větší než %d MiB a server velikost zprávy neohlásil; stahování bylo zastaveno.";

// Decoding never makes data larger than its encoded form, so the attachments of a
// message hold at most its size as LIST gave it; the room covers servers that count a
// little differently. Without a size the fixed bound holds.
int64_t AttachmentDataLimitFor(int32_t listSize)
{
    if (listSize < 0)
        return UnsizedAttachmentLimit;
    return int64_t{listSize} + listSize / 8 + 64 * 1024;
}

std::string UnsizedTooLargeMessage()
{
    std::string text = UnsizedTooLargeText;
    return text.replace(text.find("%d"), 2, std::to_string(UnsizedAttachmentLimit >> 20));
}

class TServerOperation {
public:
    TServerOperation()
    {
        // A cancel that came before the first wait still counts: the worker asks for it
        // as soon as it has taken the operation on.
        if (OperationRunning.exchange(true))
            throw ESessionBusy();
        FPreviousHook = SetWaitHook(WhileWaiting);
    }
    ~TServerOperation()
    {
        SetWaitHook(std::move(FPreviousHook));
        OperationRunning = false;
        CancelRequested = false;
    }
    TServerOperation(const TServerOperation&) = delete;
    TServerOperation& operator=(const TServerOperation&) = delete;

private:
    TIdWaitHook FPreviousHook;
};

void CloseConnectionsOf(const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    // All records of one check share one session; the first QUIT closes it for all.
    for (const auto& record : records)
        if (record->Session->IsConnected())
            record->Session->CloseConnection();
}

void ArmIdleClose(const std::shared_ptr<TPOP3>& session);

void CloseIfIdle(const std::weak_ptr<TPOP3>& weakSession, int32_t serial)
{
    const std::shared_ptr<TPOP3> session = weakSession.lock();
    if (!session || session->UseSerial != serial || !session->IsConnected())
        return;
    if (OperationRunning) {
        ArmIdleClose(session);
        return;
    }
    // Nothing of the user's is pending on a download's connection, so nothing to report.
    try {
        TServerOperation operation;
        session->CloseConnection();
    } catch (...) {
    }
}

void ArmIdleClose(const std::shared_ptr<TPOP3>& session)
{
    if (!session->IsConnected())
        return;
    // On the worker the QUIT waits its turn there, and the user's next command cuts it short.
    if (TServerWorker* worker = TServerWorker::Current()) {
        worker->RunLater(std::chrono::milliseconds(IdleCloseMs),
                         [weakSession = std::weak_ptr<TPOP3>(session), serial = session->UseSerial] {
                             CloseIfIdle(weakSession, serial);
                         });
        return;
    }
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return;
    QTimer::singleShot(IdleCloseMs, application,
                       [weakSession = std::weak_ptr<TPOP3>(session), serial = session->UseSerial] {
                           CloseIfIdle(weakSession, serial);
                       });
}

// The deletions are done: the records are marked, and the records still listed take the
// numbers the server gives their messages now.
void CarryOut(const TPOP3* session, const std::vector<TMessageHeader*>& deleted)
{
    std::vector<int32_t> goneNumbers;
    goneNumbers.reserve(deleted.size());
    for (TMessageHeader* record : deleted) {
        record->Deleted = true;
        goneNumbers.push_back(record->Number);
    }
    std::sort(goneNumbers.begin(), goneNumbers.end());
    for (const auto& record : Records) {
        if (record->Session.get() != session || record->Deleted)
            continue;
        record->Number -= static_cast<int32_t>(
            std::lower_bound(goneNumbers.begin(), goneNumbers.end(), record->Number) - goneNumbers.begin());
    }
}

// A UIDL listing (in number order) and which of its IDs several messages share: such an
// ID identifies none of them.
struct TUniqueIdListing {
    std::vector<TIdPOP3::TUniqueId> Ids;
    std::vector<bool> Shared;
    // Where the listing was left: records come in number order.
    size_t Next = 0;

    explicit TUniqueIdListing(std::vector<TIdPOP3::TUniqueId> ids);
    // Moves the ID of the record's number, if the listing has one, into the record.
    void GiveTo(TMessageHeader& record);
};

// Sorted views, not a map: a large mailbox's IDs cost 16 bytes each here.
TUniqueIdListing::TUniqueIdListing(std::vector<TIdPOP3::TUniqueId> ids) : Ids(std::move(ids)), Shared(Ids.size())
{
    std::vector<std::string_view> sorted;
    sorted.reserve(Ids.size());
    for (const TIdPOP3::TUniqueId& id : Ids)
        sorted.push_back(id.Id);
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < Ids.size(); ++i) {
        const auto [first, end] = std::equal_range(sorted.begin(), sorted.end(), std::string_view(Ids[i].Id));
        Shared[i] = end - first > 1;
    }
}

void TUniqueIdListing::GiveTo(TMessageHeader& record)
{
    while (Next < Ids.size() && Ids[Next].Number < record.Number)
        ++Next;
    if (Next < Ids.size() && Ids[Next].Number == record.Number) {
        record.UniqueId = std::move(Ids[Next].Id);
        record.UniqueIdShared = Shared[Next];
    }
}

} // namespace

ESessionBusy::ESessionBusy() : Exception(BusyText) {}

EMailboxChanged::EMailboxChanged() : Exception(ChangedText) {}

EOperationCancelled::EOperationCancelled() : Exception(CancelledText) {}

TPOP3::TPOP3(TIdComponent*)
{
    OnWork = [this](TIdComponent* sender, TWorkMode workMode, int32_t workCount) {
        POP3Notify(sender, workMode, workCount);
    };
}

void TPOP3::POP3Notify(TIdComponent*, TWorkMode, int32_t workCount)
{
    NotifyWork(workCount);
}

void TPOP3::Reconnect()
{
    ++UseSerial;
    // Bytes nobody asked for, or a close, on a connection that lay idle: the server has
    // ended it ("-ERR Disconnected for inactivity."); it is dropped without QUIT.
    if (IsConnected() && HasUnreadInput())
        TIdMessageClient::CloseConnection();
    if (IsConnected())
        return;
    TakePasswordFromKeyring();
    try {
        if (Login == lmOAuth2)
            LogInWithToken();
        else
            OpenConnection(ConnectTimeout);
    } catch (const EIdProtocolReplyError& refusal) {
        // A refused log-in is where the user needs to know what the program knows.
        std::string notes = KeyringNote;
        if (!LoginHint.empty())
            notes += (notes.empty() ? "" : "\r\n") + LoginHint;
        if (LoginMethodUsed.empty() || notes.empty())
            throw;
        throw EIdProtocolReplyError(refusal.ReplyCode, refusal.Message + notes);
    }
    ++ConnectionSerial;
}

void TPOP3::TakePasswordFromKeyring()
{
    if (Login == lmOAuth2) {
        if (!GivenAccessToken.empty() || FKeyringAsked)
            return;
        FKeyringAsked = true;
        try {
            RefreshToken = ReadKeyringRefreshToken({AccountAddress, Host, Username}).value_or(std::string());
        } catch (const EKeyringError& failure) {
            KeyringNote = "Přihlášení nebylo možné přečíst z klíčenky: " + failure.Message;
        }
        return;
    }
    if (!Password.empty() || FKeyringAsked)
        return;
    FKeyringAsked = true;
    try {
        Password = AccountPassword({AccountAddress, Host, Username}, Password);
    } catch (const EKeyringError& failure) {
        // Without a keyring the account file's (empty) password is all there is; one
        // that is there and does not answer is worth a word.
        if (failure.TimedOut)
            KeyringNote = "Heslo nebylo možné přečíst z klíčenky: " + failure.Message;
    }
}

// The mechanisms the provider takes the token with, in its order of preference.
static std::vector<std::shared_ptr<TIdSASLMechanism>> TokenMechanisms(const TOAuth2Client& client,
                                                                      const std::string& user, const std::string& token)
{
    std::vector<std::shared_ptr<TIdSASLMechanism>> mechanisms;
    for (const std::string& name : client.Mechanisms) {
        if (name == "XOAUTH2")
            mechanisms.push_back(std::make_shared<TIdSASLXOAuth2>(user, token, client.TwoStepXOAuth2));
        else if (name == "OAUTHBEARER")
            mechanisms.push_back(std::make_shared<TIdSASLOAuthBearer>(user, token));
    }
    return mechanisms;
}

// A token kept from before may have been revoked or cut short by the provider: the
// server's refusal of it is answered with one fresh token, never more.
void TPOP3::LogInWithToken()
{
    const TOAuth2Client client = OAuth2ClientFor(Host);
    if (!GivenAccessToken.empty()) {
        SASLMechanisms = TokenMechanisms(client, Username, GivenAccessToken);
        OpenConnection(ConnectTimeout);
        return;
    }
    // Without a keyring the sign-in cannot be read: saying "not signed in" would mislead.
    if (RefreshToken.empty() && !KeyringNote.empty())
        throw EOAuth2Error(KeyringNote);
    TPOP3Rec account;
    account.Address = AccountAddress;
    account.Host = Host;
    account.User = Username;
    TAccessToken token = AccessTokenFor(account, client, RefreshToken, false);
    SASLMechanisms = TokenMechanisms(client, Username, token.Token);
    try {
        OpenConnection(ConnectTimeout);
    } catch (const EIdProtocolReplyError&) {
        if (!AuthRefused || token.Fresh)
            throw;
        token = AccessTokenFor(account, client, RefreshToken, true);
        SASLMechanisms = TokenMechanisms(client, Username, token.Token);
        OpenConnection(ConnectTimeout);
    }
}

std::shared_ptr<TPOP3> CreateSession(const TPOP3Rec& account)
{
    auto session = std::make_shared<TPOP3>();
    session->Host = account.Host;
    session->Port = account.Port;
    session->Security = account.Security;
    session->Username = account.User;
    session->Password = account.Password;
    session->Login = account.Login;
    session->AccountAddress = account.Address;
    session->LoginHint = LoginHintFor(account.Address);
    session->PinnedFingerprint = PinnedFingerprintOf({account.Address, account.Host, account.User});
    session->ConnectTimeout = ConnectTimeoutMs;
    session->ReadTimeout = ReadTimeoutMs;
    return session;
}

void SetServerTimeouts(int32_t connectMs, int32_t readMs)
{
    ConnectTimeoutMs = connectMs;
    ReadTimeoutMs = readMs;
}

void SetIdleCloseDelay(int32_t milliseconds)
{
    IdleCloseMs = milliseconds;
}

void SetUnsizedAttachmentLimit(int64_t bytes)
{
    UnsizedAttachmentLimit = bytes;
}

void SetPreviewLines(int32_t lines)
{
    PreviewLineCount = std::clamp(lines, 0, PreviewLinesLimit);
}

int32_t PreviewLines()
{
    return PreviewLineCount;
}

int32_t PreviewBodyLines()
{
    const int32_t lines = PreviewLineCount;
    return lines > 0 ? lines + PreviewExtraLines : 0;
}

void SetDownloadWithRetr(bool always)
{
    DownloadWithRetr = always;
}

bool ServerOperationRunning()
{
    return OperationRunning;
}

void CancelServerOperation()
{
    CancelRequested = true;
}

void RunServerOperation(const std::function<void()>& operation)
{
    TServerOperation running;
    operation();
}

void ForgetServerCancel()
{
    CancelRequested = false;
}

std::string ConnectionSecurityText(const TPOP3& session)
{
    if (session.LastTls.Version.empty())
        return "Nešifrováno";
    return "Šifrováno (" + session.LastTls.Version + ")";
}

const std::vector<std::shared_ptr<TMessageHeader>>& HeaderRecords()
{
    return Records;
}

namespace {

// The check after the previous connection has gone: login, STAT, then one record per
// message into records. counted tells whether it got as far as STAT.
int32_t FetchRecords(const std::shared_ptr<TPOP3>& session, std::vector<std::shared_ptr<TMessageHeader>>& records,
                     bool& counted)
{
    int32_t count = 0;
    try {
        session->Reconnect();
        session->AskCapabilities();
        ProcessPendingEvents();
        count = session->CountMessages();
        counted = true;
        // Each record reads its own replies, in order; a server that pipelines has the
        // commands of the next records already.
        session->PlanUniqueIdsAndHeaders(count, PreviewBodyLines());
        TUniqueIdListing uniqueIds(session->FetchUniqueIds(count).value_or(std::vector<TIdPOP3::TUniqueId>()));
        // Events run between records every few milliseconds, not after each of a large
        // mailbox's records, whose replies mostly wait in the buffer already.
        std::chrono::steady_clock::time_point eventsRun;   // long ago: events run before the first
        for (int32_t number = 1; number <= count; ++number) {
            if (const auto now = std::chrono::steady_clock::now(); now - eventsRun >= RecordEventsInterval) {
                ProcessPendingEvents();
                eventsRun = now;
            }
            auto record = std::make_shared<TMessageHeader>(session, number);
            uniqueIds.GiveTo(*record);
            records.push_back(std::move(record));
        }
    } catch (...) {
        // The failure that ended the check is what the user is to see, not a failed QUIT.
        try {
            if (session->IsConnected())
                session->CloseConnection();
        } catch (...) {
        }
        throw;
    }
    if (session->IsConnected())
        session->CloseConnection();
    return count;
}

} // namespace

int32_t CheckMailbox(const std::shared_ptr<TPOP3>& session)
{
    TServerOperation operation;
    ProcessPendingEvents();
    CloseConnectionsOf(Records);
    std::vector<std::shared_ptr<TMessageHeader>> records;
    bool counted = false;
    try {
        const int32_t count = FetchRecords(session, records, counted);
        ReplaceRecords(std::move(records));
        return count;
    } catch (...) {
        if (counted)
            ReplaceRecords(std::move(records));
        throw;
    }
}

int32_t CheckMailboxInto(const std::shared_ptr<TPOP3>& session, std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    TServerOperation operation;
    CloseConnectionsOf(Records);
    bool counted = false;
    return FetchRecords(session, records, counted);
}

void SetHeaderRecords(std::vector<std::shared_ptr<TMessageHeader>> records)
{
    ReplaceRecords(std::move(records));
}

std::shared_ptr<TMessageHeader> FindHeader(const std::string& id)
{
    for (const auto& record : Records)
        if (record->Msg->MessageId == id)
            return record;
    return nullptr;
}

void CloseOpenSessions()
{
    TServerOperation operation;
    CloseConnectionsOf(Records);
}

void EndSessions()
{
    if (!OperationRunning) {
        for (const auto& record : Records)
            record->Session->ReadTimeout = std::min(record->Session->ReadTimeout, ClosingTimeoutMs);
        try {
            CloseConnectionsOf(Records);
        } catch (...) {
            // The program is ending; a server that cannot be told has lost the connection anyway.
        }
    }
    Records.clear();
}

// The loop of DeleteMessages in two batches with the same outcome: every identity check,
// then the DELE commands of the records before the first check that failed. The DELE
// commands after a refused one have been sent already; their replies are read, and those
// the server accepted count like the others.
void DeletePipelined(TPOP3& session, const std::vector<TMessageHeader*>& chosen,
                     std::vector<TMessageHeader*>& accepted, std::exception_ptr& failure)
{
    std::vector<std::pair<int32_t, bool>> unconfirmed;
    for (const TMessageHeader* record : chosen)
        if (record->FConfirmedOn != session.ConnectionSerial)
            unconfirmed.emplace_back(record->Number, record->ConfirmsByUniqueId());
    session.PlanIdentityChecks(std::move(unconfirmed));
    size_t confirmed = 0;
    std::exception_ptr identityFailure;
    try {
        for (; confirmed < chosen.size(); ++confirmed)
            chosen[confirmed]->ConfirmIdentity();
    } catch (...) {
        identityFailure = std::current_exception();
    }
    if (identityFailure && !session.IsConnected()) {
        failure = identityFailure;
        return;
    }
    std::vector<int32_t> numbers;
    for (size_t i = 0; i < confirmed; ++i)
        numbers.push_back(chosen[i]->Number);
    session.PlanDeletions(std::move(numbers));
    for (size_t i = 0; i < confirmed; ++i) {
        if (failure && session.OutstandingCommands() == 0)
            break;
        try {
            session.DeleteMessage(chosen[i]->Number);
            accepted.push_back(chosen[i]);
        } catch (const EIdProtocolReplyError&) {
            if (!failure)
                failure = std::current_exception();
            session.StopPlan();
        }
    }
    if (identityFailure && !failure)
        failure = identityFailure;
}

namespace {

// The connection ended before QUIT: the server rolls back every DELE of it, which the
// user is to know, whatever the failure was.
[[noreturn]] void RaiseWithNothingDeleted(std::exception_ptr failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const EOperationCancelled&) {
        throw;
    } catch (const std::exception& error) {
        throw Exception(std::string(error.what()) + "\r\n" + NothingDeletedText);
    }
}

} // namespace

void DeleteMessages(const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    if (records.empty())
        return;
    TServerOperation operation;
    ProcessPendingEvents();
    const std::shared_ptr<TPOP3> session = records.front()->Session;
    std::vector<TMessageHeader*> accepted;
    std::exception_ptr failure;
    std::vector<TMessageHeader*> chosen;
    for (const auto& record : records)
        if (!record->Deleted && record->Session == session)
            chosen.push_back(record.get());
    try {
        session->Reconnect();
        if (session->AskCapabilities()) {
            DeletePipelined(*session, chosen, accepted, failure);
        } else {
            // DELE for each record after its identity check; the first failure ends the loop.
            for (TMessageHeader* record : chosen) {
                record->ConfirmIdentity();
                session->DeleteMessage(record->Number);
                accepted.push_back(record);
            }
        }
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    // A refusal leaves the connection in step: QUIT still carries out what was accepted.
    // After any other failure the connection is gone, and with it the deletions.
    bool carriedOut = false;
    const bool quitSent = session->IsConnected();
    try {
        // A deletion cut short sends no QUIT: the server then deletes nothing.
        if (quitSent && CancelRequested) {
            session->TIdMessageClient::CloseConnection();
            ThrowIfCancelled();
        }
        if (quitSent) {
            session->CloseConnection();
            carriedOut = session->QuitConfirmed;
        }
    } catch (const EIdProtocolReplyError& refusal) {
        if (!failure)
            failure = std::make_exception_ptr(Exception(refusal.Message + CheckAgainText));
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    if (carriedOut)
        CarryOut(session.get(), accepted);
    else if (!accepted.empty() && !failure)
        failure = std::make_exception_ptr(Exception(QuitUnansweredText + "\r\n" + CheckAgainText));
    if (failure && !quitSent && !chosen.empty())
        RaiseWithNothingDeleted(failure);
    if (failure)
        std::rethrow_exception(failure);
}

void TMessageHeader::ConfirmIdentity()
{
    if (FConfirmedOn == Session->ConnectionSerial)
        return;
    if (ConfirmsByUniqueId()) {
        if (Session->FetchUniqueId(Number) != UniqueId)
            throw EMailboxChanged();
        FConfirmedOn = Session->ConnectionSerial;
        return;
    }
    // Only the lines are compared, so they need not be applied.
    TIdMessage current;
    current.NoDecode = true;
    int32_t size = 0;
    try {
        Session->FetchHeader(Number, current);
        size = Session->FetchSize(Number);
    } catch (const EIdProtocolReplyError&) {
        throw EMailboxChanged();  // no message under that number any more
    }
    const TIdHeaderList& checked = FDownloadTraces ? FDownloadTraces->CheckedHeaders : Msg->RawHeaders;
    if (current.RawHeaders != checked || size != Msg->Tag)
        throw EMailboxChanged();
    FConfirmedOn = Session->ConnectionSerial;
}

void TMessageHeader::Download()
{
    std::string retrNote;
    auto whole = Retrieve(&retrNote);
    TakeDownload(std::move(whole), std::move(retrNote));
}

const std::string& TMessageHeader::DownloadNote() const
{
    static const std::string none;
    return FDownloadTraces ? FDownloadTraces->Note : none;
}

void TMessageHeader::TakeDownload(std::unique_ptr<TIdMessage> whole, std::string retrNote)
{
    whole->Tag = Msg->Tag;
    if (!FDownloadTraces)
        FDownloadTraces = std::make_unique<TDownloadTraces>(TDownloadTraces{std::move(Msg->RawHeaders), {}});
    FDownloadTraces->Note = std::move(retrNote);
    Msg = std::move(whole);
    Downloaded = true;
}

std::unique_ptr<TIdMessage> TMessageHeader::Retrieve(std::string* retrNote)
{
    TServerOperation operation;
    ProcessPendingEvents();
    // The connection stays open for the next download, but not for ever.
    struct TIdleCloseArmed {
        const std::shared_ptr<TPOP3>& Session;
        ~TIdleCloseArmed() { ArmIdleClose(Session); }
    } idleCloseArmed{Session};
    Session->Reconnect();
    ConfirmIdentity();
    // Received into a message of its own, so a refused or broken retrieval leaves the
    // record showing its header as before.
    auto whole = std::make_unique<TIdMessage>();
    whole->SetAttachmentDataLimit(AttachmentDataLimitFor(Msg->Tag));
    const bool retrAtOnce = DownloadWithRetr;
    std::string note;
    try {
        if (!retrAtOnce && !FetchWithoutReading(*whole)) {
            whole = std::make_unique<TIdMessage>();
            whole->SetAttachmentDataLimit(AttachmentDataLimitFor(Msg->Tag));
            note = RetrNote;
        }
        if (retrAtOnce || !note.empty()) {
            // A retrieval that fails after all leaves the record as it was.
            if (!Session->FetchMessage(Number, *whole))
                Session->RaiseReplyError();
        }
    } catch (EIdAttachmentTooLarge& tooLarge) {
        // The bound of a message without a size is no size the server announced.
        if (Msg->Tag < 0)
            tooLarge.Message = UnsizedTooLargeMessage();
        throw;
    }
    if (retrNote)
        *retrNote = note;
    return whole;
}

// The body has at most as many lines as the message has bytes, so asking for that many
// asks for all of them. A message whose size LIST did not give cannot be checked.
bool TMessageHeader::FetchWithoutReading(TIdMessage& whole)
{
    // The terminating ".", CR, LF came too, and leading dots were doubled on the way.
    constexpr int64_t TerminatorBytes = 3;
    const int32_t size = Msg->Tag;
    int64_t received = 0;
    if (!Session->FetchMessageLines(Number, size > 0 ? size : INT32_MAX, whole, received))
        Session->RaiseReplyError();
    return size < 0 || received - TerminatorBytes >= size;
}

bool TMessageHeader::DeleteOnServer()
{
    // A handle that owns nothing: the caller keeps the record alive for the call.
    DeleteMessages({std::shared_ptr<TMessageHeader>(std::shared_ptr<TMessageHeader>(), this)});
    return Deleted;
}

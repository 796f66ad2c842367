// The session, the check and the two operations on one message on the server.
#include "udm.h"

#include "IdException.h"
#include "Progress.h"

#include <cstdlib>

namespace {

std::vector<std::shared_ptr<TMessageHeader>> Records;

const std::string BusyText = "Se serverem právě probíhá jiná operace. Počkejte, až skončí.";
const std::string ChangedText =
    "Schránka se od poslední kontroly změnila. Zkontrolujte zprávy znovu.";

// The window lets events run while the server works, so the user can start another
// command meanwhile; one server operation at a time keeps the commands of two from
// interleaving on one connection and keeps records alive under a running operation.
bool OperationRunning = false;

class TServerOperation {
public:
    TServerOperation()
    {
        if (OperationRunning)
            throw ESessionBusy();
        OperationRunning = true;
    }
    ~TServerOperation() { OperationRunning = false; }
    TServerOperation(const TServerOperation&) = delete;
    TServerOperation& operator=(const TServerOperation&) = delete;
};

void CloseConnectionsOf(const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    // All records of one check share one session; the first QUIT closes it for all.
    for (const auto& record : records)
        if (record->Session->IsConnected())
            record->Session->CloseConnection();
}

void CloseOpenSessionsAtExit()
{
    if (OperationRunning)
        return;
    try {
        CloseConnectionsOf(Records);
    } catch (...) {
        // The program is ending; a server that cannot be told has lost the connection anyway.
    }
    Records.clear();
}

void CloseOnExitOnce()
{
    static const bool registered = std::atexit(CloseOpenSessionsAtExit) == 0;
    (void)registered;
}

} // namespace

ESessionBusy::ESessionBusy() : Exception(BusyText) {}

EMailboxChanged::EMailboxChanged() : Exception(ChangedText) {}

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
    if (IsConnected())
        return;
    OpenConnection(-1);
    ++ConnectionSerial;
}

std::shared_ptr<TPOP3> CreateSession(const TPOP3Rec& account)
{
    auto session = std::make_shared<TPOP3>();
    session->Host = account.Host;
    session->Port = account.Port;
    session->Username = account.User;
    session->Password = account.Password;
    return session;
}

const std::vector<std::shared_ptr<TMessageHeader>>& HeaderRecords()
{
    return Records;
}

int32_t CheckMailbox(const std::shared_ptr<TPOP3>& session)
{
    TServerOperation operation;
    CloseOnExitOnce();
    ProcessPendingEvents();
    int32_t count = 0;
    try {
        CloseConnectionsOf(Records);
        session->Reconnect();
        session->AskCapabilities();
        ProcessPendingEvents();
        Records.clear();
        count = session->CountMessages();
        // Each record reads its own replies, in order; a server that pipelines has the
        // commands of the next records already.
        session->PlanHeaders(1, count);
        for (int32_t number = 1; number <= count; ++number) {
            ProcessPendingEvents();
            Records.push_back(std::make_shared<TMessageHeader>(session, number));
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

void TMessageHeader::ConfirmIdentity()
{
    if (FConfirmedOn == Session->ConnectionSerial)
        return;
    TIdMessage current;
    int32_t size = 0;
    try {
        Session->FetchHeader(Number, current);
        size = Session->FetchSize(Number);
    } catch (const EIdProtocolReplyError&) {
        throw EMailboxChanged();  // no message under that number any more
    }
    if (current.RawHeaders.Lines() != FCheckedHeaders || size != Msg->Tag)
        throw EMailboxChanged();
    FConfirmedOn = Session->ConnectionSerial;
}

void TMessageHeader::Download()
{
    TServerOperation operation;
    ProcessPendingEvents();
    Session->Reconnect();
    ConfirmIdentity();
    // Received into a message of its own, so a refused or broken retrieval leaves the
    // record showing its header as before.
    auto whole = std::make_unique<TIdMessage>();
    if (!Session->FetchMessage(Number, *whole))
        Session->RaiseReplyError();
    whole->Tag = Msg->Tag;
    Msg = std::move(whole);
    Downloaded = true;
}

bool TMessageHeader::DeleteOnServer()
{
    TServerOperation operation;
    ProcessPendingEvents();
    Session->Reconnect();
    ConfirmIdentity();
    Deleted = Session->DeleteMessage(Number);
    return Deleted;
}

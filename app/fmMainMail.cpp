// The mail commands of the main window: the mailbox check with its progress panel, the
// message shown in the detail pane and its download, links in the message text, and
// the deletion of messages on the server.
#include "fmMain.h"

#include "AccountListItem.h"
#include "CertificatePins.h"
#include "HeaderList.h"
#include "LastCheck.h"
#include "Links.h"
#include "MessageText.h"
#include "MessageView.h"
#include "NewMailNotice.h"
#include "OAuth2SignIn.h"
#include "Progress.h"
#include "ProgressPanel.h"
#include "QtText.h"
#include "KormoranApplication.h"
#include "RxRichEd.h"
#include "Triage.h"
#include "UserInterface.h"
#include "udm.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>

namespace {

const std::string CheckingText = "Kontrola zpráv ";
const std::string DownloadingText = "Stahuji zprávu...";
const std::string DeleteSelectedQuestion = "Vymazat vybrané zprávy, opravdu?";
const std::string DeleteShownQuestion = "Vymazat vybranou zprávu, opravdu?";
const std::string DeletingText = "Mažu zprávy na serveru...";
const std::string DeletionCutShortText = "Mazání bylo přerušeno, na serveru nebylo nic vymazáno.";
const std::string ListOwnerText = "Zprávy účtu ";
const std::string DeletedText = "Vymazané zprávy: ";
const std::string NotDeletedText = "Nevymazané zprávy: ";
const std::string NothingDeletedText = "Na serveru nebylo nic vymazáno.";
const int CancelledMessageMs = 10000;
// A partial deletion names at most this many messages of each kind.
constexpr size_t NamedMessagesMaximum = 10;

// A check moves the bar one step per notification, round and round.
constexpr int CheckProgressMaximum = 8;

// The viewer finds "www." addresses without a scheme; the desktop opens only links
// that name theirs.
std::string WebAddress(const std::string& link)
{
    const bool bare = link.size() > 4 && (link[0] | 0x20) == 'w' && (link[1] | 0x20) == 'w' &&
                      (link[2] | 0x20) == 'w' && link[3] == '.';
    return bare ? "http://" + link : link;
}

THeaderRowData RowDataOf(const TMessageHeader& record)
{
    THeaderRowData data;
    data.DateText = record.DateText();
    data.SizeText = record.SizeText();
    data.FromText = record.FromText();
    data.ToText = record.ToText();
    data.SubjectText = record.SubjectText();
    data.IdText = record.IdText();
    data.Date = record.Msg->Date;
    data.Size = record.Msg->Tag;
    const TVerdictMarks& verdict = record.Verdict;
    data.AuthText = verdict.AuthText();
    data.SpamText = verdict.SpamText();
    data.AuthRank = verdict.Auth == avFailed ? 0 : verdict.Auth == avNone ? 1 : 2;
    constexpr double FlaggedRank = 1e7;
    data.SpamRank = verdict.Spam.value_or(false) ? FlaggedRank + verdict.SpamScore.value_or(0)
                    : verdict.SpamScore ? *verdict.SpamScore
                                        : -FlaggedRank;
    data.New = record.New;
    return data;
}

// How long the status bar says that a download had to use RETR.
constexpr int DownloadNoteMs = 15000;

// Before a download the header lines come with their decoded fields above them; only a
// downloaded message has attachment lines, so their places stay as the session gave them.
TShownText ShownText(const TMessageHeader& record)
{
    TShownText shown = ShownMessageText(*record.Msg, record.Downloaded);
    if (!record.Downloaded)
        shown.Text = DecodedHeaderLines(*record.Msg) + shown.Text;
    return shown;
}

// "„Message 1“, „Message 2“ a další (12)"
std::string SubjectList(const std::vector<const TMessageHeader*>& records)
{
    std::string list;
    for (size_t i = 0; i < records.size() && i < NamedMessagesMaximum; ++i)
        list += (i == 0 ? "„" : ", „") + records[i]->SubjectText() + "“";
    if (records.size() > NamedMessagesMaximum)
        list += " a další (" + std::to_string(records.size() - NamedMessagesMaximum) + ")";
    return list + ".";
}

// Which of several messages the server deleted and which it did not.
std::string DeletionSummary(const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    std::vector<const TMessageHeader*> deleted;
    std::vector<const TMessageHeader*> kept;
    for (const auto& record : records)
        (record->Deleted ? deleted : kept).push_back(record.get());
    std::string summary = deleted.empty() ? NothingDeletedText : DeletedText + SubjectList(deleted);
    if (!kept.empty())
        summary += "\r\n" + NotDeletedText + SubjectList(kept);
    return summary;
}

// A keyring that did not answer in time gave no password: the check goes on with the
// account file's, and the status bar says why it may be refused.
void ShowKeyringNote(QLabel& panel, const TPOP3& session)
{
    if (!session.KeyringNote.empty())
        panel.setText(ToQt(session.KeyringNote));
}

} // namespace

// ---- server operations on the worker ----

void Tfmain::ConnectServerWorker()
{
    FWorker = std::make_unique<TServerWorker>(this);
    // A click on "Přerušit" leaves the focus where the user had it.
    cancelButton->setFocusPolicy(Qt::NoFocus);
    connect(cancelButton, &QPushButton::clicked, this, [this] { FWorker->Cancel(); });
}

bool Tfmain::RefusedWhileBusy()
{
    if (!ServerBusy())
        return false;
    // The command is disabled where the user sees it; a key that still reaches it only beeps.
    UserInterface().Beep();
    return true;
}

void Tfmain::RunOnServer(TServerCommand command)
{
    FServerBusy = true;
    FOperationAccount = command.Account;
    FFocusBefore = QApplication::focusWidget();
    ShowProgress(command.Text, command.ProgressMaximum);
    statusBar()->showMessage(ToQt(command.Text));
    UpdateCommands();
    TServerWorker::TJob job = std::move(command.Job);
    FWorker->Run(std::move(job), [this, command = std::move(command)](std::exception_ptr failure) {
        FinishOnServer(command, failure);
    });
}

void Tfmain::FinishOnServer(const TServerCommand& command, std::exception_ptr failure)
{
    FServerBusy = false;
    FOperationAccount = nullptr;
    ShowProgress("", CheckProgressMaximum);
    statusBar()->clearMessage();
    bool failed = false;
    try {
        if (failure && command.StartsAgain && command.StartsAgain(failure)) {
            // Begun anew: the end of that operation finishes this one.
            if (FServerBusy)
                return;
            // The user has been told and chose to leave it.
            failed = true;
        } else {
            command.Done(failure);
            if (failure)
                std::rethrow_exception(failure);
        }
    } catch (const EOperationCancelled& cancelled) {
        failed = true;
        const std::string text = command.CutShortText.empty() ? cancelled.Message : command.CutShortText;
        // Closing the window cut it short: what the user must know goes into a box.
        if (FClosing && !command.CutShortText.empty())
            UserInterface().ShowError(text);
        else if (!FClosing)
            statusBar()->showMessage(ToQt(text), CancelledMessageMs);
    } catch (...) {
        failed = true;
        if (!FClosing)
            evException();
    }
    RefreshCommands();
    // Done began the next operation (a check after its sign-in), which takes over from here.
    if (FServerBusy)
        return;
    if (failed && FFocusBefore && FFocusBefore->isEnabled() && FFocusBefore->isVisible())
        FFocusBefore->setFocus();
    FFocusBefore = nullptr;
    RunWaitingScheduledCheck();
    if (FWaitLoop)
        FWaitLoop->quit();
}

bool Tfmain::CancelKeyDown(QObject* watched, int key)
{
    auto* widget = qobject_cast<QWidget*>(watched);
    if (key != Qt::Key_Escape || !FServerBusy || !widget || widget->window() != this)
        return false;
    cancelButton->click();
    return true;
}

bool Tfmain::WaitForServer(int milliseconds)
{
    // "Zkontrolovat vše" is several operations in a row: the wait lasts until the last.
    QElapsedTimer waited;
    waited.start();
    while (ServerBusy() && waited.elapsed() < milliseconds) {
        QEventLoop loop;
        QTimer::singleShot(milliseconds - waited.elapsed(), &loop, &QEventLoop::quit);
        FWaitLoop = &loop;
        loop.exec();
        FWaitLoop = nullptr;
    }
    return !ServerBusy();
}

void Tfmain::CutServerOperationShort()
{
    if (!FServerBusy)
        return;
    FClosing = true;
    FWorker->Cancel();
    // A wait on the network notices the cancel within a slice.
    FWorker->WaitUntilIdle(std::chrono::milliseconds(ClosingWaitMs));
    // Its result, queued to this window, is handled now: the user hears what was cut short.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    FClosing = false;
}

void Tfmain::ShowListOwner(const std::string& address)
{
    headOwner->setText(ToQt(ListOwnerText + address));
    headOwner->setVisible(true);
}

// ---- progress ----

void Tfmain::ShowProgress(const std::string& text, int maximum)
{
    inflabel->setText(ToQt(text));
    FitProgressPanel();
    inf->setVisible(!text.empty());
    progress->setValue(progress->minimum());
    // A message whose size the server did not tell (-1) still gets a usable bar.
    progress->setMaximum(std::max(maximum, progress->minimum()));
}

void Tfmain::StepProgress(int64_t count)
{
    progress->setValue(SteppedPosition(progress->value(), progress->minimum(), progress->maximum(), count));
}

bool Tfmain::evMessage(QEvent* event)
{
    if (event->type() != WM_POP3WORK)
        return false;
    auto* work = dynamic_cast<TPop3WorkEvent*>(event);
    if (!work)
        return false;
    StepProgress(work->LParam);
    return true;
}

// ---- the header list and the shown message ----

void Tfmain::headlistSelectItem(int row)
{
    UpdateCommands();
    ShowMessageHeader(row);
}

void Tfmain::headlistColumnClick(int column)
{
    // The shown message stays the shown message wherever the sort puts its row.
    THeaderRow* shown = headlist->Row(FShownIndex);
    headlist->SortByColumn(column);
    if (shown)
        FShownIndex = headlist->IndexOf(shown);
}

void Tfmain::ShowMessageHeader(int row)
{
    THeaderRow* shown = headlist->Row(row);
    if (!shown)
        return;
    FShownIndex = row;
    const std::shared_ptr<TMessageHeader> record = shown->Record();
    if (!record)
        return;
    EnableMessageCommands(record->Downloaded);
    ShowMessageText(*memo, PaneText(*record, ShownText(*record)));
}

// The previous list stays as it is, and working, until the check has succeeded.
void Tfmain::CheckAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item || RefusedWhileBusy())
        return;
    StartCheck(item, GetSelectedAccount());
}

void Tfmain::StartCheck(QListWidgetItem* item, const TPOP3Rec& account, bool offerSignIn)
{
    const std::shared_ptr<TPOP3> session = CreateSession(account);
    session->TakePasswordFromKeyring();
    ShowKeyringNote(*barPanel1, *session);
    auto records = std::make_shared<std::vector<std::shared_ptr<TMessageHeader>>>();
    TServerCommand command;
    command.Text = CheckingText + account.Address;
    command.Account = item;
    command.Job = [session, records] { CheckMailboxInto(session, *records); };
    command.Done = [this, item, account, session, records](std::exception_ptr failure) {
        if (failure)
            return;
        SetAccountError(item, "");
        // The rows are bold by what the check marked new: marked first.
        const std::string note = RememberCheck(*session, *records);
        KeepRecords(account, *records);
        ShowCheckedRecords(item, account, *session, std::move(*records));
        ShowNewCount(account, note);
    };
    // Trusted now, the check runs again; the certificate must be the one shown.
    command.StartsAgain = [this, item, account, offerSignIn](std::exception_ptr failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const EOAuth2SignInNeeded& lapsed) {
            return offerSignIn && OfferSignIn(item, account, lapsed.Message);
        } catch (const EIdTlsError& refusal) {
            if (poplist->row(item) < 0 || !TrustRefusedCertificate({account.Address, account.Host, account.User}, refusal))
                return false;
            StartCheck(item, account, offerSignIn);
            return true;
        } catch (...) {
            return false;
        }
    };
    RunOnServer(std::move(command));
}

void Tfmain::ShowCheckedRecords(QListWidgetItem* item, const TPOP3Rec& account, const TPOP3& session,
                                std::vector<std::shared_ptr<TMessageHeader>> records)
{
    SetHeaderRecords(std::move(records));
    FListOwnerItem = poplist->row(item) >= 0 ? item : nullptr;
    ShowListOwner(account.Address);
    barPanel2->setText(ToQt(ConnectionSecurityText(session)));
    FShownIndex = -1;
    FillHeaderList();
}

namespace {

std::string AccountKey(const std::string& address, const std::string& user)
{
    return address + "\n" + user;
}

} // namespace

void Tfmain::KeepRecords(const TPOP3Rec& account, const std::vector<std::shared_ptr<TMessageHeader>>& records)
{
    FAccountRecords[AccountKey(account.Address, account.User)] = records;
}

void Tfmain::ForgetKeptRecords(const TAccountLines& account)
{
    FAccountRecords.erase(AccountKey(account.Address, account.User));
}

// Not while an operation runs: a deletion's rows must stay in the list until it ends.
void Tfmain::ShowKeptRecords()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item || item == FListOwnerItem || ServerBusy())
        return;
    const TAccountLines lines = AccountOfItem(item);
    const auto kept = FAccountRecords.find(AccountKey(lines.Address, lines.User));
    if (kept == FAccountRecords.end())
        return;
    SetHeaderRecords(kept->second);
    FListOwnerItem = item;
    ShowListOwner(lines.Address);
    FShownIndex = -1;
    FillHeaderList();
    // The list's first row took the focus; the user is still in the account list.
    poplist->setFocus();
}

void Tfmain::CheckAllAccounts()
{
    if (poplist->count() == 0 || RefusedWhileBusy())
        return;
    FCheckAllQueue.clear();
    for (int row = 0; row < poplist->count(); ++row)
        FCheckAllQueue.push_back(AccountOfItem(poplist->item(row)));
    FCheckAllNew.clear();
    FCheckingAll = true;
    CheckNextAccount();
}

void Tfmain::ScheduledCheck()
{
    // The user's operation goes first.
    if (ServerBusy()) {
        FScheduledCheckWaiting = true;
        return;
    }
    FScheduledCheckWaiting = false;
    CheckAllAccounts();
}

// Started before WaitForServer can see the worker idle: the wait lasts to its end.
void Tfmain::RunWaitingScheduledCheck()
{
    if (FScheduledCheckWaiting && !ServerBusy() && !FClosing)
        ScheduledCheck();
}

void Tfmain::ScheduleChecks()
{
    if (!FCheckTimer) {
        FCheckTimer = new QTimer(this);
        connect(FCheckTimer, &QTimer::timeout, this, &Tfmain::ScheduledCheck);
    }
    FCheckTimer->stop();
    if (FAppSettings.CheckMinutes > 0)
        FCheckTimer->start(FAppSettings.CheckMinutes * 60 * 1000);
}

// An account's failure is kept as text by the account; only a cancel ends the round.
void Tfmain::CheckNextAccount()
{
    QListWidgetItem* item = nullptr;
    while (!item && !FCheckAllQueue.empty()) {
        const TAccountLines lines = FCheckAllQueue.front();
        FCheckAllQueue.erase(FCheckAllQueue.begin());
        // Accounts may have been deleted meanwhile.
        for (int row = 0; row < poplist->count() && !item; ++row) {
            const TAccountLines candidate = AccountOfItem(poplist->item(row));
            if (candidate.Address == lines.Address && candidate.User == lines.User)
                item = poplist->item(row);
        }
    }
    if (!item) {
        FinishCheckAll();
        return;
    }
    TPOP3Rec account;
    std::shared_ptr<TPOP3> session;
    try {
        account = RecordFromLines(AccountOfItem(item));
        session = CreateSession(account);
        session->TakePasswordFromKeyring();
        ShowKeyringNote(*barPanel1, *session);
    } catch (const std::exception& error) {
        SetAccountError(item, error.what());
        QTimer::singleShot(0, this, &Tfmain::CheckNextAccount);
        return;
    }
    auto records = std::make_shared<std::vector<std::shared_ptr<TMessageHeader>>>();
    auto error = std::make_shared<std::string>();
    TServerCommand command;
    command.Text = CheckingText + account.Address;
    command.Account = item;
    command.Job = [session, records, error] {
        try {
            CheckMailboxInto(session, *records);
        } catch (const EOperationCancelled&) {
            throw;
        } catch (const std::exception& failure) {
            *error = failure.what();
        }
    };
    command.Done = [this, item, account, session, records, error](std::exception_ptr failure) {
        if (failure) {   // cancelled: the rest of the round is not checked
            FCheckAllQueue.clear();
            FinishCheckAll();
            return;
        }
        QTimer::singleShot(0, this, &Tfmain::CheckNextAccount);
        SetAccountError(item, *error);
        if (!error->empty())
            return;
        const std::string note = RememberCheck(*session, *records);
        int count = 0;
        for (const auto& record : *records)
            if (record->New) {
                ++count;
                FCheckAllNew.push_back({record->FromText(), record->SubjectText()});
            }
        SetAccountNewCount(item, count);
        KeepRecords(account, *records);
        if (!note.empty())
            barPanel1->setText(ToQt(note));
        if (item == SelectedAccountItem())
            ShowCheckedRecords(item, account, *session, std::move(*records));
    };
    RunOnServer(std::move(command));
}

void Tfmain::FinishCheckAll()
{
    FCheckingAll = false;
    ShowTrayCounts();
    if (AppSettings().Notify && !FCheckAllNew.empty())
        NotifyNewMail(FCheckAllNew);
    FCheckAllNew.clear();
    RefreshCommands();
    ShowKeptRecords();
    RunWaitingScheduledCheck();
    if (FWaitLoop)
        FWaitLoop->quit();
}

// The account's new messages by its address in the account list and in a desktop
// notification; a note about the state file in the status bar.
void Tfmain::ShowNewCount(const TPOP3Rec& account, const std::string& note)
{
    const int count = static_cast<int>(std::count_if(HeaderRecords().begin(), HeaderRecords().end(),
                                                     [](const auto& record) { return record->New; }));
    // The list may have changed while the server worked: the account is found again.
    for (int row = 0; row < poplist->count(); ++row) {
        QListWidgetItem* item = poplist->item(row);
        const TAccountLines lines = AccountOfItem(item);
        if (lines.Address == account.Address && lines.User == account.User)
            SetAccountNewCount(item, count);
    }
    if (!note.empty())
        barPanel1->setText(ToQt(note));
    ShowTrayCounts();
    if (!AppSettings().Notify)
        return;
    std::vector<TNewMessageLine> lines;
    for (const auto& record : HeaderRecords())
        if (record->New)
            lines.push_back({record->FromText(), record->SubjectText()});
    NotifyNewMail(lines);
}

void Tfmain::FillHeaderList()
{
    headlist->Clear();
    std::vector<THeaderRow*> rows;
    for (const std::shared_ptr<TMessageHeader>& record : HeaderRecords())
        if (!record->Deleted)
            rows.push_back(new THeaderRow(RowDataOf(*record), record));
    headlist->AddRows(rows);
    ShowOnlyNewRows();
    THeaderRow* first = nullptr;
    for (int row = 0; row < headlist->RowCount() && !first; ++row)
        if (!headlist->Row(row)->isHidden())
            first = headlist->Row(row);
    if (!first)
        return;
    // Selecting the first row shows its message and refreshes the commands.
    headlist->setCurrentItem(first);
    headlist->setFocus();
}

void Tfmain::ShowOnlyNewRows()
{
    const bool newOnly = mNewOnly->isChecked();
    for (int row = 0; row < headlist->RowCount(); ++row) {
        THeaderRow* item = headlist->Row(row);
        // Every row of a new list is shown: only a change costs the view a new layout.
        const bool hidden = newOnly && !item->IsNew();
        if (item->isHidden() != hidden)
            item->setHidden(hidden);
    }
}

void Tfmain::DownloadMessage()
{
    THeaderRow* row = headlist->Row(FShownIndex);
    if (!row)
        return;
    const std::shared_ptr<TMessageHeader> record = row->Record();
    if (!record || record->Downloaded || RefusedWhileBusy())
        return;
    // The message arrives into an object of its own; the record takes it on this thread.
    auto whole = std::make_shared<std::unique_ptr<TIdMessage>>();
    auto retrNote = std::make_shared<std::string>();
    TServerCommand command;
    command.Text = DownloadingText;
    command.ProgressMaximum = record->Msg->Tag;
    command.Account = FListOwnerItem;
    command.Job = [record, whole, retrNote] { *whole = record->Retrieve(retrNote.get()); };
    command.Done = [this, record, whole, retrNote](std::exception_ptr failure) {
        if (failure)
            return;
        record->TakeDownload(std::move(*whole), std::move(*retrNote));
        if (!record->DownloadNote().empty())
            bar->showMessage(ToQt(record->DownloadNote()), DownloadNoteMs);
        // Another row may have been chosen while the message arrived; it stays shown.
        const THeaderRow* shown = headlist->Row(FShownIndex);
        if (shown && shown->Record() == record) {
            EnableMessageCommands(record->Downloaded);
            ShowMessageText(*memo, PaneText(*record, ShownText(*record)));
        }
    };
    RunOnServer(std::move(command));
}

// Only the attachment lines the program wrote are attachment links; a link in the
// message itself goes to the desktop, whatever it looks like.
void Tfmain::memoURLClick(const std::string& link)
{
    if (std::optional<std::string> attachment = AttachmentLinkOf(link))
        OpenAttachmentLink(*attachment);
    else
        OpenWithShell(WebAddress(link));
}

void Tfmain::OpenAttachmentLink(const std::string& link)
{
    THeaderRow* row = headlist->Row(FShownIndex);
    if (!row)
        return;
    const std::shared_ptr<TMessageHeader> record = row->Record();
    if (record && record->Downloaded)
        record->SaveAttachment(link);
}

// ---- deletion ----

bool Tfmain::MultipleSelected() const
{
    return headlist->MultipleSelected();
}

void Tfmain::DeleteMessages()
{
    if (RefusedWhileBusy())
        return;
    std::vector<THeaderRow*> rows;
    if (MultipleSelected()) {
        if (!UserInterface().AskYesNo("Warning", DeleteSelectedQuestion))
            return;
        // From the bottom up, by the rows themselves: a sort while the deletion runs must
        // not make it miss or repeat a row.
        rows = headlist->SelectedRowsBottomUp();
    } else {
        if (!headlist->Row(FShownIndex))
            return;
        if (!UserInterface().AskYesNo("Warning", DeleteShownQuestion))
            return;
        rows.push_back(headlist->Row(FShownIndex));
    }
    DeleteRows(rows);
}

// The deletions happen on one connection that ends with QUIT; the rows of the messages
// the server has carried out go, also when a later one failed. The rows stay in the list
// meanwhile: neither a check nor another deletion can start before this one ends.
void Tfmain::DeleteRows(const std::vector<THeaderRow*>& rows)
{
    std::vector<std::shared_ptr<TMessageHeader>> records;
    for (THeaderRow* row : rows)
        if (std::shared_ptr<TMessageHeader> record = row->Record())
            records.push_back(std::move(record));
    if (records.empty() || RefusedWhileBusy())
        return;
    TServerCommand command;
    command.Text = DeletingText;
    command.Account = FListOwnerItem;
    command.CutShortText = DeletionCutShortText;
    command.Job = [records] { ::DeleteMessages(records); };
    command.Done = [this, rows, records](std::exception_ptr failure) {
        RemoveDeletedRows(rows);
        if (!failure || records.size() < 2)
            return;
        try {
            std::rethrow_exception(failure);
        } catch (const EOperationCancelled&) {
            throw;
        } catch (const std::exception& error) {
            throw Exception(std::string(error.what()) + "\r\n\r\n" + DeletionSummary(records));
        }
    };
    RunOnServer(std::move(command));
}

void Tfmain::RemoveDeletedRows(const std::vector<THeaderRow*>& rows)
{
    for (THeaderRow* row : rows) {
        const std::shared_ptr<TMessageHeader> record = row->Record();
        // Events ran during the deletion: the row may stand elsewhere now.
        const int index = headlist->IndexOf(row);
        if (!record || !record->Deleted || index < 0)
            continue;
        const bool shownRemoved = index == FShownIndex;
        FShownIndex = ShownIndexAfterRemoval(FShownIndex, index);
        headlist->RemoveRow(index);
        if (shownRemoved)
            ClearShownMessage();
    }
}

void Tfmain::DeleteRow(int index)
{
    if (THeaderRow* row = headlist->Row(index))
        DeleteRows({row});
}

void Tfmain::ClearShownMessage()
{
    // The deleted message is no longer shown: no text, and nothing to download or delete.
    FShownIndex = -1;
    memo->SetText("");
    UpdateCommands();
}

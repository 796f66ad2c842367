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
#include "Progress.h"
#include "ProgressPanel.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"
#include "udm.h"

#include <QApplication>
#include <QListWidget>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <algorithm>

namespace {

const std::string CheckingText = "Kontrola zpráv ";
const std::string DownloadingText = "Stahuji zprávu...";
const std::string DeleteSelectedQuestion = "Vymazat vybrané zprávy, opravdu?";
const std::string DeleteShownQuestion = "Vymazat vybranou zprávu, opravdu?";

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
    data.New = record.New;
    return data;
}

// Before a download the header lines come with their decoded fields above them.
std::string ShownText(const TMessageHeader& record)
{
    return record.Downloaded ? record.GetText() : DecodedHeaderLines(*record.Msg) + record.GetText();
}

// Hides the progress panel when the operation ends, however it ends.
class TProgressShown {
public:
    TProgressShown(Tfmain& window, const std::string& text, int maximum) : FWindow(window)
    {
        FWindow.ShowProgress(text, maximum);
    }
    ~TProgressShown() { FWindow.ShowProgress("", CheckProgressMaximum); }

private:
    Tfmain& FWindow;
};

} // namespace

TServerOperation::TServerOperation(Tfmain& window) : FWindow(window), FStarted(!window.FServerBusy)
{
    if (FStarted)
        FWindow.FServerBusy = true;
}

TServerOperation::~TServerOperation()
{
    if (!FStarted)
        return;
    FWindow.FServerBusy = false;
    // A close asked for while the operation ran is carried out now that it has returned.
    if (FWindow.FCloseRequested) {
        FWindow.FCloseRequested = false;
        QTimer::singleShot(0, &FWindow, &QWidget::close);
    }
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
    QApplication::processEvents();
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
    ShowMessageText(*memo, ShownText(*record), record->Downloaded);
}

void Tfmain::CheckAccount()
{
    if (!SelectedAccountItem())
        return;
    TServerOperation operation(*this);
    if (!operation.Started())
        return;
    FShownIndex = -1;
    const TPOP3Rec account = GetSelectedAccount();
    TProgressShown progressShown(*this, CheckingText + account.Address, CheckProgressMaximum);
    std::shared_ptr<TPOP3> session = CreateSession(account);
    barPanel2->clear();
    try {
        CheckMailbox(session);
    } catch (const EIdTlsError& refusal) {
        // Trusted now, the check runs again; the certificate must be the one shown.
        if (!TrustRefusedCertificate({account.Address, account.Host, account.User}, refusal))
            throw;
        session = CreateSession(account);
        CheckMailbox(session);
    }
    barPanel2->setText(ToQt(ConnectionSecurityText(*session)));
    ShowNewCount(account, RememberCheck(*session, HeaderRecords()));
    FillHeaderList();
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
    ProcessPendingEvents();
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
    for (int row = 0; row < headlist->RowCount(); ++row)
        headlist->Row(row)->setHidden(newOnly && !headlist->Row(row)->Data().New);
}

void Tfmain::DownloadMessage()
{
    THeaderRow* row = headlist->Row(FShownIndex);
    if (!row)
        return;
    const std::shared_ptr<TMessageHeader> record = row->Record();
    if (!record || record->Downloaded)
        return;
    TServerOperation operation(*this);
    if (!operation.Started())
        return;
    TProgressShown progressShown(*this, DownloadingText, record->Msg->Tag);
    record->Download();
    // Another row may have been chosen while the message arrived; it stays shown.
    if (headlist->Row(FShownIndex) == row) {
        EnableMessageCommands(record->Downloaded);
        ShowMessageText(*memo, record->GetText(), record->Downloaded);
    }
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
    TServerOperation operation(*this);
    if (!operation.Started())
        return;
    std::vector<THeaderRow*> rows;
    if (MultipleSelected()) {
        if (!UserInterface().AskYesNo("Warning", DeleteSelectedQuestion))
            return;
        // From the bottom up, by the rows themselves: pending events run during the
        // deletion, and a sort meanwhile must not make the loop miss or repeat a row.
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
// the server has carried out go, also when a later one failed.
void Tfmain::DeleteRows(const std::vector<THeaderRow*>& rows)
{
    std::vector<std::shared_ptr<TMessageHeader>> records;
    for (THeaderRow* row : rows)
        if (std::shared_ptr<TMessageHeader> record = row->Record())
            records.push_back(std::move(record));
    struct TRowsRemoved {
        Tfmain& Window;
        const std::vector<THeaderRow*>& Rows;
        ~TRowsRemoved() { Window.RemoveDeletedRows(Rows); }
    } rowsRemoved{*this, rows};
    ::DeleteMessages(records);
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

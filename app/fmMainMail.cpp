// The mail commands of the main window: the mailbox check with its progress panel, the
// message shown in the detail pane and its download, links in the message text, and
// the deletion of messages on the server.
#include "fmMain.h"

#include "Cp1250.h"
#include "HeaderList.h"
#include "MessageView.h"
#include "ProgressPanel.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>

namespace {

const std::string DeleteSelectedQuestion = Cp1250FromUtf8("Vymazat vybrané zprávy, opravdu?");
const std::string DeleteShownQuestion = Cp1250FromUtf8("Vymazat vybranou zprávu, opravdu?");

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

bool Tfmain::evMessage(QEvent*)
{
    return false;
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
    if (!shown->Record())
        return;
}

void Tfmain::CheckAccount()
{
    if (!SelectedAccountItem())
        return;
}

void Tfmain::DownloadMessage()
{
    THeaderRow* row = headlist->Row(FShownIndex);
    if (!row || !row->Record())
        return;
}

void Tfmain::memoURLClick(const std::string& link)
{
    if (std::optional<std::string> attachment = AttachmentLinkOf(link))
        OpenAttachmentLink(*attachment);
    else
        UserInterface().OpenUrl(link);
}

void Tfmain::OpenAttachmentLink(const std::string&)
{
    THeaderRow* row = headlist->Row(FShownIndex);
    if (!row || !row->Record())
        return;
}

// ---- deletion ----

bool Tfmain::MultipleSelected() const
{
    return headlist->MultipleSelected();
}

void Tfmain::DeleteMessages()
{
    if (MultipleSelected()) {
        if (!UserInterface().AskYesNo("Warning", DeleteSelectedQuestion))
            return;
        // From the bottom up, by the rows themselves: pending events run during every
        // deletion, and a sort meanwhile must not make the loop miss or repeat a row.
        for (THeaderRow* row : headlist->SelectedRowsBottomUp()) {
            const int index = headlist->IndexOf(row);
            if (index >= 0)
                DeleteRow(index);
        }
        return;
    }
    if (!headlist->Row(FShownIndex))
        return;
    if (!UserInterface().AskYesNo("Warning", DeleteShownQuestion))
        return;
    DeleteRow(FShownIndex);
}

void Tfmain::DeleteRow(int index)
{
    THeaderRow* row = headlist->Row(index);
    if (!row || !row->Record())
        return;
}

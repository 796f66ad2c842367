#include "fmMain.h"

#include "AccountListItem.h"
#include "Exception.h"
#include "HeaderList.h"
#include "HelpFile.h"
#include "KormoranApplication.h"
#include "LinkLabel.h"
#include "Progress.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "UserInterface.h"
#include "WindowSettings.h"
#include "fmAbout.h"
#include "fmEdit.h"
#include "fmHelp.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

Tfmain* fmain = nullptr;

namespace {

const std::string CheckCaption = "Kontrola zpráv";
const std::string NewAccountCaption = "Nový e-mail účet";
const std::string EditAccountCaption = "Edit e-mail účet";
const std::string DeleteAccountQuestion = "Vymazat účet, opravdu?";

const int ContentsTopic = 1;
const int CancelledMessageMs = 10000;
const int MainWindowTopic = 30;

// Where the window stands before the settings file is read.
const QRect DesignGeometry(213, 144, 599, 516);

} // namespace

Tfmain::Tfmain(QWidget* parent) : QMainWindow(parent)
{
    fmain = this;
    FPreviousWorkListener = SetWorkListener(PostingTo(this));
    Build(this);
    setGeometry(DesignGeometry);
    ConnectCommands();
    try {
        FormCreate();
    } catch (...) {
        evException();
    }
}

Tfmain::~Tfmain()
{
    SetWorkListener(std::move(FPreviousWorkListener));
    if (fmain == this)
        fmain = nullptr;
}

void Tfmain::ConnectCommands()
{
    for (QAction* action : {tNew, mNewAcc, pNew})
        connect(action, &QAction::triggered, this, &Tfmain::NewAccClick);
    for (QAction* action : {tEdit, mEditAcc, pEdit})
        connect(action, &QAction::triggered, this, &Tfmain::EditAccClick);
    for (QAction* action : {tDel, mDelAcc, pDel})
        connect(action, &QAction::triggered, this, &Tfmain::DelAccClick);
    for (QAction* action : {tCheck, mCheck, pCheck})
        connect(action, &QAction::triggered, this, &Tfmain::CheckAccClick);
    for (QAction* action : {tDownload, mDown, hDown})
        connect(action, &QAction::triggered, this, &Tfmain::lDownClick);
    for (QAction* action : {tDelete, mmDel, hDel})
        connect(action, &QAction::triggered, this, &Tfmain::mmDelClick);
    connect(lDown, &TLinkLabel::clicked, this, &Tfmain::lDownClick);
    connect(lDelete, &TLinkLabel::clicked, this, &Tfmain::mmDelClick);
    connect(Vybratve1, &QAction::triggered, this, &Tfmain::Vybratve1Click);
    for (QAction* action : {lHelp, mHelp})
        connect(action, &QAction::triggered, this, &Tfmain::lHelpClick);
    for (QAction* action : {tAbout, About1})
        connect(action, &QAction::triggered, this, &Tfmain::About1Click);
    connect(Exit1, &QAction::triggered, this, &Tfmain::Exit1Click);
    connect(cancelButton, &QPushButton::clicked, this, [] { CancelServerOperation(); });

    connect(poplist, &QListWidget::itemSelectionChanged, this, &Tfmain::UpdateCommands);
    connect(poplist, &QListWidget::itemDoubleClicked, this, &Tfmain::EditAccClick);
    connect(poplist, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pop3popupPopup();
        pop3popup->popup(poplist->viewport()->mapToGlobal(at));
    });
    headlist->OnSelectItem = [this](int row) { headlistSelectItem(row); };
    connect(headlist->header(), &QHeaderView::sectionClicked, this, &Tfmain::headlistColumnClick);
    memo->OnURLClick = [this](TRxRichEdit*, const std::string& link, TMouseButton) { memoURLClick(link); };
    connect(headlist, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        pop3popupPopup();
        headpopup->popup(headlist->viewport()->mapToGlobal(at));
    });
    poplist->installEventFilter(this);
    headlist->installEventFilter(this);
    qApp->installEventFilter(this);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [] { ShowHelpTopic(ApplicationHelpFile(), MainWindowTopic); });
}

// ---- start, activation, resize, close ----

void Tfmain::FormCreate()
{
    SetApplicationHelpFile(AppFilePath("Kormoran.hlp"));
    FShownIndex = -1;
    LoadAccounts();
    LoadSettings();
}

void Tfmain::FormActivate()
{
    UpdateCommands();
    AdjustColumns();
    ShowAboutBox();
}

bool Tfmain::event(QEvent* event)
{
    // Closing a modal window activates the main window again; only the first
    // activation after start-up counts.
    if (event->type() == QEvent::WindowActivate && !FActivated) {
        FActivated = true;
        QTimer::singleShot(0, this, &Tfmain::FormActivate);
    }
    return QMainWindow::event(event);
}

void Tfmain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    AdjustColumns();
}

void Tfmain::closeEvent(QCloseEvent* event)
{
    if (FServerBusy) {
        FCloseRequested = true;
        event->ignore();
        return;
    }
    try {
        SaveSettings();
        event->accept();
    } catch (...) {
        evException();
        event->ignore();
    }
}

// ---- commands ----

void Tfmain::UpdateCommands()
{
    QListWidgetItem* account = SelectedAccountItem();
    for (QAction* action : {tCheck, mCheck, pCheck, tEdit, mEditAcc, pEdit, tDel, mDelAcc, pDel})
        action->setEnabled(account != nullptr);
    bool messageShown = FShownIndex >= 0;
    for (QAction* action : {tDelete, mmDel, hDel})
        action->setEnabled(messageShown);
    lDelete->setEnabled(messageShown);
    if (!messageShown) {
        for (QAction* action : {tDownload, mDown, hDown})
            action->setEnabled(false);
        lDown->setEnabled(false);
    }
    std::string check = account ? CheckCaption + "   (" + FromQt(account->text()) + ")" : CheckCaption;
    mCheck->setText(ToQt(check));
    pCheck->setText(ToQt(check));
}

void Tfmain::EnableMessageCommands(bool downloaded)
{
    for (QAction* action : {tDownload, mDown, hDown})
        action->setEnabled(!downloaded);
    lDown->setEnabled(!downloaded);
    bool messageShown = FShownIndex >= 0;
    for (QAction* action : {tDelete, mmDel, hDel})
        action->setEnabled(messageShown);
    lDelete->setEnabled(messageShown);
}

void Tfmain::AdjustColumns()
{
    headlist->AdjustColumns();
}

void Tfmain::pop3popupPopup()
{
    UpdateCommands();
}

void Tfmain::NewAccClick() { NewAccount(); }
void Tfmain::EditAccClick() { EditAccount(); }
void Tfmain::DelAccClick() { DeleteAccount(); }

void Tfmain::CheckAccClick() { RunCancellable([this] { CheckAccount(); }); }
void Tfmain::lDownClick() { RunCancellable([this] { DownloadMessage(); }); }
void Tfmain::mmDelClick() { RunCancellable([this] { DeleteMessages(); }); }

// The user pressed "Přerušit" and knows why the operation ended: the status bar says so,
// no error box.
void Tfmain::RunCancellable(const std::function<void()>& command)
{
    try {
        command();
    } catch (const EOperationCancelled& cancelled) {
        statusBar()->showMessage(ToQt(cancelled.Message), CancelledMessageMs);
    }
}
void Tfmain::Vybratve1Click() { headlist->SelectAll(); }

void Tfmain::lHelpClick()
{
    ShowHelpTopic(ApplicationHelpFile(), ContentsTopic);
}

void Tfmain::About1Click()
{
    ShowAboutBox();
}

void Tfmain::Exit1Click()
{
    close();
}

// ---- keys in the lists ----

bool Tfmain::eventFilter(QObject* watched, QEvent* event)
{
    if (evMessage(event))
        return true;
    if (event->type() == QEvent::KeyPress) {
        int key = static_cast<QKeyEvent*>(event)->key();
        if (watched == poplist)
            return poplistKeyDown(key);
        if (watched == headlist)
            return headlistKeyDown(key);
    }
    return QMainWindow::eventFilter(watched, event);
}

bool Tfmain::poplistKeyDown(int key)
{
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EditAccount();
        return true;
    case Qt::Key_Insert:
        NewAccount();
        return true;
    case Qt::Key_Delete:
        DeleteAccount();
        return true;
    default:
        return false;
    }
}

bool Tfmain::headlistKeyDown(int key)
{
    if (key != Qt::Key_Delete)
        return false;
    DeleteMessages();
    return true;
}

// ---- account store ----

QListWidgetItem* Tfmain::SelectedAccountItem() const
{
    QList<QListWidgetItem*> selected = poplist->selectedItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void Tfmain::AddAccountItem(const TAccountLines& account)
{
    SetAccountItem(new QListWidgetItem(poplist), account, img[0]);
}

std::vector<TAccountLines> Tfmain::AccountItems() const
{
    std::vector<TAccountLines> accounts;
    for (int row = 0; row < poplist->count(); ++row)
        accounts.push_back(AccountOfItem(poplist->item(row)));
    return accounts;
}

void Tfmain::LoadAccounts()
{
    poplist->clear();
    for (const TAccountLines& account : LoadAccountFile(AppFilePath("accounts.dat")))
        AddAccountItem(account);
}

void Tfmain::SaveAccounts()
{
    SaveAccountFile(AppFilePath("accounts.dat"), AccountItems());
}

TPOP3Rec Tfmain::GetSelectedAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item)   // a command that lost its account on the way
        throw EListError::OutOfBounds(-1);
    TPOP3Rec account = RecordFromLines(AccountOfItem(item));
    barPanel0->setText(ToQt(account.Address));
    return account;
}

void Tfmain::NewAccount()
{
    TPOP3Rec account = NewAccountRecord();
    if (!EditAccountDialog(account, NewAccountCaption))
        return;
    AddAccountItem(LinesFromRecord(account));
    poplist->doItemsLayout();
    SaveAccounts();
}

void Tfmain::EditAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item)
        return;
    TPOP3Rec account = GetSelectedAccount();
    if (!EditAccountDialog(account, EditAccountCaption))
        return;
    SetAccountItem(item, LinesFromRecord(account), img[0]);
    SaveAccounts();
}

void Tfmain::DeleteAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item)
        return;
    if (!UserInterface().AskYesNo("Warning", DeleteAccountQuestion))
        return;
    delete item;
    SaveAccounts();
}

std::string Tfmain::StatusPanelText(int panel) const
{
    return FromQt((panel == 0 ? barPanel0 : panel == 1 ? barPanel1 : barPanel2)->text());
}

// ---- window settings ----

namespace {

// Positions are used as read, off the screen too, within the coordinates a window
// system can hold; near the ends of the integer range the geometry sums would overflow.
int WithinCoordinates(int32_t position)
{
    return std::clamp(position, -32768, 32767);
}

// Sizes are kept within the desktop, as the window system would: a size of millions of
// pixels would exhaust the memory.
int WithinDesktop(int32_t size, int desktopSize)
{
    return std::clamp(size, 0, std::max(desktopSize, 1));
}

} // namespace

void Tfmain::LoadSettings()
{
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    TIniFile ini(SettingsFilePath());
    move(x(), WithinCoordinates(ReadSetting(ini, SettingTop)));
    move(WithinCoordinates(ReadSetting(ini, SettingLeft)), y());
    resize(width(), WithinDesktop(ReadSetting(ini, SettingHeight), desktop.height()));
    resize(WithinDesktop(ReadSetting(ini, SettingWidth), desktop.width()), height());
    Panel1->setFixedWidth(WithinDesktop(ReadSetting(ini, SettingVertical), desktop.width()));
    Panel3->setFixedHeight(WithinDesktop(ReadSetting(ini, SettingHorizontal), desktop.height()));
}

void Tfmain::SaveSettings()
{
    TIniFile ini(SettingsFilePath());
    WriteSetting(ini, SettingTop, y());
    WriteSetting(ini, SettingLeft, x());
    WriteSetting(ini, SettingHeight, height());
    WriteSetting(ini, SettingWidth, width());
    WriteSetting(ini, SettingVertical, Panel1->width());
    WriteSetting(ini, SettingHorizontal, Panel3->height());
}

#include "fmMain.h"

#include <algorithm>

#include "AccountListItem.h"
#include "Exception.h"
#include "FileLocations.h"
#include "HeaderList.h"
#include "HelpFile.h"
#include "Keyring.h"
#include "KormoranApplication.h"
#include "LinkLabel.h"
#include "Progress.h"
#include "ScreenPlacement.h"
#include "TrayIcon.h"
#include "fmSettings.h"
#include "QtText.h"
#include "RxRichEd.h"
#include "TriageCommands.h"
#include "UserInterface.h"
#include "WindowSettings.h"
#include "fmAbout.h"
#include "fmEdit.h"
#include "fmHelp.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QStatusBar>
#include <QScreen>
#include <QShortcut>
#include <QTimer>

Tfmain* fmain = nullptr;

namespace {

const std::string CheckCaption = "Kontrola zpráv";
const std::string CheckAccessKey = "&";   // before the caption: K chooses it in a menu
const std::string NewAccountCaption = "Nový e-mail účet";
const std::string EditAccountCaption = "Upravit e-mail účet";
// The question names the account: "Vymazat účet petr@example.cz, opravdu?"
const std::string DeleteAccountQuestionStart = "Vymazat účet ";
const std::string DeleteAccountQuestionEnd = ", opravdu?";
const std::string KeptInFileText = "Hesla zůstala v souboru accounts.dat: ";

const int ContentsTopic = 1;
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
    ConnectServerWorker();
    try {
        FormCreate();
    } catch (...) {
        evException();
    }
    FTray = std::make_unique<TTrayIcon>(windowIcon(), [this] { BringBack(); }, [this] { Exit1Click(); });
}

Tfmain::~Tfmain()
{
    // Nothing of the worker's may reach the window once it starts to go.
    FWorker.reset();
    SetWorkListener(std::move(FPreviousWorkListener));
    if (fmain == this)
        fmain = nullptr;
}

void Tfmain::ConnectCommands()
{
    FTriage = new TTriageCommands(*headlist, *headpopup);
    for (QAction* action : {tNew, mNewAcc, pNew})
        connect(action, &QAction::triggered, this, &Tfmain::NewAccClick);
    for (QAction* action : {tEdit, mEditAcc, pEdit})
        connect(action, &QAction::triggered, this, &Tfmain::EditAccClick);
    for (QAction* action : {tDel, mDelAcc, pDel})
        connect(action, &QAction::triggered, this, &Tfmain::DelAccClick);
    for (QAction* action : {tCheck, mCheck, pCheck})
        connect(action, &QAction::triggered, this, &Tfmain::CheckAccClick);
    for (QAction* action : {tCheckAll, mCheckAll})
        connect(action, &QAction::triggered, this, &Tfmain::CheckAllAccounts);
    for (QAction* action : {tDownload, mDown, hDown})
        connect(action, &QAction::triggered, this, &Tfmain::lDownClick);
    for (QAction* action : {tDelete, mmDel, hDel})
        connect(action, &QAction::triggered, this, &Tfmain::mmDelClick);
    connect(lDown, &TLinkLabel::clicked, this, &Tfmain::lDownClick);
    connect(lDelete, &TLinkLabel::clicked, this, &Tfmain::mmDelClick);
    connect(Vybratve1, &QAction::triggered, this, &Tfmain::Vybratve1Click);
    connect(mNewOnly, &QAction::toggled, this, &Tfmain::ShowOnlyNewRows);
    connect(mSettings, &QAction::triggered, this, &Tfmain::SettingsClick);
    for (QAction* action : {lHelp, mHelp})
        connect(action, &QAction::triggered, this, &Tfmain::lHelpClick);
    for (QAction* action : {tAbout, About1})
        connect(action, &QAction::triggered, this, &Tfmain::About1Click);
    connect(Exit1, &QAction::triggered, this, &Tfmain::Exit1Click);

    connect(poplist, &QListWidget::itemSelectionChanged, this, &Tfmain::UpdateCommands);
    connect(poplist, &QListWidget::itemSelectionChanged, this, &Tfmain::ShowKeptRecords);
    connect(poplist, &QListWidget::itemDoubleClicked, this, &Tfmain::EditAccClick);
    connect(poplist, &QWidget::customContextMenuRequested, this, &Tfmain::OpenAccountMenu);
    headlist->OnSelectItem = [this](int row) { headlistSelectItem(row); };
    connect(headlist->header(), &QHeaderView::sectionClicked, this, &Tfmain::headlistColumnClick);
    memo->OnURLClick = [this](TRxRichEdit*, const std::string& link, TMouseButton) { memoURLClick(link); };
    connect(headlist, &QWidget::customContextMenuRequested, this, &Tfmain::OpenHeaderMenu);
    poplist->installEventFilter(this);
    headlist->installEventFilter(this);
    qApp->installEventFilter(this);

    auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(f1, &QShortcut::activated, this, [] { ShowHelpTopic(ApplicationHelpFile(), MainWindowTopic); });
    ConnectKeyboard();
}

namespace {

// listed holds meant's lines, or meant's lines without the password the keyring took.
bool SameAccount(const TAccountLines& listed, const TAccountLines& meant)
{
    TAccountLines withoutPassword = meant;
    withoutPassword.Password.clear();
    return listed == meant || listed == withoutPassword;
}

// "&" in a text that becomes part of a menu caption is a "&", not an access key.
QString MenuText(const std::string& text)
{
    return ToQt(text).replace('&', "&&");
}

bool IsContextMenuKey(const QKeyEvent& key)
{
    return key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
}

// Where a context menu opened by key stands: at the current item, else at the top left.
QPoint ContextMenuPlace(const QAbstractItemView& list)
{
    const QRect current = list.visualRect(list.currentIndex());
    return current.isValid() ? current.center() : QPoint(4, 4);
}

} // namespace

void Tfmain::ConnectKeyboard()
{
    // F10 opens the first menu; the arrow keys go on from there.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(f10, &QShortcut::activated, this, [this] { menuBar()->setActiveAction(menuBar()->actions().front()); });
}

void Tfmain::OpenAccountMenu(const QPoint& at)
{
    pop3popupPopup();
    pop3popup->popup(poplist->viewport()->mapToGlobal(at));
}

void Tfmain::OpenHeaderMenu(const QPoint& at)
{
    pop3popupPopup();
    headpopup->popup(headlist->viewport()->mapToGlobal(at));
}

bool Tfmain::ContextMenuKeyDown(QObject* watched)
{
    if (watched == poplist)
        OpenAccountMenu(ContextMenuPlace(*poplist));
    else if (watched == headlist)
        OpenHeaderMenu(ContextMenuPlace(*headlist));
    else
        return false;
    return true;
}

// ---- start, activation, resize, close ----

void Tfmain::FormCreate()
{
    SetApplicationHelpFile(HelpFilePath());
    FShownIndex = -1;
    LoadAccounts();
    LoadSettings();
    ScheduleChecks();
    if (FAppSettings.CheckAtStart)
        QTimer::singleShot(0, this, &Tfmain::ScheduledCheck);
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
    if (event->oldSize().isValid())
        ShareHeightChange(event->size().height() - event->oldSize().height());
    AdjustColumns();
}

// The header list and the detail pane share a change of the window's height half and
// half, so a larger window shows more rows too.
void Tfmain::ShareHeightChange(int change)
{
    if (change == 0 || !isVisible())
        return;
    Panel3->setFixedHeight(std::max(0, Panel3->height() + change / 2));
}

void Tfmain::closeEvent(QCloseEvent* event)
{
    // Hidden in the tray, the window goes on working; really closing cuts the operation short.
    if (FAppSettings.CloseToTray && !FQuitting && FTray && FTray->Shown()) {
        hide();
        event->ignore();
        return;
    }
    FQuitting = false;
    CutServerOperationShort();
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
    QString check = ToQt(CheckAccessKey + CheckCaption);
    if (account)
        check += MenuText("   (" + AccountOfItem(account).Address + ")");
    mCheck->setText(check);
    pCheck->setText(check);
    for (QAction* action : {tCheckAll, mCheckAll})
        action->setEnabled(poplist->count() > 0);
    if (ServerBusy())
        DisableConflictingCommands();
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
    if (ServerBusy())
        DisableConflictingCommands();
}

// One operation at a time: no second check, download or deletion meanwhile, and the
// account it works for is neither changed nor deleted. Everything else stays usable.
void Tfmain::DisableConflictingCommands()
{
    for (QAction* action : {tCheck, mCheck, pCheck, tCheckAll, mCheckAll, tDownload, mDown, hDown, tDelete, mmDel, hDel})
        action->setEnabled(false);
    lDown->setEnabled(false);
    lDelete->setEnabled(false);
    if (FOperationAccount && SelectedAccountItem() == FOperationAccount)
        for (QAction* action : {tEdit, mEditAcc, pEdit, tDel, mDelAcc, pDel})
            action->setEnabled(false);
}

void Tfmain::RefreshCommands()
{
    UpdateCommands();
    const THeaderRow* shown = headlist->Row(FShownIndex);
    if (const std::shared_ptr<TMessageHeader> record = shown ? shown->Record() : nullptr)
        EnableMessageCommands(record->Downloaded);
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

void Tfmain::CheckAccClick() { CheckAccount(); }
void Tfmain::lDownClick() { DownloadMessage(); }
void Tfmain::mmDelClick() { DeleteMessages(); }
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
    FQuitting = true;
    close();
}

void Tfmain::SettingsClick()
{
    TAppSettings settings = FAppSettings;
    if (!EditSettingsDialog(settings, this))
        return;
    TIniFile ini(SettingsFilePath());
    WriteAppSettings(ini, settings);
    FAppSettings = settings;
    ScheduleChecks();
}

bool Tfmain::StartsHidden() const
{
    return FAppSettings.StartInTray && FTray && FTray->Shown();
}

void Tfmain::BringBack()
{
    showNormal();
    raise();
    activateWindow();
}

void Tfmain::ShowTrayCounts()
{
    std::vector<TAccountNewCount> counts;
    for (int row = 0; row < poplist->count(); ++row)
        counts.push_back({AccountOfItem(poplist->item(row)).Address, AccountNewCount(poplist->item(row))});
    FTray->ShowCounts(counts);
}

// ---- keys in the lists ----

bool Tfmain::eventFilter(QObject* watched, QEvent* event)
{
    if (evMessage(event))
        return true;
    if (watched == poplist && event->type() == QEvent::Resize)
        FitAccountCaptions();
    if (event->type() == QEvent::KeyPress) {
        if (IsContextMenuKey(*static_cast<QKeyEvent*>(event)) && ContextMenuKeyDown(watched))
            return true;
        int key = static_cast<QKeyEvent*>(event)->key();
        if (CancelKeyDown(watched, key))
            return true;
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
    for (const TAccountLines& account : LoadAccountFile(AccountFilePath()))
        AddAccountItem(account);
}

// Another writer may have changed the file since it was read: the change is made on the
// file as it is now, and the list then shows what the file holds, with shown selected.
void Tfmain::ApplyAccountChange(const TAccountChange& change, const TAccountLines& shown)
{
    // Passwords go to the keyring under the file's lock; a line loses its password only
    // once the keyring has given it back.
    std::string keyringFailure;
    const TAccountChange changeAndMove = [&](std::vector<TAccountLines>& accounts) {
        change(accounts);
        keyringFailure = MovePasswordsToKeyring(accounts);
    };
    ShowAccounts(UpdateAccountFile(AccountFilePath(), changeAndMove));
    poplist->doItemsLayout();
    if (!keyringFailure.empty())
        barPanel1->setText(ToQt(KeptInFileText + keyringFailure));
    // The account the user changed is the one the user goes on with: "Kontrola zpráv"
    // works at once.
    for (int row = 0; row < poplist->count(); ++row) {
        if (SameAccount(AccountOfItem(poplist->item(row)), shown)) {
            poplist->setCurrentRow(row);
            break;
        }
    }
}

// An item whose account is still in the file is kept, not made anew: an operation that
// runs for it, and the header list it owns, still know it by its item.
void Tfmain::ShowAccounts(const std::vector<TAccountLines>& accounts)
{
    std::vector<QListWidgetItem*> items;
    while (poplist->count() > 0)
        items.push_back(poplist->takeItem(0));
    for (const TAccountLines& account : accounts) {
        auto same = std::find_if(items.begin(), items.end(), [&](QListWidgetItem* item) {
            return item && AccountOfItem(item) == account;
        });
        if (same == items.end())
            same = std::find_if(items.begin(), items.end(), [&](QListWidgetItem* item) {
                return item && SameAccount(account, AccountOfItem(item));
            });
        if (same == items.end()) {
            AddAccountItem(account);
            continue;
        }
        // The keyring may have taken its password: the item holds the file's lines.
        SetAccountItem(*same, account, (*same)->icon());
        poplist->addItem(*same);
        *same = nullptr;
    }
    for (QListWidgetItem* gone : items) {
        if (!gone)
            continue;
        if (gone == FListOwnerItem)
            FListOwnerItem = nullptr;
        // Removed by another writer while an operation runs for it: it stays until then.
        if (gone == FOperationAccount) {
            poplist->addItem(gone);
            continue;
        }
        delete gone;
    }
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
    if (!EditAccountDialog(account, NewAccountCaption, this))
        return;
    const TAccountLines added = LinesFromRecord(account);
    ApplyAccountChange(AddAccountChange(added), added);
}

void Tfmain::EditAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item || (item == FOperationAccount && RefusedWhileBusy()))
        return;
    const TAccountLines before = AccountOfItem(item);
    TPOP3Rec account = GetSelectedAccount();
    const TKeyringAccount keyringBefore = KeyringAccountOf(before);
    const TPOP3Rec accountBefore = account;
    // The editor shows the password the keyring keeps, so it survives a changed server.
    if (account.Password.empty() && account.Login == lmPassword)
        account.Password = KeyringPasswordOrNothing(keyringBefore);
    if (!EditAccountDialog(account, EditAccountCaption, this))
        return;
    const TAccountLines edited = LinesFromRecord(account);
    ApplyAccountChange(EditAccountChange(before, edited), edited);
    const bool sameKey = KeyringKey(KeyringAccountOf(edited)) == KeyringKey(keyringBefore);
    if (!sameKey || account.Login == lmOAuth2)
        ForgetKeyringPassword(keyringBefore);
    // A refresh token belongs to the server and user it was issued for.
    if (accountBefore.Login == lmOAuth2 && (!sameKey || account.Login != lmOAuth2))
        ForgetSignIn(accountBefore);
}

void Tfmain::DeleteAccount()
{
    QListWidgetItem* item = SelectedAccountItem();
    if (!item || (item == FOperationAccount && RefusedWhileBusy()))
        return;
    const std::string address = AccountOfItem(item).Address;
    if (!UserInterface().AskYesNo("Warning", DeleteAccountQuestionStart + address + DeleteAccountQuestionEnd))
        return;
    // The question ran its own loop: an operation may have begun for this account meanwhile.
    if (item == FOperationAccount && RefusedWhileBusy())
        return;
    if (item == FListOwnerItem)
        FListOwnerItem = nullptr;
    const TAccountLines deleted = AccountOfItem(item);
    ApplyAccountChange(DeleteAccountChange(deleted), {});
    ForgetKeptRecords(deleted);
    ForgetKeyringPassword(KeyringAccountOf(deleted));
    const THostLine host = ParseHostLine(deleted.Host, 0);
    if (host.Login == lmOAuth2)
        ForgetSignIn({deleted.Address, host.Host, deleted.User, "", 0, host.Security, host.Login});
}

std::string Tfmain::StatusPanelText(int panel) const
{
    return FromQt((panel == 0 ? barPanel0 : panel == 1 ? barPanel1 : barPanel2)->text());
}

// ---- window settings ----

namespace {

// Positions are kept within the coordinates a window system can hold; near the ends of
// the integer range the geometry sums would overflow.
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

QList<QRect> AvailableScreenAreas()
{
    QList<QRect> areas;
    for (const QScreen* screen : QGuiApplication::screens())
        areas.push_back(screen->availableGeometry());
    return areas;
}

} // namespace

void Tfmain::LoadSettings()
{
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    TIniFile ini(SettingsFilePath());
    FAppSettings = ReadAppSettings(ini);
    // Without a stored width the window is as wide as its status bar text needs.
    TWindowSetting widthSetting = SettingWidth;
    widthSetting.Default = FittedWindowWidth();
    QRect frame(WithinCoordinates(ReadSetting(ini, SettingLeft)), WithinCoordinates(ReadSetting(ini, SettingTop)),
                WithinDesktop(ReadSetting(ini, widthSetting), desktop.width()),
                WithinDesktop(ReadSetting(ini, SettingHeight), desktop.height()));
    frame = PlacedOnScreens(frame, AvailableScreenAreas());
    move(frame.topLeft());
    resize(frame.size());
    Panel1->setFixedWidth(WithinDesktop(ReadSetting(ini, SettingVertical), desktop.width()));
    Panel3->setFixedHeight(WithinDesktop(ReadSetting(ini, SettingHorizontal), desktop.height()));
    KeepDividersWithinWindow();
    SetPreviewLines(ReadSetting(ini, SettingPreviewLines));
    SetDownloadWithRetr(ReadSetting(ini, SettingDownloadWithRetr) != 0);
}

namespace {

// Lays the window out at once, also while it is hidden, inner layouts first.
void LayOutNow(QWidget& window)
{
    QList<QWidget*> widgets = window.findChildren<QWidget*>();
    std::reverse(widgets.begin(), widgets.end());
    widgets.push_back(&window);
    for (QWidget* widget : widgets) {
        if (QLayout* layout = widget->layout()) {
            layout->invalidate();
            layout->activate();
        }
    }
}

} // namespace

void Tfmain::KeepDividersWithinWindow()
{
    // Dividers stored for a larger window would make this one grow past its size.
    const QSize stored = size();
    LayOutNow(*this);
    const QSize needed = minimumSizeHint();
    if (needed.width() > stored.width())
        Panel1->setFixedWidth(std::max(0, Panel1->width() - (needed.width() - stored.width())));
    if (needed.height() > stored.height())
        Panel3->setFixedHeight(std::max(0, Panel3->height() - (needed.height() - stored.height())));
    LayOutNow(*this);
    resize(stored);
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

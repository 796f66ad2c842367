#pragma once
// The main window: account list, header list, detail pane, toolbar, menus and status
// bar. Every user command starts in one of its handlers; the account store lives in
// its account list and in accounts.dat.

#include "AccountFile.h"
#include "AccountUpdate.h"
#include "AppSettings.h"
#include "MainWindowUi.h"
#include "NewMailNotice.h"
#include "Progress.h"
#include "ServerWorker.h"
#include "SignInRunner.h"
#include "udm.h"

#include <QMainWindow>
#include <QPointer>
#include <exception>
#include <functional>
#include <map>
#include <memory>

class QListWidgetItem;
class THeaderRow;
class TTriageCommands;
class TTrayIcon;

// A server operation as the window hands it to its worker.
struct TServerCommand {
    // Shown in the progress panel and the status bar while it runs.
    std::string Text;
    int ProgressMaximum = 8;
    // The account it works for: not to be changed or deleted meanwhile.
    QListWidgetItem* Account = nullptr;
    // Runs on the worker thread.
    TServerWorker::TJob Job;
    // Runs on the window's thread afterwards, with what Job raised; what it raises goes
    // to the user instead.
    std::function<void(std::exception_ptr failure)> Done;
    // Runs on the window's thread when Job failed, before Done: true when it has dealt
    // with the failure, by beginning the operation anew (a certificate the user trusted) or
    // by a question the user has answered; Done and the error box are then left out.
    std::function<bool(std::exception_ptr failure)> StartsAgain;
    // What the user is told when it was cut short; empty: the cancel's own words.
    std::string CutShortText;
};

class Tfmain : public QMainWindow, public TMainWindowUi, public TSignInRunner {
public:
    explicit Tfmain(QWidget* parent = nullptr);
    ~Tfmain() override;

    // Account store. Every change is saved at once; file errors raise EInOutError.
    void LoadAccounts();
    void ApplyAccountChange(const TAccountChange& change, const TAccountLines& shown);
    // The selected account; its address goes to status panel 0. Raises EConvertError
    // for a port that is not an integer, EListError when no account is selected.
    TPOP3Rec GetSelectedAccount();
    void NewAccount();
    void EditAccount();
    void DeleteAccount();

    // Window settings; SaveSettings raises EIniFileException.
    void LoadSettings();
    void SaveSettings();
    // Narrows the stored dividers until the window's parts fit its size.
    void KeepDividersWithinWindow();

    void UpdateCommands();
    void EnableMessageCommands(bool downloaded);
    void AdjustColumns();

    // The mail commands (fmMainMail.cpp). They run on the server worker and return at
    // once; the window shows their progress, and their results and failures when they end.
    // A check replaces the header list only when it succeeds.
    void CheckAccount();
    // "Zkontrolovat vše": the accounts one after another; a failure is shown by its account
    // (icon and tooltip) and the others go on. Refused, with a beep, while anything runs.
    void CheckAllAccounts();
    // A scheduled check: "Zkontrolovat vše" when nothing runs, else once the running
    // operation has ended; the ticks that come meanwhile make that one check.
    void ScheduledCheck();
    // One row per record of the last check that is not deleted; the first one shown.
    void FillHeaderList();
    void ShowNewCount(const TPOP3Rec& account, const std::string& note);
    // The "Jen nové" view: rows of messages that are not new are hidden while it is on.
    void ShowOnlyNewRows();
    // "Nastavení": the dialog, then kormoran.ini (EIniFileException).
    void SettingsClick();
    // The program's own settings as read at start or changed in the dialog.
    const TAppSettings& AppSettings() const { return FAppSettings; }
    // Start in the tray: the window is not shown at start while a tray icon is.
    bool StartsHidden() const;
    void ShowMessageHeader(int row);
    void DownloadMessage();
    void OpenAttachmentLink(const std::string& link);
    void DeleteMessages();
    bool MultipleSelected() const;
    void DeleteRow(int index);
    void DeleteRows(const std::vector<THeaderRow*>& rows);
    // After the shown message's row has gone: an empty pane and the commands for none.
    void ClearShownMessage();

    // OAuth2 sign-in in the system browser (fmMainSignIn.cpp), on the server worker with
    // the progress panel; a failure is shown like any operation's. Refused with
    // ESessionBusy while another operation runs.
    void StartSignIn(const TPOP3Rec& account, TOpened opened, TDone done) override;
    void CancelSignIn() override;

    // The progress panel: shown with text, hidden for an empty one; the bar starts at 1.
    void ShowProgress(const std::string& text, int maximum);
    // One work notification of count bytes moves the bar.
    void StepProgress(int64_t count);
    // Whether a server operation is running; its conflicting commands are disabled.
    bool ServerBusy() const { return FServerBusy || FCheckingAll; }
    // Runs events until the running server operation has ended and its result is shown;
    // false on time-out. For tools and tests that drive the window from outside.
    bool WaitForServer(int milliseconds);

    void FormCreate();
    void FormActivate();

    // Command handlers.
    void NewAccClick();
    void EditAccClick();
    void DelAccClick();
    void CheckAccClick();
    void lDownClick();
    void mmDelClick();
    void Vybratve1Click();
    void lHelpClick();
    void About1Click();
    void Exit1Click();
    void pop3popupPopup();
    // The sender lists and "Vybrat podezřelé" of the header list's context menu.
    TTriageCommands& Triage() const { return *FTriage; }
    void headlistSelectItem(int row);
    void headlistColumnClick(int column);
    void memoURLClick(const std::string& link);

    std::string StatusPanelText(int panel) const;
    std::vector<TAccountLines> AccountItems() const;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool evMessage(QEvent* event);

    // The header-list row whose message the detail pane shows; -1 for none.
    int FShownIndex = -1;

private:
    void ConnectCommands();
    // F10 and the context menu keys (Shift+F10, the menu key) of the lists.
    void ConnectKeyboard();
    void OpenAccountMenu(const QPoint& at);
    void OpenHeaderMenu(const QPoint& at);
    bool ContextMenuKeyDown(QObject* watched);
    bool poplistKeyDown(int key);
    bool headlistKeyDown(int key);
    QListWidgetItem* SelectedAccountItem() const;
    void AddAccountItem(const TAccountLines& account);
    void ShowAccounts(const std::vector<TAccountLines>& accounts);
    void RemoveDeletedRows(const std::vector<THeaderRow*>& rows);

    void ConnectServerWorker();
    // offerSignIn: an account whose sign-in has lapsed asks whether to sign in now; not
    // again right after such a sign-in.
    void StartCheck(QListWidgetItem* item, const TPOP3Rec& account, bool offerSignIn = true);
    // The check failed for want of a sign-in: the user is asked, and on Yes signs in and
    // the check runs once more. False when nothing began.
    bool OfferSignIn(QListWidgetItem* item, const TPOP3Rec& account, const std::string& reason);
    void RunOnServer(TServerCommand command);
    void FinishOnServer(const TServerCommand& command, std::exception_ptr failure);
    void RunSignIn(const TPOP3Rec& account, QListWidgetItem* item, TOpened opened, TDone done);
    // Esc anywhere in the window presses "Přerušit" while an operation runs.
    bool CancelKeyDown(QObject* watched, int key);
    // True, with a beep, while an operation runs: a key may reach a disabled command.
    bool RefusedWhileBusy();
    // Turns off what would conflict with the running operation.
    void DisableConflictingCommands();
    // The enabled states for the shown message, after an operation has ended.
    void RefreshCommands();
    // Closing: the running operation is cancelled and its end awaited, briefly.
    void CutServerOperationShort();
    void ShowListOwner(const std::string& address);
    void CheckNextAccount();
    // Each account keeps the records of its last check; selecting it shows them again.
    void KeepRecords(const TPOP3Rec& account, const std::vector<std::shared_ptr<TMessageHeader>>& records);
    void ShowKeptRecords();
    void ForgetKeptRecords(const TAccountLines& account);
    void FinishCheckAll();
    void ShowCheckedRecords(QListWidgetItem* item, const TPOP3Rec& account, const TPOP3& session,
                            std::vector<std::shared_ptr<TMessageHeader>> records);
    // Starts the timer of the scheduled check from the settings.
    void ScheduleChecks();
    // The scheduled check that waited for the operation that has just ended.
    void RunWaitingScheduledCheck();
    void ShareHeightChange(int change);

    bool FActivated = false;
    TWorkListener FPreviousWorkListener;
    TTriageCommands* FTriage = nullptr;
    TAppSettings FAppSettings;
    std::unique_ptr<TTrayIcon> FTray;
    // "Konec" ends the program also when closing only hides the window to the tray.
    bool FQuitting = false;
    void BringBack();
    void ShowTrayCounts();

    // The window's one thread for the network; it ends before the window does.
    std::unique_ptr<TServerWorker> FWorker;
    bool FServerBusy = false;
    bool FClosing = false;
    // "Zkontrolovat vše" runs: the accounts still to check and what was new so far.
    bool FCheckingAll = false;
    // By address and user; the rows of the shown list and these share the records, so a
    // deletion from the shown list holds here too.
    std::map<std::string, std::vector<std::shared_ptr<TMessageHeader>>> FAccountRecords;
    std::vector<TAccountLines> FCheckAllQueue;
    std::vector<TNewMessageLine> FCheckAllNew;
    class QTimer* FCheckTimer = nullptr;
    // A scheduled check found the worker busy and waits for its end.
    bool FScheduledCheckWaiting = false;
    QListWidgetItem* FOperationAccount = nullptr;
    // The account the header list belongs to; nullptr once that account is deleted.
    QListWidgetItem* FListOwnerItem = nullptr;
    QPointer<QWidget> FFocusBefore;
    class QEventLoop* FWaitLoop = nullptr;   // WaitForServer's, while it runs
    // How long closing waits for an operation it cut short.
    static constexpr int ClosingWaitMs = 1500;
};

// The one main window of the program while it exists.
extern Tfmain* fmain;

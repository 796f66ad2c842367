#pragma once
// The main window: account list, header list, detail pane, toolbar, menus and status
// bar. Every user command starts in one of its handlers; the account store lives in
// its account list and in accounts.dat.

#include "AccountFile.h"
#include "AppSettings.h"
#include "MainWindowUi.h"
#include "Progress.h"
#include "udm.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QListWidgetItem;
class THeaderRow;
class TTrayIcon;

class Tfmain : public QMainWindow, public TMainWindowUi {
public:
    explicit Tfmain(QWidget* parent = nullptr);
    ~Tfmain() override;

    // Account store. Every change is saved at once; file errors raise EInOutError.
    void LoadAccounts();
    void SaveAccounts();
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

    // The mail commands (fmMainMail.cpp). Server failures raise the session's
    // exceptions; the progress panel is hidden again on every path.
    void CheckAccount();
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

    // The progress panel: shown with text, hidden for an empty one; the bar starts at 1.
    void ShowProgress(const std::string& text, int maximum);
    // One work notification of count bytes moves the bar.
    void StepProgress(int64_t count);
    // Whether a server operation is running; the mail commands wait for none.
    bool ServerBusy() const { return FServerBusy; }

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
    void headlistSelectItem(int row);
    void headlistColumnClick(int column);
    void memoURLClick(const std::string& link);

    std::string StatusPanelText(int panel) const;
    std::vector<TAccountLines> AccountItems() const;
    void ForgetMovedPasswords(const std::vector<TAccountLines>& accounts);

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
    void RemoveDeletedRows(const std::vector<THeaderRow*>& rows);
    void RunCancellable(const std::function<void()>& command);
    void ShareHeightChange(int change);

    bool FActivated = false;
    TWorkListener FPreviousWorkListener;
    TAppSettings FAppSettings;
    std::unique_ptr<TTrayIcon> FTray;
    // "Konec" ends the program also when closing only hides the window to the tray.
    bool FQuitting = false;
    void BringBack();
    void ShowTrayCounts();

    // A server operation blocks the window's thread but lets pending events run, so
    // the user's commands can arrive meanwhile: a second operation is refused, and a
    // close waits until the running one has returned.
    friend class TServerOperation;
    bool FServerBusy = false;
    bool FCloseRequested = false;
};

// Marks a server operation for its lifetime; Started() is false when another runs.
class TServerOperation {
public:
    explicit TServerOperation(Tfmain& window);
    ~TServerOperation();
    bool Started() const { return FStarted; }

private:
    Tfmain& FWindow;
    bool FStarted;
};

// The one main window of the program while it exists.
extern Tfmain* fmain;

#pragma once
// The main window: account list, header list, detail pane, toolbar, menus and status
// bar. Every user command starts in one of its handlers; the account store lives in
// its account list and in accounts.dat.

#include "AccountFile.h"
#include "MainWindowUi.h"
#include "udm.h"

#include <QMainWindow>

class QListWidgetItem;

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

    void UpdateCommands();
    void EnableMessageCommands(bool downloaded);
    void AdjustColumns();

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

    std::string StatusPanelText(int panel) const;
    std::vector<TAccountLines> AccountItems() const;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    // The header-list row whose message the detail pane shows; -1 for none.
    int FShownIndex = -1;

private:
    void ConnectCommands();
    bool poplistKeyDown(int key);
    bool headlistKeyDown(int key);
    QListWidgetItem* SelectedAccountItem() const;
    void AddAccountItem(const TAccountLines& account);

    bool FActivated = false;
};

// The one main window of the program while it exists.
extern Tfmain* fmain;

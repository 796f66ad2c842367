#pragma once
// The controls of the main window, built in their designed places. Holds no behaviour:
// Tfmain connects the controls to its handlers.

#include <QIcon>
#include <QList>

class QAction;
class QFrame;
class QLabel;
class QListWidget;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QToolBar;
class QWidget;
class THeaderList;
class TLinkLabel;
class TRxRichEdit;
class TSplitterBar;

class TMainWindowUi {
public:
    void Build(QMainWindow* window);

    QList<QIcon> img;    // 32x32, the account icon
    QList<QIcon> img1;   // 16x16, toolbar and menus

    QToolBar* tool = nullptr;
    QAction* tNew = nullptr;
    QAction* tEdit = nullptr;
    QAction* tDel = nullptr;
    QAction* tCheck = nullptr;
    QAction* tCheckAll = nullptr;   // "Zkontrolovat vše"
    QAction* tDownload = nullptr;
    QAction* tDelete = nullptr;
    QAction* lHelp = nullptr;
    QAction* tAbout = nullptr;

    // Main menu "Účty", "Zprávy", "Pomoc".
    QAction* mNewAcc = nullptr;
    QAction* mDelAcc = nullptr;
    QAction* mEditAcc = nullptr;
    QAction* Exit1 = nullptr;
    QAction* mSettings = nullptr;   // "Nastavení"
    QAction* mCheck = nullptr;
    QAction* mCheckAll = nullptr;   // every account, one after another (F6)
    QAction* mDown = nullptr;
    QAction* mmDel = nullptr;
    QAction* mNewOnly = nullptr;   // the header list shows only the new messages
    QAction* mHelp = nullptr;
    QAction* About1 = nullptr;

    QMenu* pop3popup = nullptr;
    QAction* pCheck = nullptr;
    QAction* pNew = nullptr;
    QAction* pDel = nullptr;
    QAction* pEdit = nullptr;

    QMenu* headpopup = nullptr;
    QAction* hDown = nullptr;
    QAction* hDel = nullptr;
    QAction* Vybratve1 = nullptr;

    QStatusBar* bar = nullptr;
    QLabel* barPanel0 = nullptr;
    QLabel* barPanel1 = nullptr;
    // How the last check talked to its server ("Šifrováno (TLS 1.3)", "Nešifrováno").
    QLabel* barPanel2 = nullptr;

    QWidget* Panel1 = nullptr;        // left column; its width is the vertical divider
    QListWidget* poplist = nullptr;
    TSplitterBar* Splitter1 = nullptr;
    QFrame* Panel2 = nullptr;
    QWidget* Panel3 = nullptr;        // its height is the horizontal divider
    QLabel* headOwner = nullptr;      // the account the header list belongs to
    THeaderList* headlist = nullptr;
    TSplitterBar* Splitter2 = nullptr;
    QFrame* Panel4 = nullptr;
    QFrame* Panel6 = nullptr;
    TLinkLabel* lDown = nullptr;
    TLinkLabel* lDelete = nullptr;
    TRxRichEdit* memo = nullptr;      // the message viewer

    QFrame* inf = nullptr;            // progress panel
    QLabel* inflabel = nullptr;
    QProgressBar* progress = nullptr;
    QPushButton* cancelButton = nullptr;  // "Přerušit": ends the running operation

    // Sizes that follow the font in use (FontFit.h).
    void FitProgressPanel();
    void FitAccountCaptions();
    int FittedWindowWidth() const;

private:
    void BuildToolbar(QMainWindow* window);
    void BuildMenus(QMainWindow* window);
    void BuildStatusBar(QMainWindow* window);
    QWidget* BuildAccountColumn(QWidget* parent);
    QFrame* BuildRightArea(QWidget* parent);
    QFrame* BuildDetailPane(QWidget* parent);
    void BuildProgressPanel(QMainWindow* window);
};

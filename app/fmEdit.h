#pragma once
// The account editor: a modal dialog that edits one account record.

#include "udm.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TPortEdit;

class Tfedit : public QDialog {
public:
    explicit Tfedit(QWidget* parent);

    QTabWidget* PageControl;
    QLineEdit* eAddress;
    QLineEdit* eUser;
    QLineEdit* ePassw;
    QLineEdit* eHost;
    TPortEdit* ePort;
    QPushButton* Button1;        // "OK"
    QPushButton* CancelButton;

    void FormCreate();
    void Button1Click();
    void eAddressExit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    // The designed size, or larger when the font needs it.
    void FitToFont();

    std::string FHelpFile;
};

// Edits the account in the dialog with the given caption. True when the dialog closed
// with OK; only then is the account changed.
bool EditAccountDialog(TPOP3Rec& account, const std::string& caption);

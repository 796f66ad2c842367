#pragma once
// The account editor: a modal dialog that edits one account record.

#include "udm.h"

#include <QDialog>

class QComboBox;
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
    // "SSL/TLS", "STARTTLS", "Žádné", in the order of SecurityOfIndex.
    QComboBox* cbSecurity;
    TPortEdit* ePort;
    // Shown while "Žádné" is chosen: the password would travel in plain text.
    QLabel* PlainWarning;
    // Where the password will be kept (the keyring, or accounts.dat without one).
    QLabel* lPasswordPlace;
    // What the provider of the typed address tells its users (providers presets).
    QLabel* lProviderHint;
    QPushButton* Button1;        // "OK"
    QPushButton* CancelButton;

    void FormCreate();
    void Button1Click();
    void eAddressExit();
    // SSL/TLS with port 110 moves the port to 995; another choice with 995 moves it to 110.
    void cbSecurityChange();
    TIdConnectionSecurity Security() const;
    void SetSecurity(TIdConnectionSecurity security);
    void ShowPasswordPlace(bool keyring);
    // The address was typed: a known provider's server, port, security and user name go
    // into the fields that are empty or still hold what an earlier preset put there.
    void eAddressChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    void ShowPlainWarning();
    // The designed size, or larger when the font needs it.
    void FitToFont();

    std::string FHelpFile;
    QString FPresetHost;
    QString FPresetUser;
};

// Edits the account in the dialog with the given caption. True when the dialog closed
// with OK; only then is the account changed.
bool EditAccountDialog(TPOP3Rec& account, const std::string& caption);

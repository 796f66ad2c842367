#pragma once
// The account editor: a modal dialog that edits one account record.

#include "udm.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TOAuth2Page;
class TPortEdit;
class TSignInRunner;

class Tfedit : public QDialog {
public:
    explicit Tfedit(QWidget* parent);

    QTabWidget* PageControl;
    QLineEdit* eAddress;
    QLineEdit* eUser;
    // "Heslo", "OAuth2", in the order of TLoginMethod. OAuth2 turns the password off and
    // the "OAuth2" page on.
    QComboBox* cbLogin;
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
    TOAuth2Page* OAuth2Page;
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
    TLoginMethod Login() const;
    void SetLogin(TLoginMethod login);
    // The stored account's own method: a provider preset no longer changes it.
    void KeepLogin(TLoginMethod login);
    void cbLoginChange();
    // A known provider picked on the OAuth2 page brings its server.
    void cbProviderChange();
    // The account as the fields describe it; a server typed with its prefix
    // ("pop3s://...") says its security itself.
    TPOP3Rec FieldsRecord() const;

    // The address was typed: a known provider's server, port, security and user name go
    // into the fields that are empty or still hold what an earlier preset put there.
    void eAddressChange();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildGeneralPage();
    void ShowPlainWarning();
    void ShowLoginPlace();
    // Refuses, with a message, a field the account file cannot hold or an empty address.
    bool FieldsFitTheFile();
    // The designed size, or larger when the font needs it.
    void FitToFont();

    std::string FHelpFile;
    QString FPresetHost;
    QString FPresetUser;
    // The login method was chosen by the user (or came with the account), not by a preset.
    bool FLoginPicked = false;
    bool FKeyring = false;
};

// Edits the account in the dialog with the given caption. True when the dialog closed
// with OK; only then is the account changed. An OAuth2 account's client settings are
// saved to the user's oauth-clients file on OK (and before a sign-in); signIn runs the
// sign-in button's work. Closing the dialog ends a sign-in still waiting for the
// browser; a refresh token a sign-in stored for an account that was not saved in the
// end is removed again.
bool EditAccountDialog(TPOP3Rec& account, const std::string& caption, TSignInRunner* signIn = nullptr);

// Removes the account's refresh token (OAuth2SignIn.h); a keyring that does not answer
// leaves it where it is, as a forgotten password is left.
void ForgetSignIn(const TPOP3Rec& account);

#pragma once
// The account editor's "OAuth2" page: the provider the account signs in at, the client
// registration (client ID, and the secret some providers give desktop programs) the
// program asks under, and the sign-in in the browser. The registration lives in the
// user's oauth-clients file, one section per provider, or per POP3 host for a provider
// of the user's own; the page reads it for a host and writes it back.

#include "udm.h"

#include <QWidget>
#include <exception>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TSignInRunner;

class TOAuth2Page : public QWidget {
public:
    explicit TOAuth2Page(QWidget* parent);

    // "Microsoft", "Google", "Seznam", "vlastní".
    QComboBox* cbProvider;
    QLineEdit* eClientId;
    QLineEdit* eClientSecret;
    // Editable for "vlastní"; a known provider's own endpoints are shown greyed.
    QLineEdit* eAuthorizationUrl;
    QLineEdit* eTokenUrl;
    QLineEdit* eScope;
    // "Přihlásit v prohlížeči"; "Přerušit přihlášení" while a sign-in runs.
    QPushButton* bSignIn;
    QLabel* lSignInState;
    // The address the browser was given, to copy when no browser came up.
    QLineEdit* eSignInUrl;

    // The provider of host and what the user's file holds for it.
    void ShowClient(const std::string& host);
    // "microsoft", "google", "seznam" or "custom".
    std::string Provider() const;
    // Chooses a provider by name and shows what the user's file holds for it.
    void SetProvider(const std::string& provider);
    // The POP3 server of the chosen provider; empty for "vlastní".
    std::string ProviderHost() const;
    // A known provider's server typed as the host chooses that provider.
    void FollowHost(const std::string& host);
    // The caption of a field that must be filled before the account can be saved, or
    // empty: a provider of one's own needs both addresses.
    std::string MissingField() const;
    // Writes the client settings for the account's host when they differ from what the
    // user's file holds. Raises EInOutError.
    void SaveClient(const std::string& host) const;

    // Where the sign-in button sends the account; without a runner it stays hidden.
    void SetSignInRunner(TSignInRunner* runner);
    // The account to sign in as the editor's fields give it; nothing when the editor
    // refused a field (and has said why).
    std::function<std::optional<TPOP3Rec>()> AccountToSignIn;
    // Saves the client settings (the sign-in reads them from the file) and signs the
    // account in; while a sign-in runs, cuts it short.
    void bSignInClick();
    void ShowSignInState(const TPOP3Rec& account);
    bool SigningIn() const { return FSigningIn; }
    // Ends a sign-in still waiting for the browser.
    void CancelSignIn();
    // The account a sign-in on this page succeeded for.
    const std::optional<TPOP3Rec>& SignedInAccount() const { return FSignedIn; }

private:
    void ShowEndpoints();
    // The file's section the page shows and saves for host.
    std::string Section(const std::string& host) const;

    void ShowOpenedUrl(const std::string& url);
    void SignInEnded(const TPOP3Rec& account, std::exception_ptr failure);

    std::string FHost;
    TSignInRunner* FSignInRunner = nullptr;
    bool FSigningIn = false;
    std::optional<TPOP3Rec> FSignedIn;
};

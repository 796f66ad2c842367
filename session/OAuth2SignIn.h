#pragma once
// Signing an OAuth2 account in, and the tokens its checks log in with.
//
// Sign-in (RFC 8252): the authorization code flow with PKCE (S256) in the system browser,
// redirected to a listener of the program on 127.0.0.1 with a port chosen at run time;
// or the device code flow (RFC 8628) where the provider offers it. Either ends with the
// refresh token in the keyring under its own key (never in accounts.dat) and the access
// token in memory. Any failure stores nothing and raises EOAuth2Error with a Czech text.
//
// Checks: TPOP3::TakePasswordFromKeyring reads the refresh token (window thread);
// TPOP3::Reconnect takes the access token kept in memory for the account while it has
// more than a minute left, else refreshes it (one HTTPS request), and refreshes once more
// when the server refuses a kept token. A refresh token the provider has revoked raises
// EOAuth2SignInNeeded once; later checks raise it again without asking the provider
// until the account is signed in anew.

#include "Exception.h"
#include "udm.h"

#include <functional>
#include <string>

class EOAuth2Error : public Exception {
public:
    using Exception::Exception;
};

// "Přihlášení k účtu ADDRESS vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu."
// The window offers the sign-in; it never starts one on its own.
class EOAuth2SignInNeeded : public EOAuth2Error {
public:
    explicit EOAuth2SignInNeeded(const std::string& address);
};

struct TSignInCallbacks {
    // Opens the URL in the system browser. Called on the thread that signs in; the
    // window hands it over to its own thread and returns at once.
    std::function<void(const std::string& url)> OpenUrl;
    // Device code flow: shows where to go and the code to type there.
    std::function<void(const std::string& verificationUrl, const std::string& userCode)> ShowCode;
    // Read every 50 ms or so; true ends the sign-in with EOperationCancelled.
    std::function<bool()> Cancelled;
};

// Blocks until the browser comes back (at most SignInTimeoutMs), then exchanges the code
// and stores the refresh token in the keyring. Runs on any thread with no event loop of
// its own (the server worker, the terminal's main thread); the keyring calls it makes
// run on that thread. Raises EOAuth2Error (no client ID, the user refused, a redirect
// with a wrong state, a token endpoint that fails), EKeyringError, EOperationCancelled.
void SignInWithBrowser(const TPOP3Rec& account, const TSignInCallbacks& callbacks);
// The device code flow; EOAuth2Error when the provider has none.
void SignInWithDeviceCode(const TPOP3Rec& account, const TSignInCallbacks& callbacks);
bool DeviceCodeOffered(const TPOP3Rec& account);
constexpr int SignInTimeoutMs = 5 * 60 * 1000;

// Removes the account's refresh token from the keyring and its access token from memory
// (the account was deleted, or its host or user changed).
void SignOut(const TPOP3Rec& account);
// Whether the keyring holds a refresh token for the account (window thread).
bool SignedIn(const TPOP3Rec& account);

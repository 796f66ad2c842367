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

#include "OAuth2.h"
#include "udm.h"

#include <functional>
#include <string>

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
// and stores the refresh token in the keyring. It is a server operation of its own
// (RunServerOperation): ESessionBusy while another runs, and CancelServerOperation (or
// callbacks.Cancelled) ends it. Runs on any thread (the server worker, the terminal's
// main thread); its keyring calls are answered through the application's thread, whose
// event loop must run meanwhile. Raises EOAuth2Error (no client ID, the user refused, a
// redirect with a wrong state, a token endpoint that fails), EKeyringError,
// EOperationCancelled.
void SignInWithBrowser(const TPOP3Rec& account, const TSignInCallbacks& callbacks);
// The device code flow; EOAuth2Error when the provider has none.
void SignInWithDeviceCode(const TPOP3Rec& account, const TSignInCallbacks& callbacks);
bool DeviceCodeOffered(const TPOP3Rec& account);
constexpr int SignInTimeoutMs = 5 * 60 * 1000;

// Removes the account's refresh token from the keyring and its access token from memory
// (the account was deleted, or its host or user changed).
void SignOut(const TPOP3Rec& account);
// Whether the keyring holds a refresh token for the account.
bool SignedIn(const TPOP3Rec& account);

// For the session (TPOP3::Reconnect): the access token the account logs in with, the one
// kept in memory while it has more than a minute left unless refresh is set, else a new
// one from the provider, taken with refreshToken (or with a newer one the provider gave
// since). fresh tells whether it came from the provider just now. A new refresh token
// the provider hands out goes to the keyring; EOAuth2SignInNeeded as above.
struct TAccessToken {
    std::string Token;
    bool Fresh = false;
};
TAccessToken AccessTokenFor(const TPOP3Rec& account, const TOAuth2Client& client, const std::string& refreshToken,
                            bool refresh);
// Forgets every access token kept in memory (the tests make them expire this way).
void ForgetAccessTokens();

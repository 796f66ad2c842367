#pragma once
// Passwords in the desktop's Secret Service, one item per account (service "kormoran",
// the key naming user, host and address), so that accounts.dat need not hold them.
// Every call waits for the keyring at most KeyringTimeoutMs; a keyring that is missing,
// locked, refuses or does not answer in time raises EKeyringError, and the caller keeps
// the password in the file as before.
// The calls run a short event loop of their own on the application's thread (the keyring
// answers through it), so they need a QCoreApplication. Called on another thread, a call
// is handed to the application's thread and waited for (at most KeyringTimeoutMs more,
// the thread's wait hook running meanwhile, so a cancel ends the wait): the keyring
// answers only on the thread that first spoke to it.

#include "AccountFile.h"
#include "Exception.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// The account an item belongs to.
struct TKeyringAccount {
    std::string Address;
    std::string Host; // without the security prefix of the Host line
    std::string User;
};

TKeyringAccount KeyringAccountOf(const TAccountLines& lines);
// "pop3://USER@HOST/ADDRESS", with "%", "@" and "/" inside the parts escaped: no two
// accounts share a key.
std::string KeyringKey(const TKeyringAccount& account);

class EKeyringError : public Exception {
public:
    explicit EKeyringError(std::string message, bool timedOut = false)
        : Exception(std::move(message)), TimedOut(timedOut) {}
    // The keyring was there but did not answer in time (a locked one waiting for a prompt).
    bool TimedOut;
};

// Nothing when the keyring has no item for the account.
std::optional<std::string> ReadKeyringPassword(const TKeyringAccount& account);
void WriteKeyringPassword(const TKeyringAccount& account, const std::string& password);
// An item that is not there is no failure.
void DeleteKeyringPassword(const TKeyringAccount& account);
// The same where a failure only means there is nothing to take or to remove.
std::string KeyringPasswordOrNothing(const TKeyringAccount& account);
void ForgetKeyringPassword(const TKeyringAccount& account);
// The refresh token of an OAuth2 account: an item of its own, keyed "oauth2://USER@HOST/ADDRESS".
std::string RefreshTokenKey(const TKeyringAccount& account);
std::optional<std::string> ReadKeyringRefreshToken(const TKeyringAccount& account);
void WriteKeyringRefreshToken(const TKeyringAccount& account, const std::string& token);
void DeleteKeyringRefreshToken(const TKeyringAccount& account);

// Whether a keyring answers now.
bool KeyringAvailable();

void SetKeyringTimeout(int milliseconds);
constexpr int DefaultKeyringTimeoutMs = 3000;

// Called by a keyring call that finds no QCoreApplication, on the thread of the call:
// kormoran-cli makes its application object there, so that a command that never uses the
// keyring spares what the object costs. Empty: such a call raises EKeyringError.
void SetKeyringApplicationMaker(std::function<void()> make);

// Moves every password of the lines into the keyring: written, read back, and only when
// the keyring gives back the same text is the password line emptied. Nothing is lost
// when the keyring fails half-way: what was not confirmed stays in the lines. Returns
// the first failure's text, empty when all went in.
std::string MovePasswordsToKeyring(std::vector<TAccountLines>& accounts);

// The password a connection for the account uses: the record's own, else the keyring's,
// else empty (a keyring that fails then raises EKeyringError).
std::string AccountPassword(const TKeyringAccount& account, const std::string& recordPassword);

#include "OAuth2SignIn.h"

#include "IdRedirectListener.h"
#include "IdWait.h"
#include "Keyring.h"

#include <map>
#include <mutex>

namespace {

// A kept access token is used only while it has this long left: a check takes a while.
constexpr std::chrono::seconds ExpiryMargin{60};

struct TKept {
    std::string AccessToken;
    std::chrono::steady_clock::time_point Expires;
    // The newest refresh token the provider gave (it may rotate them).
    std::string RefreshToken;
};

std::mutex KeptLock; // guards both maps
std::map<std::string, TKept> Kept;
// Refresh tokens the provider refused, by account: asked again only after a new sign-in.
std::map<std::string, std::string> Refused;

TKeyringAccount KeyringAccountOf(const TPOP3Rec& account)
{
    return {account.Address, account.Host, account.User};
}

std::string KeyOf(const TPOP3Rec& account)
{
    return RefreshTokenKey(KeyringAccountOf(account));
}

// Puts a wait hook in place that also ends the wait when the caller cancels; the previous
// hook runs first and comes back at the end.
class TCancelHook {
public:
    explicit TCancelHook(const std::function<bool()>& cancelled)
    {
        FPrevious = SetWaitHook([this, cancelled] {
            if (FPrevious)
                FPrevious();
            if (cancelled && cancelled())
                throw EOperationCancelled();
        });
    }
    ~TCancelHook() { SetWaitHook(std::move(FPrevious)); }
    TCancelHook(const TCancelHook&) = delete;
    TCancelHook& operator=(const TCancelHook&) = delete;

private:
    TIdWaitHook FPrevious;
};

TOAuth2Client SignInClient(const TPOP3Rec& account)
{
    if (account.Login != lmOAuth2)
        throw EOAuth2Error("Účet " + account.Address + " se přihlašuje heslem, ne u poskytovatele (OAuth2).");
    TOAuth2Client client = OAuth2ClientFor(account.Host);
    RequireClientId(client);
    return client;
}

// The sign-in's end: the refresh token into the keyring first, so that nothing is kept
// in memory for a sign-in whose token could not be stored.
void Keep(const TPOP3Rec& account, const TOAuth2Tokens& tokens)
{
    WriteKeyringRefreshToken(KeyringAccountOf(account), tokens.RefreshToken);
    std::lock_guard<std::mutex> guard(KeptLock);
    Kept[KeyOf(account)] = {tokens.AccessToken, tokens.Expires, tokens.RefreshToken};
    Refused.erase(KeyOf(account));
}

} // namespace

void SignInWithBrowser(const TPOP3Rec& account, const TSignInCallbacks& callbacks)
{
    const TOAuth2Client client = SignInClient(account);
    if (!ParseHttpUrl(client.AuthorizationUrl))
        throw EOAuth2Error("Adresa pro přihlášení (authorization URL) chybí nebo není platná.");
    RunServerOperation([&] {
        TCancelHook hook(callbacks.Cancelled);
        TIdRedirectListener listener;
        const TPkce pkce = MakePkce();
        const std::string state = RandomState();
        if (callbacks.OpenUrl)
            callbacks.OpenUrl(AuthorizationUrl(client, listener.RedirectUri(), pkce, state, account.Address));
        std::string code;
        std::exception_ptr refusal;
        listener.Await(std::chrono::milliseconds(SignInTimeoutMs), RunWaitHook, [&](const std::string& target) {
            try {
                code = CodeFromRedirect(target, state);
                return RedirectPage(true);
            } catch (...) {
                refusal = std::current_exception();
                return RedirectPage(false);
            }
        });
        if (refusal)
            std::rethrow_exception(refusal);
        Keep(account, ExchangeCode(client, code, listener.RedirectUri(), pkce));
    });
}

bool DeviceCodeOffered(const TPOP3Rec& account)
{
    return !OAuth2ClientFor(account.Host).DeviceUrl.empty();
}

void SignInWithDeviceCode(const TPOP3Rec& account, const TSignInCallbacks& callbacks)
{
    const TOAuth2Client client = SignInClient(account);
    RunServerOperation([&] {
        TCancelHook hook(callbacks.Cancelled);
        const TDeviceCode code = RequestDeviceCode(client);
        if (callbacks.ShowCode)
            callbacks.ShowCode(code.VerificationUrl, code.UserCode);
        Keep(account, PollDeviceCode(client, code, RunWaitHook));
    });
}

void SignOut(const TPOP3Rec& account)
{
    {
        std::lock_guard<std::mutex> guard(KeptLock);
        Kept.erase(KeyOf(account));
        Refused.erase(KeyOf(account));
    }
    DeleteKeyringRefreshToken(KeyringAccountOf(account));
}

bool SignedIn(const TPOP3Rec& account)
{
    return ReadKeyringRefreshToken(KeyringAccountOf(account)).has_value();
}

TAccessToken AccessTokenFor(const TPOP3Rec& account, const TOAuth2Client& client, const std::string& refreshToken,
                            bool refresh)
{
    const std::string key = KeyOf(account);
    std::string current = refreshToken;
    {
        std::lock_guard<std::mutex> guard(KeptLock);
        const auto kept = Kept.find(key);
        if (kept != Kept.end()) {
            if (!refresh && !kept->second.AccessToken.empty() &&
                kept->second.Expires - std::chrono::steady_clock::now() > ExpiryMargin)
                return {kept->second.AccessToken, false};
            if (!kept->second.RefreshToken.empty())
                current = kept->second.RefreshToken;
        }
        if (current.empty())
            throw EOAuth2SignInNeeded(account.Address, true);
        const auto refused = Refused.find(key);
        if (refused != Refused.end() && refused->second == current)
            throw EOAuth2SignInNeeded(account.Address);
    }
    TOAuth2Tokens tokens;
    try {
        tokens = RefreshTokens(client, current, account.Address);
    } catch (const EOAuth2SignInNeeded&) {
        std::lock_guard<std::mutex> guard(KeptLock);
        Refused[key] = current;
        Kept.erase(key);
        throw;
    }
    const bool rotated = !tokens.RefreshToken.empty() && tokens.RefreshToken != current;
    {
        std::lock_guard<std::mutex> guard(KeptLock);
        Kept[key] = {tokens.AccessToken, tokens.Expires, rotated ? tokens.RefreshToken : current};
    }
    if (rotated) {
        // The old one may not work any more; the new one is kept in memory even when the
        // keyring cannot take it now.
        try {
            WriteKeyringRefreshToken(KeyringAccountOf(account), tokens.RefreshToken);
        } catch (const EKeyringError&) {
        }
    }
    return {tokens.AccessToken, true};
}

void ForgetAccessTokens()
{
    std::lock_guard<std::mutex> guard(KeptLock);
    for (auto& [key, kept] : Kept)
        kept.AccessToken.clear();
}

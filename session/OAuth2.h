#pragma once
// The pieces of an OAuth2 sign-in for a desktop program (RFC 6749, 7636, 8252, 8628):
// PKCE, state, the authorization URL, the redirect's answer, and the token endpoint's
// requests and answers. Every refusal and every answer that is not a token ends in
// EOAuth2Error with a Czech text; nothing here stores anything.

#include "Exception.h"
#include "IdHTTP.h"
#include "OAuth2Providers.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

class EOAuth2Error : public Exception {
public:
    using Exception::Exception;
};

// The provider no longer takes the account's refresh token (revoked, expired, the
// password changed) or the account was never signed in. The window offers a new
// sign-in; it never starts one on its own.
class EOAuth2SignInNeeded : public EOAuth2Error {
public:
    // "Přihlášení k účtu ADDRESS vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu."; for an
    // account never signed in "Účet ADDRESS se přihlašuje u poskytovatele a zatím přihlášen nebyl. ..."
    explicit EOAuth2SignInNeeded(const std::string& address, bool neverSignedIn = false);
};

// RFC 7636 with S256: a verifier of 43 characters from 32 random bytes (RAND_bytes),
// and its challenge, BASE64URL(SHA-256(verifier)) without padding.
struct TPkce {
    std::string Verifier;
    std::string Challenge;
};
TPkce MakePkce();
std::string PkceChallenge(const std::string& verifier);
// 32 random bytes in base64url: what the redirect must bring back.
std::string RandomState();

// The provider's authorization URL with response_type=code, client_id, redirect_uri,
// scope, state, code_challenge, code_challenge_method=S256, login_hint (the address,
// when given) and the provider's own extra parameters.
std::string AuthorizationUrl(const TOAuth2Client& client, const std::string& redirectUri, const TPkce& pkce,
                             const std::string& state, const std::string& loginHint);

// The code of a redirect's request target ("/?code=...&state=..."). Raises EOAuth2Error
// for an error parameter (the user refused, say), a state that is missing or differs,
// a missing or repeated code.
std::string CodeFromRedirect(const std::string& target, const std::string& expectedState);
// The page the browser shows after the redirect, in Czech.
std::string RedirectPage(bool signedIn);

struct TOAuth2Tokens {
    std::string AccessToken;
    std::string RefreshToken; // empty when the answer brought none (a refresh that keeps the old one)
    // When the access token stops working; a token without expires_in is taken to live
    // UnknownLifetime, and a refusal by the server renews it anyway.
    std::chrono::steady_clock::time_point Expires;
};
constexpr std::chrono::seconds UnknownLifetime{600};

// A token endpoint's answer as tokens. refreshing: a refused refresh token (invalid_grant)
// raises EOAuth2SignInNeeded for address.
TOAuth2Tokens TokensFromAnswer(const TIdHTTPResponse& answer, const std::string& endpoint, bool refreshing,
                               const std::string& address);

// EOAuth2Error telling where the client ID goes when the client has none.
void RequireClientId(const TOAuth2Client& client);

// The requests to the token endpoint (one HTTPS POST each).
TOAuth2Tokens ExchangeCode(const TOAuth2Client& client, const std::string& code, const std::string& redirectUri,
                           const TPkce& pkce);
TOAuth2Tokens RefreshTokens(const TOAuth2Client& client, const std::string& refreshToken, const std::string& address);

// The device code flow: what the user is shown, then the polling of the token endpoint
// at the interval the provider asks for, whileWaiting run every slice (it may raise).
struct TDeviceCode {
    std::string DeviceCode;
    std::string UserCode;
    std::string VerificationUrl;
    std::chrono::seconds Interval{5};
    std::chrono::seconds ExpiresIn{900};
};
TDeviceCode RequestDeviceCode(const TOAuth2Client& client);
TOAuth2Tokens PollDeviceCode(const TOAuth2Client& client, const TDeviceCode& code, const std::function<void()>& whileWaiting);

// The time-outs of every request to the provider; the tests shorten them.
void SetOAuth2HttpTimeouts(int32_t connectMs, int32_t readMs);

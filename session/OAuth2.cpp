#include "OAuth2.h"

#include "IdJSON.h"
#include "IdSASL.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <thread>

namespace {

int32_t HttpConnectTimeoutMs = 15000;
int32_t HttpReadTimeoutMs = 30000;

// A token is a few kilobytes at most; anything longer is not one.
constexpr size_t MaxTokenLength = 16 * 1024;
constexpr size_t MaxShownLength = 200;
constexpr std::chrono::seconds LongestLifetime{24 * 3600};

const std::string SignedInPage =
    "<!DOCTYPE html><html lang=\"cs\"><meta charset=\"utf-8\"><title>Kormoran</title>"
    "<p>Kormoran dostal odpověď a přihlášení dokončí sám. Okno prohlížeče můžete zavřít.</p></html>";
const std::string NotSignedInPage =
    "<!DOCTYPE html><html lang=\"cs\"><meta charset=\"utf-8\"><title>Kormoran</title>"
    "<p>Přihlášení se nepodařilo. Co se stalo, říká program Kormoran.</p></html>";

std::string Base64Url(const unsigned char* bytes, size_t count)
{
    std::string text = EncodeSaslBase64(std::string(reinterpret_cast<const char*>(bytes), count));
    for (char& c : text) {
        if (c == '+')
            c = '-';
        else if (c == '/')
            c = '_';
    }
    text.erase(std::find(text.begin(), text.end(), '='), text.end());
    return text;
}

std::string RandomText()
{
    unsigned char bytes[32];
    if (RAND_bytes(bytes, sizeof bytes) != 1)
        throw EOAuth2Error("Systém nedal náhodná čísla potřebná k přihlášení.");
    return Base64Url(bytes, sizeof bytes);
}

// What a provider or a redirect says, cut down to something that fits in a message.
std::string Shown(const std::string& text)
{
    std::string shown;
    for (char c : text) {
        if (shown.size() >= MaxShownLength) {
            shown += "…";
            break;
        }
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            shown += c;
    }
    return shown;
}

std::string Value(const TIdJsonMembers& members, const std::string& name)
{
    const auto found = members.find(name);
    return found == members.end() || found->second == "null" ? std::string() : found->second;
}

bool IsTokenText(const std::string& token)
{
    return !token.empty() && token.size() <= MaxTokenLength &&
           std::all_of(token.begin(), token.end(), [](char c) { return c > 0x20 && c < 0x7F; });
}

// "3600" as a number or as a string; nothing when absent or not a whole number.
std::optional<std::chrono::seconds> Lifetime(const TIdJsonMembers& members)
{
    const std::string text = Value(members, "expires_in");
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), ::isdigit))
        return std::nullopt;
    return std::min(std::chrono::seconds(std::stol(text)), LongestLifetime);
}

std::string ProviderRefusal(const TIdJsonMembers& members)
{
    std::string text = Shown(Value(members, "error"));
    const std::string description = Shown(Value(members, "error_description"));
    if (!description.empty())
        text += ": " + description;
    return text;
}

TIdHTTPResponse Post(const std::string& url, const TIdFormFields& fields)
{
    TIdHTTP http;
    http.ConnectTimeout = HttpConnectTimeoutMs;
    http.ReadTimeout = HttpReadTimeoutMs;
    try {
        return http.PostForm(url, fields);
    } catch (const EIdException& failure) {
        throw EOAuth2Error("Poskytovatel přihlášení není dostupný: " + failure.Message);
    }
}

void AddClient(TIdFormFields& fields, const TOAuth2Client& client)
{
    fields.emplace_back("client_id", client.ClientId);
    if (!client.ClientSecret.empty())
        fields.emplace_back("client_secret", client.ClientSecret);
}

} // namespace

void RequireClientId(const TOAuth2Client& client)
{
    if (client.ClientId.empty())
        throw EOAuth2Error("Pro přihlášení u poskytovatele " + client.Provider +
                           " chybí identifikátor klienta (client ID). Zadejte ho v nastavení účtu (uloží se do " +
                           UserOAuth2ClientsPath() + ", oddíl [" + client.Section + "], klíč client_id).");
}

namespace {

void RequireClient(const TOAuth2Client& client)
{
    RequireClientId(client);
    if (client.TokenUrl.empty() || !ParseHttpUrl(client.TokenUrl))
        throw EOAuth2Error("Adresa pro získání tokenu (token URL) chybí nebo není platná.");
}

} // namespace

EOAuth2SignInNeeded::EOAuth2SignInNeeded(const std::string& address, bool neverSignedIn)
    : EOAuth2Error(neverSignedIn ? "Účet " + address + " se přihlašuje u poskytovatele (OAuth2) a zatím přihlášen nebyl. "
                                   "Přihlaste se k účtu."
                                 : "Přihlášení k účtu " + address + " vypršelo nebo bylo zrušeno. Přihlaste se k účtu znovu.")
{
}

std::string PkceChallenge(const std::string& verifier)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw EOAuth2Error("Výpočet SHA-256 se nezdařil.");
    return Base64Url(digest, length);
}

TPkce MakePkce()
{
    TPkce pkce;
    pkce.Verifier = RandomText();
    pkce.Challenge = PkceChallenge(pkce.Verifier);
    return pkce;
}

std::string RandomState()
{
    return RandomText();
}

std::string AuthorizationUrl(const TOAuth2Client& client, const std::string& redirectUri, const TPkce& pkce,
                             const std::string& state, const std::string& loginHint)
{
    TIdFormFields fields = {{"response_type", "code"}, {"client_id", client.ClientId}, {"redirect_uri", redirectUri}};
    if (!client.Scope.empty())
        fields.emplace_back("scope", client.Scope);
    fields.emplace_back("state", state);
    fields.emplace_back("code_challenge", pkce.Challenge);
    fields.emplace_back("code_challenge_method", "S256");
    if (!loginHint.empty())
        fields.emplace_back("login_hint", loginHint);
    std::string url = client.AuthorizationUrl + (client.AuthorizationUrl.find('?') == std::string::npos ? "?" : "&") +
                      EncodeForm(fields);
    if (!client.ExtraAuthorizationParameters.empty())
        url += "&" + client.ExtraAuthorizationParameters;
    return url;
}

std::string CodeFromRedirect(const std::string& target, const std::string& expectedState)
{
    const size_t question = target.find('?');
    const auto fields = DecodeForm(question == std::string::npos ? std::string() : target.substr(question + 1));
    if (!fields)
        throw EOAuth2Error("Prohlížeč se vrátil s poškozenou adresou; přihlášení bylo ukončeno.");
    std::optional<std::string> code;
    std::optional<std::string> state;
    std::string error;
    std::string description;
    int codes = 0;
    for (const auto& [name, value] : *fields) {
        if (name == "code") {
            code = value;
            ++codes;
        } else if (name == "state" && !state) {
            state = value;
        } else if (name == "error") {
            error = value;
        } else if (name == "error_description") {
            description = value;
        }
    }
    // The state first: an answer that is not to this sign-in says nothing about it.
    if (state != expectedState)
        throw EOAuth2Error("Odpověď v prohlížeči nepatří k tomuto přihlášení (nesouhlasí parametr state); "
                           "přihlášení bylo ukončeno a nic nebylo uloženo.");
    if (error == "access_denied")
        throw EOAuth2Error("Přihlášení bylo v prohlížeči odmítnuto; nic nebylo uloženo.");
    if (!error.empty())
        throw EOAuth2Error("Poskytovatel přihlášení ohlásil chybu: " + Shown(error) +
                           (description.empty() ? std::string() : " (" + Shown(description) + ")") + ".");
    if (codes != 1 || code->empty())
        throw EOAuth2Error("Prohlížeč se vrátil bez ověřovacího kódu; přihlášení bylo ukončeno.");
    return *code;
}

std::string RedirectPage(bool signedIn)
{
    return signedIn ? SignedInPage : NotSignedInPage;
}

TOAuth2Tokens TokensFromAnswer(const TIdHTTPResponse& answer, const std::string& endpoint, bool refreshing,
                               const std::string& address)
{
    const auto url = ParseHttpUrl(endpoint);
    const std::string host = url ? url->Host : endpoint;
    const auto members = ParseJsonObject(answer.Body);
    if (!members) {
        if (answer.Status >= 500)
            throw EOAuth2Error("Poskytovatel přihlášení " + host + " hlásí chybu HTTP " + std::to_string(answer.Status) +
                               "; zkuste to později.");
        throw EOAuth2Error("Poskytovatel přihlášení " + host + " neodpověděl tokenem (HTTP " +
                           std::to_string(answer.Status) + (answer.ContentType.empty() ? "" : ", " + Shown(answer.ContentType)) +
                           "); nic nebylo uloženo.");
    }
    const std::string error = Value(*members, "error");
    if (!error.empty() || answer.Status != 200) {
        if (refreshing && error == "invalid_grant")
            throw EOAuth2SignInNeeded(address);
        throw EOAuth2Error("Poskytovatel přihlášení " + host + " odmítl požadavek (" +
                           (error.empty() ? "HTTP " + std::to_string(answer.Status) : ProviderRefusal(*members)) +
                           "); nic nebylo uloženo.");
    }
    TOAuth2Tokens tokens;
    tokens.AccessToken = Value(*members, "access_token");
    tokens.RefreshToken = Value(*members, "refresh_token");
    const std::string type = Value(*members, "token_type");
    std::string lowerType = type;
    std::transform(lowerType.begin(), lowerType.end(), lowerType.begin(), ::tolower);
    if (!IsTokenText(tokens.AccessToken) || (!type.empty() && lowerType != "bearer") ||
        (!tokens.RefreshToken.empty() && !IsTokenText(tokens.RefreshToken)))
        throw EOAuth2Error("Poskytovatel přihlášení " + host + " poslal nepoužitelný token; nic nebylo uloženo.");
    tokens.Expires = std::chrono::steady_clock::now() + Lifetime(*members).value_or(UnknownLifetime);
    return tokens;
}

TOAuth2Tokens ExchangeCode(const TOAuth2Client& client, const std::string& code, const std::string& redirectUri,
                           const TPkce& pkce)
{
    RequireClient(client);
    TIdFormFields fields = {{"grant_type", "authorization_code"},
                            {"code", code},
                            {"redirect_uri", redirectUri},
                            {"code_verifier", pkce.Verifier}};
    AddClient(fields, client);
    TOAuth2Tokens tokens = TokensFromAnswer(Post(client.TokenUrl, fields), client.TokenUrl, false, {});
    if (tokens.RefreshToken.empty())
        throw EOAuth2Error("Poskytovatel přihlášení nevydal obnovovací token (refresh token), bez něj by bylo třeba "
                           "se přihlašovat při každé kontrole; nic nebylo uloženo.");
    return tokens;
}

TOAuth2Tokens RefreshTokens(const TOAuth2Client& client, const std::string& refreshToken, const std::string& address)
{
    RequireClient(client);
    TIdFormFields fields = {{"grant_type", "refresh_token"}, {"refresh_token", refreshToken}};
    AddClient(fields, client);
    return TokensFromAnswer(Post(client.TokenUrl, fields), client.TokenUrl, true, address);
}

TDeviceCode RequestDeviceCode(const TOAuth2Client& client)
{
    RequireClient(client);
    if (client.DeviceUrl.empty())
        throw EOAuth2Error("Poskytovatel " + client.Provider + " nenabízí přihlášení kódem zařízení.");
    TIdFormFields fields;
    AddClient(fields, client);
    if (!client.Scope.empty())
        fields.emplace_back("scope", client.Scope);
    const TIdHTTPResponse answer = Post(client.DeviceUrl, fields);
    const auto members = ParseJsonObject(answer.Body);
    if (!members || answer.Status != 200)
        throw EOAuth2Error("Poskytovatel přihlášení nevydal kód zařízení (HTTP " + std::to_string(answer.Status) +
                           (members ? ", " + ProviderRefusal(*members) : std::string()) + ").");
    TDeviceCode code;
    code.DeviceCode = Value(*members, "device_code");
    code.UserCode = Shown(Value(*members, "user_code"));
    code.VerificationUrl = Value(*members, "verification_uri");
    if (code.VerificationUrl.empty())
        code.VerificationUrl = Value(*members, "verification_url");
    const auto url = ParseHttpUrl(code.VerificationUrl);
    if (!IsTokenText(code.DeviceCode) || code.UserCode.empty() || !url ||
        (url->Scheme != "https" && url->Host != "127.0.0.1"))
        throw EOAuth2Error("Poskytovatel přihlášení poslal nepoužitelný kód zařízení.");
    const std::string interval = Value(*members, "interval");
    if (!interval.empty() && interval.size() < 4 && std::all_of(interval.begin(), interval.end(), ::isdigit))
        code.Interval = std::chrono::seconds(std::clamp(std::stoi(interval), 1, 60));
    const std::string expires = Value(*members, "expires_in");
    if (!expires.empty() && expires.size() < 6 && std::all_of(expires.begin(), expires.end(), ::isdigit))
        code.ExpiresIn = std::chrono::seconds(std::stoi(expires));
    return code;
}

TOAuth2Tokens PollDeviceCode(const TOAuth2Client& client, const TDeviceCode& code, const std::function<void()>& whileWaiting)
{
    const auto deadline = std::chrono::steady_clock::now() + code.ExpiresIn;
    std::chrono::seconds interval = code.Interval;
    for (;;) {
        const auto next = std::chrono::steady_clock::now() + interval;
        while (std::chrono::steady_clock::now() < next) {
            if (whileWaiting)
                whileWaiting();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw EOAuth2Error("Kód zařízení vypršel dřív, než bylo přihlášení potvrzeno; nic nebylo uloženo.");
        TIdFormFields fields = {{"grant_type", "urn:ietf:params:oauth:grant-type:device_code"},
                                {"device_code", code.DeviceCode}};
        AddClient(fields, client);
        const TIdHTTPResponse answer = Post(client.TokenUrl, fields);
        const auto members = ParseJsonObject(answer.Body);
        const std::string error = members ? Value(*members, "error") : std::string();
        if (error == "authorization_pending")
            continue;
        if (error == "slow_down") {
            interval += std::chrono::seconds(5);
            continue;
        }
        if (error == "access_denied")
            throw EOAuth2Error("Přihlášení bylo odmítnuto; nic nebylo uloženo.");
        if (error == "expired_token")
            throw EOAuth2Error("Kód zařízení vypršel dřív, než bylo přihlášení potvrzeno; nic nebylo uloženo.");
        TOAuth2Tokens tokens = TokensFromAnswer(answer, client.TokenUrl, false, {});
        if (tokens.RefreshToken.empty())
            throw EOAuth2Error("Poskytovatel přihlášení nevydal obnovovací token (refresh token); nic nebylo uloženo.");
        return tokens;
    }
}

void SetOAuth2HttpTimeouts(int32_t connectMs, int32_t readMs)
{
    HttpConnectTimeoutMs = connectMs;
    HttpReadTimeoutMs = readMs;
}

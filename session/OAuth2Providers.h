#pragma once
// Where an OAuth2 account signs in: its provider's endpoints and scope, and the client
// registration (client ID, and the secret some providers give desktop clients) under
// which the program asks. No registration is built in: a distribution installs them in
// share/kormoran/oauth-clients, the user keeps their own in the configuration directory
// (oauth-clients, mode 0600), and the user's entries win key by key.
//
// The file is INI-like: "[SECTION]" lines, below each "key = value" lines, "#" comments.
// A section is named after a provider ("microsoft", "google", "seznam") or after a POP3
// host ("pop.example.org") for a provider of the user's own. Keys: client_id,
// client_secret, and for a host section also authorization_url, token_url, scope,
// device_url and mechanisms ("XOAUTH2 OAUTHBEARER", in order of preference); a known
// provider's endpoints can be overridden the same way.

#include <string>
#include <vector>

// Everything a sign-in and a refresh need, put together for one account.
struct TOAuth2Client {
    std::string Provider; // "microsoft", "google", "seznam" or "custom"
    std::string Section;  // where the client files keep it (OAuth2ClientSection)
    std::string AuthorizationUrl;
    std::string TokenUrl;
    std::string DeviceUrl; // empty: no device code flow
    std::string Scope;
    std::string ClientId;
    std::string ClientSecret;
    // The SASL mechanisms in the order they are tried, among those CAPA lists.
    std::vector<std::string> Mechanisms;
    // XOAUTH2 waits for the server's "+" before the token (Microsoft takes no initial
    // response); elsewhere the token goes with AUTH and costs no extra round trip.
    bool TwoStepXOAuth2 = false;
    // Parameters the provider needs on the authorization URL besides the standard ones
    // ("access_type=offline&prompt=consent" for a refresh token from Google).
    std::string ExtraAuthorizationParameters;
};

// The provider a POP3 host belongs to: "microsoft" for outlook.office365.com,
// "google" for pop.gmail.com, "seznam" for pop3.seznam.cz, else "custom".
std::string OAuth2ProviderOf(const std::string& host);
// The built-in endpoints, scope and mechanisms of the provider of host, with the
// distribution's and the user's entries laid over them (the host's own section last).
// ClientId is empty when nobody has registered one.
TOAuth2Client OAuth2ClientFor(const std::string& host);

// What the user's file holds for one section (empty texts: not set).
struct TOAuth2ClientEntry {
    std::string ClientId;
    std::string ClientSecret;
    std::string AuthorizationUrl;
    std::string TokenUrl;
    std::string DeviceUrl;
    std::string Scope;
    std::string Mechanisms;
};
// The section the editor shows and saves for an account: the provider's name for a
// known provider, the host for a custom one.
std::string OAuth2ClientSection(const std::string& host);
TOAuth2ClientEntry ReadUserOAuth2Client(const std::string& section);
// Replaces the section in the user's file (created 0600 in a 0700 directory); other
// sections stay as they were. Raises EInOutError.
void WriteUserOAuth2Client(const std::string& section, const TOAuth2ClientEntry& entry);

std::string UserOAuth2ClientsPath();   // $XDG_CONFIG_HOME/kormoran/oauth-clients
std::string SharedOAuth2ClientsPath(); // share/kormoran/oauth-clients (beside the executable in a build tree)

#pragma once
// The tests' authorization server (tests/support/oauth-server.py) on 127.0.0.1, on a port
// chosen at start, for as long as the object lives (it also ends when the test process
// does). It issues access tokens the private POP3 server in oauth2 mode takes: sign it
// with that server's key (PrivatePop3Server::OAuth2KeyFile()).
//
// Its switches make it misbehave for the tests that follow: Set("token", "hang"),
// Set("authorize", "wrong-state"), Set("lifetime", "2"); the script's head lists them all.

#include <string>

struct OAuthTestServerOptions {
    std::string KeyFile;                 // base64 HS256 secret
    std::string User = "kormoran";       // the "sub" claim of access tokens
    std::string ClientId = "kormoran-test";
    std::string ClientSecret;            // when not empty, the token endpoint requires it
    int Lifetime = 3600;                 // of access tokens, in seconds
    int Interval = 1;                    // the device flow's polling interval, in seconds
    std::string TlsCertificate, TlsKey;  // both given: HTTPS (PrivatePop3Server's pair fits)
};

class OAuthTestServer {
public:
    // Throws std::runtime_error with the script's output when the server cannot start.
    explicit OAuthTestServer(OAuthTestServerOptions options);
    ~OAuthTestServer();
    OAuthTestServer(const OAuthTestServer&) = delete;
    OAuthTestServer& operator=(const OAuthTestServer&) = delete;

    int Port() const { return FPort; }
    const std::string& ClientId() const { return FOptions.ClientId; }
    // http://127.0.0.1:PORT, or https:// with a certificate.
    std::string BaseUrl() const;
    std::string AuthorizationUrl() const { return BaseUrl() + "/authorize"; }
    std::string TokenUrl() const { return BaseUrl() + "/token"; }
    std::string DeviceUrl() const { return BaseUrl() + "/device"; }

    // Plays the browser: requests the authorization URL a client built and returns the
    // Location it is sent on to (the client's redirect URI with code and state). Throws
    // when the server does not redirect.
    std::string Authorize(const std::string& authorizationUrl) const;

    // One switch, sticky until Reset. Throws when the server refuses it.
    void Set(const std::string& name, const std::string& value);
    void RevokeRefreshTokens();
    // Approves the device codes waiting for the user.
    void ApproveDevices();
    // How many requests reached an endpoint: "authorize", "token" or "device".
    int Count(const std::string& endpoint) const;
    // The counts and the last requests with their parameters, as the server's JSON.
    std::string Stats() const;
    // Counts, request log, switches and every issued code and token back to the start.
    void Reset();

private:
    std::string Control(const std::string& action, const std::string& form = "") const;

    OAuthTestServerOptions FOptions;
    int FPid = -1;
    int FPort = 0;
};

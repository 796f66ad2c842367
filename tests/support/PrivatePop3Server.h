#pragma once
// A private POP3 server (Dovecot) for the real-server tests and the benchmarks: started on
// 127.0.0.1 (and ::1 where the machine has it) on a free port with one user and an empty
// Maildir, stopped and removed again when the object goes. All the work is done by
// scripts/private-pop3.
//
// With TLS the server offers STLS on Port and TLS from the first byte on TlsPort, with a
// certificate for 127.0.0.1 and ::1 (no host name) made for this server by an authority
// made for it too: CaFile, for the client's SSL_CERT_FILE.
//
// With OAuth2 the server also takes AUTH XOAUTH2 and AUTH OAUTHBEARER with a JWT access
// token signed (HS256) with the secret in OAuth2KeyFile, whose "sub" claim is User() and
// whose "exp" has not passed; the password keeps working. OAuthTestServer issues such
// tokens. Why a token was refused is in the server's log (LogPath).

#include <string>
#include <vector>

enum class PrivatePop3Tls { None, Valid, Expired, SelfSigned };

struct PrivatePop3Options {
    std::string User = "kormoran";
    std::string Password = "heslo";
    PrivatePop3Tls Tls = PrivatePop3Tls::None;
    bool OAuth2 = false;
};

class PrivatePop3Server {
public:
    // Throws std::runtime_error with the script's own explanation when the server cannot start.
    PrivatePop3Server(std::string user = "kormoran", std::string password = "heslo",
                      PrivatePop3Tls tls = PrivatePop3Tls::None);
    explicit PrivatePop3Server(PrivatePop3Tls tls) : PrivatePop3Server("kormoran", "heslo", tls) {}
    explicit PrivatePop3Server(const PrivatePop3Options& options);
    ~PrivatePop3Server();
    PrivatePop3Server(const PrivatePop3Server&) = delete;
    PrivatePop3Server& operator=(const PrivatePop3Server&) = delete;

    int Port() const { return FPort; }
    int TlsPort() const { return FTlsPort; }
    std::string CaFile() const { return FDirectory + "/tls/ca.pem"; }
    // The server's own certificate and key, which other servers of a test may present too.
    std::string CertificateFile() const { return FDirectory + "/tls/server.pem"; }
    std::string CertificateKeyFile() const { return FDirectory + "/tls/server.key"; }
    // The base64 HS256 secret that signs the access tokens the server takes (with OAuth2).
    std::string OAuth2KeyFile() const { return FDirectory + "/oauth2/hs256.key"; }
    std::string LogPath() const { return FDirectory + "/dovecot.log"; }
    // Whether the server also listens on ::1.
    static bool HasIPv6Loopback();
    const std::string& User() const { return FUser; }
    const std::string& Password() const { return FPassword; }
    // The mailbox's Maildir: the flags of a message are in its file name (":2,S" when seen).
    std::string MaildirPath() const { return FDirectory + "/home/Maildir"; }

    // Stores messages (their bytes, CR LF or LF line ends) as the next messages of the
    // mailbox; they are numbered in the order given.
    void AddMessage(const std::string& bytes);
    void AddMessages(const std::vector<std::string>& messages);

private:
    std::string FDirectory;
    std::string FUser;
    std::string FPassword;
    int FPort = 0;
    int FTlsPort = 0;
    int FStagedCount = 0;
};

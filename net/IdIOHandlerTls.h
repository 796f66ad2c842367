#pragma once
// The socket transport with TLS (OpenSSL 3). It is plain until StartTls; from then on
// every byte goes through the TLS session, and lines, work events and byte counts above
// it behave as on a plain socket. TLS 1.2 or newer, SNI for host names, the server's
// certificate checked against the system's trust store (SSL_CERT_FILE and SSL_CERT_DIR
// are honoured) and its name against the host the user typed (a DNS name or an IP
// address).
//
// A wait for data looks at what TLS already holds first and only then polls the socket,
// so a read time-out works as on a plain socket; a record that arrives only in part is
// waited for with the same time-out.

#include "IdException.h"
#include "IdIOHandlerSocket.h"

#include <cstdint>
#include <memory>
#include <string>

// How an account talks to its server.
enum TIdConnectionSecurity {
    csNone,        // the plain dialogue
    csImplicitTls, // TLS from the first byte
    csStartTls,    // plain greeting, then STLS before the log-in
};

// What the TLS session of a connection agreed on.
struct TIdTlsInfo {
    std::string Version;     // "TLS 1.3"
    std::string Cipher;      // "TLS_AES_256_GCM_SHA384"
    std::string PeerSubject; // the server certificate's subject, "CN=mail.example.org,O=..."
};

enum TIdTlsFailure {
    tfUntrusted,    // the certificate does not lead to a trusted authority
    tfNameMismatch, // issued for another name
    tfExpired,
    tfNotYetValid,
    tfHandshake,    // anything else on the way to a TLS session, a time-out included
    tfNoStartTls,   // the server refused STLS
    tfBroken,       // the TLS session failed after the handshake
    tfPinChanged,   // the account trusts another certificate than the server showed
};

// What the user needs to judge a certificate.
struct TIdCertificateFacts {
    std::string Fingerprint; // SHA-256, "AB:CD:..."
    std::string Subject;
    std::string Issuer;
    std::string NotBefore;
    std::string NotAfter;
};

// A TLS failure; the message says why, in the user's words, with the certificate's
// SHA-256 fingerprint, subject and issuer where a certificate was refused.
class EIdTlsError : public EIdException {
public:
    EIdTlsError(TIdTlsFailure failure, std::string message) : EIdException(std::move(message)), Failure(failure) {}
    EIdTlsError(TIdTlsFailure failure, std::string message, TIdCertificateFacts certificate, bool trustable)
        : EIdException(std::move(message)), Failure(failure), Certificate(std::move(certificate)), Trustable(trustable)
    {
    }

    TIdTlsFailure Failure;
    // The refused certificate, where one was refused.
    TIdCertificateFacts Certificate;
    // Only a certificate that fails for nobody known having signed it (self-signed, a
    // private authority) may be trusted by the user; a wrong name or date never.
    bool Trustable = false;
    // For a failed handshake: why, without advice (empty for other failures).
    std::string Reason;
};

class TIdIOHandlerTls : public TIdIOHandlerSocket {
public:
    TIdIOHandlerTls();
    ~TIdIOHandlerTls() override;

    // The handshake on the connected socket, checked against host. Any failure closes
    // the socket and raises EIdTlsError, so nothing more goes to that server.
    void StartTls(const std::string& host);
    bool TlsActive() const { return FSession != nullptr; }
    // The last session's figures; they stay after the connection closed.
    const TIdTlsInfo& TlsInfo() const { return FInfo; }

    // Sends the TLS close (not waiting for the server's) and releases the socket.
    void CloseHandler() override;
    // A new connection starts plain, whatever the last one did.
    void OpenHandler() override;
    bool WaitReadable(int32_t milliseconds) override;
    // A broken TLS session raises EIdTlsError; a read time-out inside a record raises
    // EIdReadTimeout; a socket failure gives -1 with the socket error number, as a
    // plain socket does.
    int RecvInto(char* buffer, int length) override;
    int SendFrom(const char* buffer, int length) override;

    // The SHA-256 fingerprint of the one certificate the user trusts for this server
    // ("AB:CD:..."): it is accepted although no known authority signed it, and any
    // other certificate is refused (tfPinChanged). Empty: the trust store decides alone.
    std::string PinnedFingerprint;
    // How long the handshake may wait for the server, in milliseconds.
    int32_t HandshakeTimeout = 30000;

protected:
    // Called once a session is up (the trace shows it).
    virtual void DoOnTlsStarted() {}

private:
    struct TSession;
    void Handshake(const std::string& host);
    int FailedCallResult(int result, bool reading);

    std::unique_ptr<TSession> FSession;
    TIdTlsInfo FInfo;
};

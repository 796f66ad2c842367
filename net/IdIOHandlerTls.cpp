#include "IdIOHandlerTls.h"

#include "IdWinSock2.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <exception>
#include <utility>
#include <ctime>

namespace {

// The socket under the TLS session. Reads wait at most WaitMilliseconds (-2: no limit);
// writes never raise SIGPIPE. Errors are left in the stack's error number. The wait runs
// the wait hook, whose exception (a cancel) must not cross OpenSSL's frames: it is kept
// in Failure and raised again once the OpenSSL call has returned.
struct TSocketBio {
    TIdStackSocketHandle Socket = Id_INVALID_SOCKET;
    int32_t WaitMilliseconds = -2;
    // While set, no wait reaches past it: the handshake as a whole has its time.
    std::optional<std::chrono::steady_clock::time_point> Deadline;
    bool TimedOut = false;
    // The server closed the connection under the handshake.
    bool PeerClosed = false;

    int32_t WaitNow() const
    {
        if (!Deadline)
            return WaitMilliseconds;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*Deadline - std::chrono::steady_clock::now());
        const int32_t bounded = static_cast<int32_t>(std::max<long long>(left.count(), 0));
        return WaitMilliseconds < 0 ? bounded : std::min(bounded, WaitMilliseconds);
    }
    std::exception_ptr Failure;

    void RaiseFailure()
    {
        if (Failure)
            std::rethrow_exception(std::exchange(Failure, nullptr));
    }
};

int BioWrite(BIO* bio, const char* data, int length)
{
    auto* socket = static_cast<TSocketBio*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    return GlobalStack->Send(socket->Socket, data, length, 0);
}

int BioRead(BIO* bio, char* data, int length)
{
    auto* socket = static_cast<TSocketBio*>(BIO_get_data(bio));
    BIO_clear_retry_flags(bio);
    int ready = -1;
    try {
        const int32_t wait = socket->WaitNow();
        ready = wait == 0 && socket->Deadline ? 0 : GlobalStack->SelectReadable(socket->Socket, wait);
    } catch (...) {
        socket->Failure = std::current_exception();
        return -1;
    }
    if (ready == 0) {
        socket->TimedOut = true;
        GlobalStack->WSASetLastError(WSAETIMEDOUT);
        return -1;
    }
    if (ready < 0)
        return -1;
    const int received = GlobalStack->Recv(socket->Socket, data, length, 0);
    if (received == 0)
        socket->PeerClosed = true;
    return received;
}

long BioControl(BIO*, int command, long, void*)
{
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketBioMethod()
{
    static BIO_METHOD* method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "kormoran socket");
        BIO_meth_set_write(made, BioWrite);
        BIO_meth_set_read(made, BioRead);
        BIO_meth_set_ctrl(made, BioControl);
        BIO_meth_set_create(made, [](BIO* bio) {
            BIO_set_init(bio, 1);
            return 1;
        });
        return made;
    }();
    return method;
}

std::string NameText(const X509_NAME* name)
{
    BIO* memory = BIO_new(BIO_s_mem());
    // RFC 2253 order and escapes, but letters outside ASCII as UTF-8, the program's text.
    X509_NAME_print_ex(memory, name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    long length = BIO_get_mem_data(memory, &data);
    std::string text(data, static_cast<size_t>(std::max(length, 0L)));
    BIO_free(memory);
    return text;
}

std::string Fingerprint(X509* certificate)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!X509_digest(certificate, EVP_sha256(), digest, &length))
        return {};
    std::string text;
    char hex[4];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(hex, sizeof hex, i == 0 ? "%02X" : ":%02X", digest[i]);
        text += hex;
    }
    return text;
}

std::string TimeText(const ASN1_TIME* time)
{
    std::tm parts{};
    if (!time || !ASN1_TIME_to_tm(time, &parts))
        return "?";
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%Y %H:%M UTC", &parts);
    return text;
}

// The first certificate problem the verification met, with what the user needs to
// judge it.
struct TVerifyFailure {
    int Error = X509_V_OK;
    TIdCertificateFacts Certificate;
    // An unknown issuer, met before any other problem and not answered by the pin.
    int IssuerError = X509_V_OK;
    // The fingerprint the user trusts.
    std::string Pin;
};

bool UnknownIssuer(int error)
{
    switch (error) {
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return true;
    default:
        return false;
    }
}

TIdCertificateFacts FactsOf(X509* certificate)
{
    return {Fingerprint(certificate), NameText(X509_get_subject_name(certificate)),
            NameText(X509_get_issuer_name(certificate)), TimeText(X509_get0_notBefore(certificate)),
            TimeText(X509_get0_notAfter(certificate))};
}

int VerifyFailureIndex()
{
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

// Verification goes on past an unknown issuer, so that a certificate with a wrong name
// or date behind it is refused for that and never offered for trust; the handshake
// refuses the unknown issuer itself once it has finished.
int RecordVerifyFailure(int ok, X509_STORE_CTX* store)
{
    if (ok)
        return ok;
    auto* ssl = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* failure = ssl ? static_cast<TVerifyFailure*>(SSL_get_ex_data(ssl, VerifyFailureIndex())) : nullptr;
    if (!failure || failure->Error != X509_V_OK)
        return ok;
    const int error = X509_STORE_CTX_get_error(store);
    STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(store);
    X509* leaf = chain && sk_X509_num(chain) > 0 ? sk_X509_value(chain, 0) : X509_STORE_CTX_get0_cert(store);
    if (leaf)
        failure->Certificate = FactsOf(leaf);
    if (UnknownIssuer(error)) {
        // The certificate the user trusted stands in for the authority nobody knows.
        if (failure->Certificate.Fingerprint != failure->Pin && failure->IssuerError == X509_V_OK)
            failure->IssuerError = error;
        return 1;
    }
    failure->Error = error;
    return ok;
}

std::string CertificateLines(const TVerifyFailure& failure)
{
    return "\r\nSHA-256: " + failure.Certificate.Fingerprint + "\r\nSubjekt: " + failure.Certificate.Subject +
           "\r\nVydavatel: " + failure.Certificate.Issuer;
}

EIdTlsError PinChangedError(const std::string& host, const std::string& pin, const TIdCertificateFacts& shown)
{
    return EIdTlsError(tfPinChanged,
                       "POZOR: server " + host + " předložil jiný certifikát, než jakému jste důvěřovali!\r\n"
                       "Důvěřovaný certifikát, SHA-256: " + pin + "\r\nPředložený certifikát, SHA-256: " +
                           shown.Fingerprint + "\r\nSubjekt: " + shown.Subject + "\r\nVydavatel: " + shown.Issuer +
                           "\r\nMůže jít o útok na spojení; nic dalšího nebylo odesláno. Nový certifikát přijměte "
                           "jen tehdy, víte-li, proč se změnil.",
                       shown, false);
}

EIdTlsError CertificateError(const TVerifyFailure& failure, const std::string& host)
{
    if (!failure.Pin.empty() && UnknownIssuer(failure.Error) && failure.Certificate.Fingerprint != failure.Pin)
        return PinChangedError(host, failure.Pin, failure.Certificate);
    switch (failure.Error) {
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return EIdTlsError(tfNameMismatch,
                           "Certifikát serveru nepatří k adrese " + host + ", ke které se program připojuje." +
                               CertificateLines(failure),
                           failure.Certificate, false);
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return EIdTlsError(tfExpired,
                           "Certifikátu serveru " + host + " vypršela platnost (" + failure.Certificate.NotAfter +
                               ")." + CertificateLines(failure),
                           failure.Certificate, false);
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return EIdTlsError(tfNotYetValid,
                           "Certifikát serveru " + host + " ještě neplatí (platí od " + failure.Certificate.NotBefore +
                               ")." + CertificateLines(failure),
                           failure.Certificate, false);
    default:
        if (UnknownIssuer(failure.Error))
            return EIdTlsError(tfUntrusted,
                               "Certifikát serveru " + host +
                                   " není důvěryhodný: nevydala ho žádná známá certifikační autorita." +
                                   CertificateLines(failure),
                               failure.Certificate, true);
        return EIdTlsError(tfUntrusted,
                           "Certifikát serveru " + host + " byl odmítnut: " +
                               X509_verify_cert_error_string(failure.Error) + "." + CertificateLines(failure),
                           failure.Certificate, false);
    }
}

// The reason OpenSSL gives for its last failure, if any.
std::string OpenSslReason()
{
    unsigned long error = ERR_peek_last_error();
    const char* reason = error ? ERR_reason_error_string(error) : nullptr;
    return reason ? reason : "";
}

// A server that answers a TLS greeting with plain text, or closes at once, does not
// speak TLS on that port.
bool LooksLikePlainServer(unsigned long error)
{
    int reason = ERR_GET_REASON(error);
    return ERR_GET_LIB(error) == ERR_LIB_SSL &&
           (reason == SSL_R_WRONG_VERSION_NUMBER || reason == SSL_R_PACKET_LENGTH_TOO_LONG ||
            reason == SSL_R_UNEXPECTED_EOF_WHILE_READING || reason == SSL_R_RECORD_LENGTH_MISMATCH);
}

// Why a handshake failed, in the user's words where the usual words are a library's.
std::string HandshakeFailureReason(unsigned long error, int sslError, bool peerClosed)
{
    const int reason = ERR_GET_REASON(error);
    if (ERR_GET_LIB(error) == ERR_LIB_SSL
        && (reason == SSL_R_TLSV1_ALERT_PROTOCOL_VERSION || reason == SSL_R_UNSUPPORTED_PROTOCOL))
        return "server umí jen zastaralou verzi TLS (nejnižší přijatelná je TLS 1.2)";
    if (ERR_GET_LIB(error) == ERR_LIB_SSL && reason == SSL_R_UNEXPECTED_EOF_WHILE_READING)
        return "server spojení během navazování šifrování uzavřel";
    std::string text = OpenSslReason();
    if (!text.empty())
        return text;
    // The socket's error number is left over from an earlier call when the server simply
    // closed; it would name a failure that never happened.
    if (peerClosed || sslError == SSL_ERROR_ZERO_RETURN)
        return "server spojení během navazování šifrování uzavřel";
    return TIdStack::SocketErrorText(GlobalStack->WSAGetLastError());
}

std::string VersionText(const SSL* ssl)
{
    std::string version = SSL_get_version(ssl);
    if (version.starts_with("TLSv"))
        version = "TLS " + version.substr(4);
    return version;
}

} // namespace

struct TIdIOHandlerTls::TSession {
    TSession() = default;
    TSession(const TSession&) = delete;
    TSession& operator=(const TSession&) = delete;
    ~TSession()
    {
        if (Ssl)
            SSL_free(Ssl);
        if (Context)
            SSL_CTX_free(Context);
    }

    SSL_CTX* Context = nullptr;
    SSL* Ssl = nullptr;
    TSocketBio Socket;
    TVerifyFailure VerifyFailure;
    // The time-out of the last wait, which a record arriving in pieces also gets.
    int32_t LastWait = -2;
};

TIdIOHandlerTls::TIdIOHandlerTls() = default;

TIdIOHandlerTls::~TIdIOHandlerTls()
{
    TIdIOHandlerTls::CloseHandler();
}

void TIdIOHandlerTls::StartTls(const std::string& host)
{
    if (!IsConnected())
        throw EIdClosedSocket();
    try {
        Handshake(host);
    } catch (...) {
        CloseHandler();
        throw;
    }
    DoOnTlsStarted();
}

void TIdIOHandlerTls::Handshake(const std::string& host)
{
    FSession = std::make_unique<TSession>();
    TSession& session = *FSession;
    ERR_clear_error();
    session.Context = SSL_CTX_new(TLS_client_method());
    if (!session.Context)
        throw EIdTlsError(tfHandshake, "Šifrování TLS nelze připravit: " + OpenSslReason());
    SSL_CTX_set_min_proto_version(session.Context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(session.Context);
    // A server that closes without the TLS goodbye has still closed; POP3 marks its own ends.
    SSL_CTX_set_options(session.Context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_verify(session.Context, SSL_VERIFY_PEER, RecordVerifyFailure);
    // Read ahead into a buffer as large as a receive chunk: a long message then costs a
    // receive call per 32 KB or more, as in plain text, not one per TLS record.
    SSL_CTX_set_default_read_buffer_len(session.Context, 65536);

    session.Ssl = SSL_new(session.Context);
    session.VerifyFailure.Pin = PinnedFingerprint;
    SSL_set_ex_data(session.Ssl, VerifyFailureIndex(), &session.VerifyFailure);
    // SSL_has_pending covers what was read ahead.
    SSL_set_read_ahead(session.Ssl, 1);
    const std::string name = TIdStack::WithoutBrackets(host);
    const bool address = TIdStack::IsDottedQuad(name) || TIdStack::IsIPv6Address(name);
    if (address) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(session.Ssl), name.c_str());
    } else {
        SSL_set_tlsext_host_name(session.Ssl, name.c_str());
        SSL_set1_host(session.Ssl, name.c_str());
    }
    session.Socket.Socket = SocketHandle()->SocketNumber;
    session.Socket.WaitMilliseconds = HandshakeTimeout > 0 ? HandshakeTimeout : -2;
    if (HandshakeTimeout > 0)
        session.Socket.Deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(HandshakeTimeout);
    BIO* bio = BIO_new(SocketBioMethod());
    BIO_set_data(bio, &session.Socket);
    SSL_set_bio(session.Ssl, bio, bio);

    const int result = SSL_connect(session.Ssl);
    session.Socket.WaitMilliseconds = -2;
    session.Socket.Deadline.reset();
    session.Socket.RaiseFailure();
    if (result == 1 && session.VerifyFailure.IssuerError != X509_V_OK) {
        session.VerifyFailure.Error = session.VerifyFailure.IssuerError;
        throw CertificateError(session.VerifyFailure, name);
    }
    if (result == 1) {
        FInfo.Version = VersionText(session.Ssl);
        FInfo.Cipher = SSL_get_cipher_name(session.Ssl);
        X509* peer = SSL_get0_peer_certificate(session.Ssl);
        FInfo.PeerSubject = peer ? NameText(X509_get_subject_name(peer)) : std::string();
        // A pinned account takes that one certificate only, even one an authority signed.
        if (!PinnedFingerprint.empty() && peer && Fingerprint(peer) != PinnedFingerprint)
            throw PinChangedError(name, PinnedFingerprint, FactsOf(peer));
        return;
    }
    if (session.VerifyFailure.Error != X509_V_OK)
        throw CertificateError(session.VerifyFailure, name);
    if (session.Socket.TimedOut)
        throw EIdTlsError(tfHandshake, "Server " + name +
                                           " nedokončil navázání šifrovaného spojení (TLS) v čase.");
    const unsigned long error = ERR_peek_last_error();
    std::string reason = HandshakeFailureReason(error, SSL_get_error(session.Ssl, result), session.Socket.PeerClosed);
    std::string message = "Šifrované spojení (TLS) se serverem " + name + " se nepodařilo navázat: " + reason + ".";
    // Encryption is never to be given up for a server that fails it.
    if (LooksLikePlainServer(error))
        message += " Server na tomto portu zřejmě nešifruje; zkuste zabezpečení STARTTLS, případně jiný port.";
    EIdTlsError failure(tfHandshake, message);
    failure.Reason = reason;
    throw failure;
}

void TIdIOHandlerTls::CloseHandler()
{
    if (FSession) {
        // Only a tidy goodbye: a server that is gone cannot take it, and that is fine.
        if (IsConnected() && SSL_is_init_finished(FSession->Ssl))
            SSL_shutdown(FSession->Ssl);
        ERR_clear_error();
        FSession.reset();
    }
    TIdIOHandlerSocket::CloseHandler();
}

void TIdIOHandlerTls::OpenHandler()
{
    FSession.reset();
    TIdIOHandlerSocket::OpenHandler();
}

bool TIdIOHandlerTls::WaitReadable(int32_t milliseconds)
{
    if (!FSession)
        return TIdIOHandlerSocket::WaitReadable(milliseconds);
    FSession->LastWait = milliseconds;
    if (SSL_has_pending(FSession->Ssl))
        return true;
    return TIdIOHandlerSocket::WaitReadable(milliseconds);
}

int TIdIOHandlerTls::RecvInto(char* buffer, int length)
{
    if (!FSession)
        return TIdIOHandlerSocket::RecvInto(buffer, length);
    if (!IsConnected())
        throw EIdClosedSocket();
    TSession& session = *FSession;
    session.Socket.WaitMilliseconds = session.LastWait;
    session.Socket.TimedOut = false;
    ERR_clear_error();
    const int received = SSL_read(session.Ssl, buffer, length);
    session.Socket.WaitMilliseconds = -2;
    session.Socket.RaiseFailure();
    if (received > 0)
        return received;
    if (session.Socket.TimedOut)
        throw EIdReadTimeout();
    return FailedCallResult(received, true);
}

int TIdIOHandlerTls::SendFrom(const char* buffer, int length)
{
    if (!FSession)
        return TIdIOHandlerSocket::SendFrom(buffer, length);
    if (!IsConnected())
        throw EIdClosedSocket();
    ERR_clear_error();
    const int sent = SSL_write(FSession->Ssl, buffer, length);
    if (sent > 0)
        return sent;
    return FailedCallResult(sent, false);
}

// A TLS session the server closed reads as a close (0); a failed socket call gives -1
// with the socket's error number in the stack, as on a plain socket; anything else is
// a broken session.
int TIdIOHandlerTls::FailedCallResult(int result, bool reading)
{
    const int error = SSL_get_error(FSession->Ssl, result);
    if (error == SSL_ERROR_ZERO_RETURN) {
        if (reading)
            return 0;
        throw EIdConnClosedGracefully();
    }
    if (error == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        return Id_SOCKET_ERROR;
    throw EIdTlsError(tfBroken, "Šifrované spojení se serverem selhalo: " + OpenSslReason() + ".");
}

#pragma once
// Certificates the user trusts by their fingerprint, one per account, for servers whose
// certificate no known authority signed (a home server, a private authority). They live
// in "certificate-pins" in the configuration directory, readable by the user alone:
// one line per account, the SHA-256 fingerprint, a TAB and the account's key (the
// keyring's, KeyringKey).

#include "Exception.h"
#include "IdIOHandlerTls.h"
#include "Keyring.h"

#include <string>

// A pin file that is damaged or that others may read or change; the text names the path.
class ECertificatePinsError : public Exception {
public:
    using Exception::Exception;
};

std::string CertificatePinsPath();

// The fingerprint the account trusts, empty for none.
std::string PinnedFingerprintOf(const TKeyringAccount& account);
// Replaces the account's pin (a new explicit trust).
void PinCertificate(const TKeyringAccount& account, const std::string& fingerprint);

// The question put to the user about a certificate that may be trusted.
std::string TrustQuestion(const std::string& address, const EIdTlsError& refusal);
// Asks through the user interface whether to trust the refused certificate and pins the
// fingerprint that was shown when the answer is yes. False when the certificate cannot
// be trusted (a wrong name or date) or the user says no.
bool TrustRefusedCertificate(const TKeyringAccount& account, const EIdTlsError& refusal);

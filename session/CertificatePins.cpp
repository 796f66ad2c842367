#include "CertificatePins.h"

#include "FileContents.h"
#include "FileLocations.h"
#include "UserInterface.h"

#include <cerrno>
#include <sys/stat.h>
#include <vector>

namespace {

const std::string PinsFileName = "certificate-pins";
const std::string Damaged = "Soubor důvěryhodných certifikátů je poškozený, program ho nepoužije: ";
const std::string OpenToOthers =
    "Soubor důvěryhodných certifikátů mohou číst nebo měnit i jiní uživatelé, program ho nepoužije, "
    "dokud to nenapravíte (chmod 600): ";
const std::string Unreadable = "Soubor důvěryhodných certifikátů nelze přečíst: ";

struct TPin {
    std::string Fingerprint;
    std::string Key;
};

// "AB:CD:...": 32 bytes in upper-case hexadecimal pairs.
bool IsFingerprint(const std::string& text)
{
    if (text.size() != 95)
        return false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool ok = i % 3 == 2 ? c == ':' : (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
        if (!ok)
            return false;
    }
    return true;
}

std::vector<TPin> ReadPins(const std::string& path)
{
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT)
            return {};
        throw ECertificatePinsError(Unreadable + path);
    }
    if ((status.st_mode & 077) != 0)
        throw ECertificatePinsError(OpenToOthers + path);
    std::optional<std::string> bytes;
    try {
        bytes = ReadFileContents(path);
    } catch (const Exception&) {
        throw ECertificatePinsError(Unreadable + path);
    }
    std::vector<TPin> pins;
    size_t start = 0;
    while (bytes && start < bytes->size()) {
        size_t end = bytes->find('\n', start);
        if (end == std::string::npos)
            end = bytes->size();
        const std::string line = bytes->substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos || !IsFingerprint(line.substr(0, tab)) || tab + 1 == line.size())
            throw ECertificatePinsError(Damaged + path);
        pins.push_back({line.substr(0, tab), line.substr(tab + 1)});
    }
    return pins;
}

} // namespace

std::string CertificatePinsPath()
{
    return ConfigDirectory() + "/" + PinsFileName;
}

std::string PinnedFingerprintOf(const TKeyringAccount& account)
{
    const std::string key = KeyringKey(account);
    for (const TPin& pin : ReadPins(CertificatePinsPath()))
        if (pin.Key == key)
            return pin.Fingerprint;
    return {};
}

void PinCertificate(const TKeyringAccount& account, const std::string& fingerprint)
{
    const std::string path = CertificatePinsPath();
    if (!IsFingerprint(fingerprint))
        throw ECertificatePinsError(Damaged + path);
    const std::string key = KeyringKey(account);
    std::string bytes;
    for (const TPin& pin : ReadPins(path))
        if (pin.Key != key)
            bytes += pin.Fingerprint + "\t" + pin.Key + "\n";
    bytes += fingerprint + "\t" + key + "\n";
    CreateDirectoryFor(path);
    ReplaceFileContents(path, bytes, 0600);
}

std::string TrustQuestion(const std::string& address, const EIdTlsError& refusal)
{
    const TIdCertificateFacts& certificate = refusal.Certificate;
    return "Certifikát serveru účtu " + address + " nevydala žádná známá certifikační autorita.\r\n\r\n" +
           "Subjekt: " + certificate.Subject + "\r\nVydavatel: " + certificate.Issuer + "\r\nPlatnost: od " +
           certificate.NotBefore + " do " + certificate.NotAfter + "\r\nSHA-256: " + certificate.Fingerprint +
           "\r\n\r\nDůvěřovat tomuto certifikátu? Odpovězte Ano jen tehdy, když otisk SHA-256 souhlasí s tím, "
           "který vám sdělil správce serveru.";
}

bool TrustRefusedCertificate(const TKeyringAccount& account, const EIdTlsError& refusal)
{
    if (!refusal.Trustable || refusal.Certificate.Fingerprint.empty())
        return false;
    if (!UserInterface().AskYesNo("Warning", TrustQuestion(account.Address, refusal)))
        return false;
    PinCertificate(account, refusal.Certificate.Fingerprint);
    return true;
}

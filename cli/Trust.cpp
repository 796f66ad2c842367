#include "Trust.h"

#include "CertificatePins.h"

namespace {

const std::string NotEncrypted = "Účet %s nepoužívá šifrované spojení; není čemu důvěřovat.";
const std::string AlreadyTrusted = "Certifikát serveru účtu %s podepsala známá certifikační autorita; "
                                   "není třeba mu zvlášť důvěřovat.";
const std::string Trusted = "Certifikát s otiskem SHA-256 %s je teď pro účet %s důvěryhodný.";
const std::string NotTrusted = "Certifikát nebyl přijat; nic se nezměnilo.";

} // namespace

void TrustAccountCertificate(const std::string& account, const TCommandContext& context)
{
    TPOP3Rec record = RecordFromLines(SelectAccount(context.Accounts, account));
    if (record.Security == csNone)
        throw Exception(FilledText(NotEncrypted, record.Address));
    if (context.Password)
        record.Password = *context.Password;
    if (context.AccessToken)
        record.Login = lmOAuth2;
    const auto session = CreateSession(record);
    if (context.AccessToken)
        session->GivenAccessToken = *context.AccessToken;
    // What the server shows now is what the question is about, whatever was trusted before.
    session->PinnedFingerprint.clear();
    if (context.Transport)
        session->SetIOHandler(context.Transport);
    try {
        session->Reconnect();
    } catch (const EIdTlsError& refusal) {
        if (!refusal.Trustable)
            throw;
        if (!TrustRefusedCertificate({record.Address, record.Host, record.User}, refusal))
            throw Exception(NotTrusted);
        context.Out << TerminalText(FilledText(Trusted, refusal.Certificate.Fingerprint, record.Address)) << '\n';
        return;
    }
    session->CloseConnection();
    context.Out << TerminalText(FilledText(AlreadyTrusted, record.Address)) << '\n';
}

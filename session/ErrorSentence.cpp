#include "ErrorSentence.h"

#include "IdException.h"
#include "IdIOHandlerTls.h"
#include "IdWinSock2.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

namespace {

const std::string CheckServer = " Zkontrolujte adresu serveru a port ve vlastnostech účtu.";
const std::string TryAgain = " Zkuste to znovu.";
const std::string TryLater = " Zkuste to později.";
const std::string CheckNetwork = " Zkontrolujte připojení k síti.";
const std::string ProgramFault = "V programu nastala chyba při práci se síťovým spojením.";

struct TSocketSentence {
    int32_t Number;
    const char* Sentence;
};

// Every number the socket layer reports, also those a POP3 client never meets in
// practice: the user reads a sentence, not a number.
const std::string& SocketSentence(int32_t number)
{
    static const std::string Refused = "Server odmítl spojení." + CheckServer;
    static const std::string Broken = "Spojení se serverem se nečekaně přerušilo." + TryAgain;
    static const std::string TimedOut = "Server na pokus o spojení neodpověděl." + CheckServer;
    static const std::string Unreachable = "Server není ze sítě dosažitelný." + CheckNetwork;
    static const std::string NetworkDown = "Síť není k dispozici." + CheckNetwork;
    static const std::string UnknownHost = "Server tohoto jména neznám." + CheckServer;
    static const std::string NameServiceBusy = "Jméno serveru se teď nepodařilo zjistit." + CheckNetwork + TryLater;
    static const std::string NoAddress = "Jméno serveru nemá žádnou adresu, na kterou by se dalo připojit." + CheckServer;
    static const std::string Resources = "Systému došly prostředky pro síťová spojení. Zavřete jiné programy a zkuste to znovu.";
    static const std::string Denied = "Systém programu spojení se serverem nepovolil. Zkontrolujte nastavení firewallu.";
    static const std::string LocalAddress = "Spojení nelze navázat z adresy tohoto počítače." + CheckNetwork;
    static const std::string Interrupted = "Spojení bylo přerušeno systémem." + TryAgain;
    static const std::string Fault = ProgramFault + TryAgain;
    static const std::string Unknown = "Spojení se serverem selhalo." + CheckNetwork + TryAgain;
    static const std::vector<std::pair<int32_t, const std::string*>> Sentences = {
        {WSAEINTR, &Interrupted},          {WSAEBADF, &Fault},
        {WSAEACCES, &Denied},              {WSAEFAULT, &Fault},
        {WSAEINVAL, &Fault},               {WSAEMFILE, &Resources},
        {WSAEWOULDBLOCK, &Fault},          {WSAEINPROGRESS, &Fault},
        {WSAEALREADY, &Fault},             {WSAENOTSOCK, &Fault},
        {WSAEDESTADDRREQ, &Fault},         {WSAEMSGSIZE, &Fault},
        {WSAEPROTOTYPE, &Fault},           {WSAENOPROTOOPT, &Fault},
        {WSAEPROTONOSUPPORT, &NetworkDown}, {WSAESOCKTNOSUPPORT, &NetworkDown},
        {WSAEOPNOTSUPP, &Fault},           {WSAEPFNOSUPPORT, &NetworkDown},
        {WSAEAFNOSUPPORT, &NetworkDown},   {WSAEADDRINUSE, &LocalAddress},
        {WSAEADDRNOTAVAIL, &LocalAddress}, {WSAENETDOWN, &NetworkDown},
        {WSAENETUNREACH, &Unreachable},    {WSAENETRESET, &Broken},
        {WSAECONNABORTED, &Broken},        {WSAECONNRESET, &Broken},
        {WSAENOBUFS, &Resources},          {WSAEISCONN, &Fault},
        {WSAENOTCONN, &Broken},            {WSAESHUTDOWN, &Broken},
        {WSAETOOMANYREFS, &Resources},     {WSAETIMEDOUT, &TimedOut},
        {WSAECONNREFUSED, &Refused},       {WSAELOOP, &Fault},
        {WSAENAMETOOLONG, &UnknownHost},   {WSAEHOSTDOWN, &Unreachable},
        {WSAEHOSTUNREACH, &Unreachable},   {WSAENOTEMPTY, &Fault},
        {WSANOTINITIALISED, &Fault},       {WSAHOST_NOT_FOUND, &UnknownHost},
        {WSATRY_AGAIN, &NameServiceBusy},  {WSANO_RECOVERY, &NameServiceBusy},
        {WSANO_DATA, &NoAddress},
    };
    const auto found = std::find_if(Sentences.begin(), Sentences.end(),
                                    [number](const auto& entry) { return entry.first == number; });
    return found == Sentences.end() ? Unknown : *found->second;
}

std::string TlsSentence(TIdTlsFailure failure)
{
    const std::string notSent = " Heslo nebylo odesláno.";
    switch (failure) {
    case tfUntrusted:
        return "Server se prokázal certifikátem, kterému program nedůvěřuje." + notSent +
               " Ověřte u správce serveru, že je certifikát pravý.";
    case tfNameMismatch:
        return "Certifikát serveru patří k jinému jménu, než je zadáno v účtu." + notSent +
               " Zkontrolujte adresu serveru ve vlastnostech účtu.";
    case tfExpired:
        return "Certifikát serveru už neplatí." + notSent + " Upozorněte správce serveru, nebo zkontrolujte datum a čas počítače.";
    case tfNotYetValid:
        return "Certifikát serveru ještě neplatí." + notSent + " Zkontrolujte datum a čas počítače.";
    case tfNoStartTls:
        return "Server neumí šifrování STARTTLS." + notSent + " Zvolte ve vlastnostech účtu zabezpečení SSL/TLS.";
    case tfBroken:
        return "Šifrované spojení se serverem se nečekaně přerušilo." + TryAgain;
    case tfHandshake:
    default:
        return "Šifrované spojení se serverem se nepodařilo navázat." + notSent +
               " Zkontrolujte port a zabezpečení ve vlastnostech účtu.";
    }
}

bool Contains(std::string_view text, std::string_view part)
{
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts)
{
    return std::any_of(parts.begin(), parts.end(), [text](std::string_view part) { return Contains(text, part); });
}

// Servers say why in free words; the response codes in brackets (RFC 2449, 3206) and
// the usual phrases tell the common cases apart.
std::string RefusalSentence(std::string_view reply)
{
    if (ContainsAny(reply, {"plaintext", "cleartext", "[privacy"}))
        return "Server odmítá přijmout heslo po nešifrovaném spojení. Zvolte ve vlastnostech účtu zabezpečení SSL/TLS "
               "nebo STARTTLS.";
    if (ContainsAny(reply, {"[in-use]", "in use", "locked", "lock "}))
        return "Schránku právě používá jiný program nebo jiné spojení." + TryLater;
    if (ContainsAny(reply, {"[login-delay]"}))
        return "Server nedovoluje přihlašovat se tak často." + TryLater;
    if (ContainsAny(reply, {"[sys/temp]", "temporar", "try again"}))
        return "Server má dočasné potíže." + TryLater;
    if (ContainsAny(reply, {"[sys/perm]"}))
        return "Server schránku odmítá zpřístupnit. Obraťte se na správce serveru.";
    if (ContainsAny(reply, {"[auth]", "auth", "password", "login", "logon", "credentials", "invalid user",
                            "unknown user", "no such user", "bad user"}))
        return "Server odmítl přihlášení. Zkontrolujte uživatelské jméno a heslo ve vlastnostech účtu.";
    if (ContainsAny(reply, {"no such message", "message deleted", "already deleted"}))
        return "Zpráva už na serveru není. Zkontrolujte schránku znovu.";
    return "Server požadavek odmítl.";
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string ErrorSentence(const std::exception& error)
{
    if (const auto* socket = dynamic_cast<const EIdSocketError*>(&error))
        return SocketSentence(socket->ErrorNumber);
    if (const auto* tls = dynamic_cast<const EIdTlsError*>(&error))
        return TlsSentence(tls->Failure);
    if (const auto* refusal = dynamic_cast<const EIdProtocolReplyError*>(&error))
        return RefusalSentence(refusal->Message);
    if (dynamic_cast<const EIdConnClosedGracefully*>(&error) || dynamic_cast<const EIdClosedSocket*>(&error) ||
        dynamic_cast<const EIdNotConnected*>(&error))
        return "Spojení se serverem se nečekaně přerušilo." + TryAgain;
    if (dynamic_cast<const EIdConnectTimeout*>(&error))
        return "Server na pokus o spojení neodpověděl." + CheckServer;
    if (dynamic_cast<const EIdReadTimeout*>(&error))
        return "Server přestal odpovídat." + TryLater;
    if (dynamic_cast<const EIdReplyNotUnderstood*>(&error) || dynamic_cast<const EIdReplyTooLong*>(&error) ||
        dynamic_cast<const EIdReadLnMaxLineLengthExceeded*>(&error) || dynamic_cast<const EIdReplyOutOfStep*>(&error))
        return "Server odpověděl tak, jak server POP3 neodpovídá." + CheckServer;
    if (dynamic_cast<const EIdWS2StubError*>(&error) || dynamic_cast<const EIdStackInitializationFailed*>(&error) ||
        dynamic_cast<const EIdInvalidSocket*>(&error))
        return "Síťová spojení teď nelze otevírat." + CheckNetwork;
    if (dynamic_cast<const EIdCouldNotBindSocket*>(&error) || dynamic_cast<const EIdInvalidPortRange*>(&error) ||
        dynamic_cast<const EIdCanNotBindPortInRange*>(&error))
        return "Spojení nelze navázat z adresy tohoto počítače." + CheckNetwork;
    // The program's own Czech texts already say what to do; the layer's English ones do not.
    if (dynamic_cast<const EIdException*>(&error) && IsAscii(error.what()))
        return "Při spojení se serverem nastala chyba." + TryAgain;
    return {};
}

std::string ErrorBoxText(const std::exception& error)
{
    const std::string sentence = ErrorSentence(error);
    return sentence.empty() ? error.what() : sentence + "\n" + error.what();
}

#include "IdPOP3.h"

#include "Convert.h"
#include "IdException.h"
#include "IdHashMessageDigest.h"
#include "IdMessage.h"

#include <algorithm>
#include <cctype>

namespace {


bool SameTextIgnoringCase(const std::string& text, const char* expected)
{
    size_t i = 0;
    for (; expected[i] != '\0'; ++i) {
        if (i >= text.size() || std::toupper(static_cast<unsigned char>(text[i])) != expected[i])
            return false;
    }
    return i == text.size();
}

std::string FirstWord(const std::string& text)
{
    const std::string trimmed = TrimBlanks(text);
    return trimmed.substr(0, trimmed.find(' '));
}

std::string HeaderCommand(int64_t number, int32_t bodyLines = 0)
{
    return "TOP " + std::to_string(number) + " " + std::to_string(bodyLines);
}

std::string SizeCommand(int64_t number)
{
    return "LIST " + std::to_string(number);
}

std::string DeleteCommand(int64_t number)
{
    return "DELE " + std::to_string(number);
}

// Whoever refused, encryption is not to be given up: the user hears who may have refused
// it and that the credentials stayed here.
const std::string StartTlsRefusedText =
    "Šifrování odmítl server nebo něco mezi ním a vámi. Jméno ani heslo nebylo odesláno.";

// A line end inside a credential would end the command early and send the rest to the
// server as a command of its own; a NUL cuts it short on many servers.
void RefuseLineBreaks(const std::string& text, const char* what)
{
    if (text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        throw EIdException(std::string(what) + " obsahuje konec řádku nebo nulový znak; nic nebylo odesláno.");
}

const std::string UnencryptedTokenText =
    "Přístupový údaj smí jít jen šifrovaným spojením; zvolte zabezpečení SSL/TLS nebo STARTTLS. "
    "Nic nebylo odesláno.";

std::string UniqueIdCommand(int64_t number)
{
    return "UIDL " + std::to_string(number);
}

// RFC 1939: 1 to 70 characters in the range 0x21 to 0x7E.
bool IsValidUniqueId(const std::string& id)
{
    if (id.empty() || id.size() > 70)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7E; });
}

// "3 QhdPYR:00WBw1Ph7x7" as the number and the ID, or nothing when either is unusable.
std::optional<TIdPOP3::TUniqueId> ParseUniqueIdLine(const std::string& line)
{
    const std::string text = TrimBlanks(line);
    const size_t space = text.find(' ');
    if (space == std::string::npos)
        return std::nullopt;
    const std::string numberText = text.substr(0, space);
    if (numberText.empty() || !std::all_of(numberText.begin(), numberText.end(), ::isdigit))
        return std::nullopt;
    const int32_t number = StrToIntDef(numberText, -1);
    const std::string id = TrimBlanks(text.substr(space + 1));
    if (number < 1 || !IsValidUniqueId(id))
        return std::nullopt;
    return TIdPOP3::TUniqueId{number, id};
}

} // namespace

TIdPOP3::TIdPOP3()
{
    Port = 110;
}

void TIdPOP3::OpenConnection(int32_t timeout)
{
    RefuseLineBreaks(Username, "Uživatelské jméno");
    RefuseLineBreaks(Password, "Heslo");
    FPipeline.Clear();
    FCapabilitiesAsked = false;
    FPipelining = false;
    FGreeting.clear();
    LoginMethodUsed.clear();
    AuthRefused = false;
    TIdMessageClient::OpenConnection(timeout);
    try {
        // A greeting that never comes leaves nothing to say QUIT to.
        Exchange([&] {
            ReadGreeting();
            return 0;
        });
        if (Security == csStartTls)
            StartTlsWithStls();
        if (APOP)
            LogInWithApop();
        else
            LogIn();
        // Capabilities may change with the log-in (RFC 2449): the caller asks again.
        FCapabilitiesAsked = false;
        FPipelining = false;
    } catch (...) {
        // The caller must learn why the log-in failed, not that the goodbye could not be
        // sent to a server that has already gone.
        try {
            CloseConnection();
        } catch (const std::exception&) {
        }
        throw;
    }
}

void TIdPOP3::ReadGreeting()
{
    const int32_t readTimeout = ReadTimeout;
    if (GreetingTimeout > 0 && (ReadTimeout == 0 || ReadTimeout > GreetingTimeout))
        ReadTimeout = GreetingTimeout;
    try {
        ReadReply({ReplyOk});
        FGreeting = FirstReplyText();
    } catch (const EIdReadTimeout&) {
        ReadTimeout = readTimeout;
        std::string message = "Server " + Host + " neposlal uvítání.";
        if (!Encrypted())
            message += " Možná na tomto portu čeká šifrované spojení; zkuste zabezpečení SSL/TLS.";
        throw EIdException(message);
    } catch (...) {
        ReadTimeout = readTimeout;
        throw;
    }
    ReadTimeout = readTimeout;
}

void TIdPOP3::StartTlsWithStls()
{
    WriteLine("STLS");
    if (ReadReply({}) != ReplyOk) {
        const std::string answer = TrimBlanks(FirstReplyText());
        // Nothing more goes to a server that will not encrypt: not the user name, not QUIT.
        DropSocket();
        throw EIdTlsError(tfNoStartTls, "Server " + Host + " nenabízí šifrování STARTTLS (odpověděl: -ERR " + answer +
                                            "). " + StartTlsRefusedText);
    }
    try {
        StartTls();
    } catch (const EIdTlsError& failure) {
        if (failure.Failure != tfHandshake || failure.Reason.empty())
            throw;
        throw EIdTlsError(tfHandshake, "Šifrování STARTTLS se serverem " + Host + " se nepodařilo navázat: " +
                                           failure.Reason + ". " + StartTlsRefusedText);
    }
}

// RFC 1939's timestamp: "<" ... "@" ... ">" in the greeting; empty when there is none.
static std::string ApopTimestamp(const std::string& greeting, bool strict)
{
    size_t open = greeting.find('<');
    size_t close = open == std::string::npos ? std::string::npos : greeting.find('>', open);
    if (close == std::string::npos)
        return {};
    std::string timestamp = greeting.substr(open, close - open + 1);
    if (strict && (timestamp.find('@') == std::string::npos || timestamp.find(' ') != std::string::npos))
        return {};
    return timestamp;
}

void TIdPOP3::LogIn()
{
    FSaslMechanisms.clear();
    std::vector<std::shared_ptr<TIdSASLMechanism>> wanted = SASLMechanisms;
    if (SASLMechanism)
        wanted.insert(wanted.begin(), SASLMechanism);
    // An account that needs a mechanism has no password to fall back on.
    const bool tokenLogin = !wanted.empty();
    if (Encrypted() || tokenLogin) {
        if (SendCommand("CAPA") == ReplyOk)
            Exchange([&] {
                ReadCapabilityLines();
                return 0;
            });
        if (wanted.empty())
            wanted.push_back(std::make_shared<TIdSASLPlain>(Username, Password));
        std::string names;
        for (const auto& mechanism : wanted) {
            if (std::find(FSaslMechanisms.begin(), FSaslMechanisms.end(), mechanism->Name()) == FSaslMechanisms.end()) {
                names += (names.empty() ? "" : " ani ") + mechanism->Name();
                continue;
            }
            if (!Encrypted() && mechanism->NeedsEncryption()) {
                if (tokenLogin)
                    throw EIdException(UnencryptedTokenText);
                continue;
            }
            Authenticate(*mechanism);
            return;
        }
        if (tokenLogin)
            throw EIdException("Server " + Host + " nenabízí přihlášení " + names + ".");
    }
    if (!Encrypted() && !ApopTimestamp(FGreeting, true).empty()) {
        LogInWithApop();
        return;
    }
    LogInWithUserPass();
}

void TIdPOP3::LogInWithUserPass()
{
    LoginMethodUsed = "USER";
    SendCommand("USER " + Username, ReplyOk);
    if (!Encrypted())
        PasswordSentUnencrypted = true;
    SendCommand("PASS " + Password, ReplyOk);
}

void TIdPOP3::LogInWithApop()
{
    const std::string timestamp = ApopTimestamp(FGreeting, false);
    if (timestamp.empty())
        throw EIdException("Server do not support APOP (no timestamp)");
    LoginMethodUsed = "APOP";
    SendCommand("APOP " + Username + " " + TIdHashMessageDigest5::HashValueAsHex(timestamp + Password), ReplyOk);
}

// RFC 5034: "AUTH NAME initial-response", then "+ challenge" lines answered one line
// each, until "+OK" or "-ERR".
void TIdPOP3::Authenticate(TIdSASLMechanism& mechanism)
{
    LoginMethodUsed = "AUTH " + mechanism.Name();
    std::string command = "AUTH " + mechanism.Name();
    if (const auto initial = mechanism.InitialResponse())
        command += " " + (initial->empty() ? std::string("=") : EncodeSaslBase64(*initial));
    WriteLine(command);
    // A mechanism has a few rounds at most; a server that keeps challenging is abandoned.
    constexpr int MaxRounds = 8;
    for (int round = 0;; ++round) {
        const std::string line = ReadNonEmptyLine(MaxReplyLines);
        const std::string code = TrimBlanks(line.substr(0, 4));
        if (SameTextIgnoringCase(code, "+OK") || SameTextIgnoringCase(code, "-ERR")) {
            LastReply.ParseLines({line});
            LastReply.SetNumericCode(SameTextIgnoringCase(code, "+OK") ? ReplyOk : ReplyErr);
            AuthRefused = LastReply.NumericCode() == ReplyErr;
            try {
                CheckReplyCode(static_cast<int16_t>(LastReply.NumericCode()), {ReplyOk});
            } catch (const EIdProtocolReplyError& refusal) {
                const std::string detail = mechanism.RefusalDetail();
                if (detail.empty())
                    throw;
                throw EIdProtocolReplyError(refusal.ReplyCode, refusal.Message + "Server k tomu uvedl: " + detail + "\r\n");
            }
            return;
        }
        const bool challenge = line == "+" || line.starts_with("+ ");
        const auto decoded = challenge ? DecodeSaslBase64(TrimBlanks(line.substr(1))) : std::nullopt;
        if (!decoded || round == MaxRounds)
            throw EIdReplyNotUnderstood("Unrecognized POP3 Response Header:\n\"" + line + "\r\n\"");
        WriteLine(EncodeSaslBase64(mechanism.Respond(*decoded)));
    }
}

void TIdPOP3::CloseConnection()
{
    QuitConfirmed = false;
    try {
        ReadOutstandingReplies();
        if (IsConnected()) {
            WriteLine("QUIT");
            ReadQuitReply();
        }
    } catch (...) {
        FPipeline.Clear();
        TIdMessageClient::CloseConnection();
        throw;
    }
    TIdMessageClient::CloseConnection();
}

// The server answers the commands it was sent before it reads QUIT; a check that ended
// early still has their replies on the way.
void TIdPOP3::ReadOutstandingReplies()
{
    FPipeline.StopSending();
    while (FPipeline.Outstanding() > 0 && IsConnected()) {
        const std::string command = FPipeline.AwaitReply();
        ReadReply({});
        if (LastReply.NumericCode() == ReplyOk && command.starts_with("TOP ")) {
            TIdMessage ignored;
            ReceiveHeaderBlock(ignored, ".");
        } else if (LastReply.NumericCode() == ReplyOk && command == "UIDL") {
            std::vector<std::string> ignored;
            CaptureLines(ignored);
        }
        FPipeline.ReplyTaken();
    }
    FPipeline.Clear();
}

// A plan given up half-way: the replies to what it sent come before anything else.
void TIdPOP3::EndPlan()
{
    try {
        ReadOutstandingReplies();
    } catch (...) {
        AbandonConnection(std::current_exception());
    }
}

void TIdPOP3::StartPlan(TIdCommandPipeline::TCommandSource source)
{
    if (FPipeline.Outstanding() > 0)
        EndPlan();
    FPipeline.Plan(std::move(source), PipelineWindow);
}

void TIdPOP3::AbandonConnection(std::exception_ptr failure)
{
    FPipeline.Clear();
    DropSocket();
    std::rethrow_exception(failure);
}

// A planned command is answered from the pipeline; any other goes out on its own once
// the pipeline is empty.
int16_t TIdPOP3::Transact(const std::string& command, int16_t acceptedCode, const std::function<void()>& readRest)
{
    if (FPipeline.Active() && !FPipeline.IsNext(command))
        EndPlan();
    if (!FPipeline.Active()) {
        const int16_t code = SendCommand(command, acceptedCode);
        if (readRest && code == ReplyOk)
            Exchange(readRest);
        return code;
    }
    try {
        FPipeline.AwaitReply();
        ReadReply({});
        if (readRest && LastReply.NumericCode() == ReplyOk)
            readRest();
    } catch (...) {
        // Where the next reply begins is not known any more.
        AbandonConnection(std::current_exception());
    }
    FPipeline.ReplyTaken();
    return CheckReplyCode(static_cast<int16_t>(LastReply.NumericCode()),
                          acceptedCode == -1 ? TIdReplyCodes{} : TIdReplyCodes{acceptedCode});
}

bool TIdPOP3::AskCapabilities()
{
    if (FCapabilitiesAsked)
        return FPipelining;
    FCapabilitiesAsked = true;
    if (SendCommand("CAPA") != ReplyOk)
        return false;
    try {
        ReadCapabilityLines();
    } catch (...) {
        FPipelining = false;
        AbandonConnection(std::current_exception());
    }
    return FPipelining;
}

void TIdPOP3::ReadCapabilityLines()
{
    FPipelining = false;
    for (int32_t lines = 0;; ++lines) {
        const std::string line = ReadLine();
        if (line == ".")
            break;
        if (lines == MaxReplyLines)
            throw EIdReplyTooLong();
        FPipelining = FPipelining || SameTextIgnoringCase(FirstWord(line), "PIPELINING");
        for (std::string& mechanism : SaslMechanismsOfCapability(line))
            FSaslMechanisms.push_back(std::move(mechanism));
    }
}

void TIdPOP3::PlanHeaders(int32_t first, int32_t last, int32_t bodyLines)
{
    if (!FPipelining)
        return;
    StartPlan(
        [next = int64_t{first}, last, bodyLines, size = false](std::string& command) mutable {
            if (next > last)
                return false;
            command = size ? SizeCommand(next++) : HeaderCommand(next, bodyLines);
            size = !size;
            return true;
        });
}

void TIdPOP3::PlanHeaders(std::vector<int32_t> numbers)
{
    if (!FPipelining)
        return;
    StartPlan(
        [numbers = std::move(numbers), next = size_t{0}, size = false](std::string& command) mutable {
            if (next >= numbers.size())
                return false;
            command = size ? SizeCommand(numbers[next++]) : HeaderCommand(numbers[next]);
            size = !size;
            return true;
        });
}

void TIdPOP3::PlanUniqueIdsAndHeaders(int32_t count, int32_t bodyLines)
{
    if (!FPipelining)
        return;
    StartPlan([next = int64_t{0}, count, bodyLines, size = false](std::string& command) mutable {
        if (next == 0) {
            command = "UIDL";
            next = 1;
            return true;
        }
        if (next > count)
            return false;
        command = size ? SizeCommand(next++) : HeaderCommand(next, bodyLines);
        size = !size;
        return true;
    });
}

void TIdPOP3::PlanIdentityChecks(std::vector<std::pair<int32_t, bool>> numbersByUniqueId)
{
    if (!FPipelining)
        return;
    StartPlan([checks = std::move(numbersByUniqueId), next = size_t{0}, size = false](std::string& command) mutable {
        if (next >= checks.size())
            return false;
        const auto [number, byUniqueId] = checks[next];
        if (byUniqueId) {
            command = UniqueIdCommand(number);
            ++next;
        } else {
            command = size ? SizeCommand(number) : HeaderCommand(number);
            next += size ? 1 : 0;
            size = !size;
        }
        return true;
    });
}

void TIdPOP3::PlanDeletions(std::vector<int32_t> numbers)
{
    if (!FPipelining)
        return;
    StartPlan(
        [numbers = std::move(numbers), next = size_t{0}](std::string& command) mutable {
            if (next >= numbers.size())
                return false;
            command = DeleteCommand(numbers[next++]);
            return true;
        });
}

void TIdPOP3::StopPlan()
{
    FPipeline.StopSending();
}

// "-ERR" to QUIT means the server did not carry out everything (RFC 1939: some deleted
// messages not removed); a server that just hangs up has said nothing either way.
void TIdPOP3::ReadQuitReply()
{
    try {
        ReadReply({ReplyOk});
    } catch (const EIdConnClosedGracefully&) {
        return;
    } catch (const EIdSocketError&) {
        return;
    }
    QuitConfirmed = true;
}

int16_t TIdPOP3::ReadReply(const TIdReplyCodes& acceptedCodes)
{
    ReadReplyLines();
    if (SameTextIgnoringCase(LastReply.TextCode(), "+OK")) {
        LastReply.SetNumericCode(ReplyOk);
    } else if (SameTextIgnoringCase(LastReply.TextCode(), "-ERR")) {
        LastReply.SetNumericCode(ReplyErr);
    } else {
        std::string text;
        for (const auto& line : LastReply.Text)
            text += line + "\r\n";
        throw EIdReplyNotUnderstood("Unrecognized POP3 Response Header:\n\"" + text + "\"");
    }
    return CheckReplyCode(static_cast<int16_t>(LastReply.NumericCode()), acceptedCodes);
}

int32_t TIdPOP3::CountMessages()
{
    Transact("STAT", ReplyOk);
    // "+OK 2 320": the count is the number before the first space.
    std::string text = FirstReplyText();
    if (text.empty())
        return 0;
    size_t space = text.find(' ');
    const int32_t count = StrToInt(space == std::string::npos ? std::string() : text.substr(0, space));
    if (count > MaxMessageCount)
        throw EIdException("Server " + Host + " hlásí " + std::to_string(count) + " zpráv, víc než " +
                           std::to_string(MaxMessageCount) + ", kolik program přečte. Nic nebylo načteno.");
    return count;
}

bool TIdPOP3::FetchHeader(int32_t number, TIdMessage& message, int32_t bodyLines, std::vector<std::string>* body)
{
    if (bodyLines <= 0 || !body) {
        Transact(HeaderCommand(number), ReplyOk, [&] { ReceiveHeaderBlock(message, "."); });
        return true;
    }
    Transact(HeaderCommand(number, bodyLines), ReplyOk, [&] {
        if (ReceiveHeaderBlock(message, "").empty())
            ReceiveBodyLines(*body, static_cast<size_t>(bodyLines));
    });
    return true;
}

int32_t TIdPOP3::FetchSize(int32_t number)
{
    const std::string command = SizeCommand(number);
    // Out of a pipeline, "+OK 4 1200" for LIST 3 means the replies have slipped.
    auto answersThisNumber = [&] {
        const std::string text = TrimBlanks(FirstReplyText());
        if (text.find(' ') != std::string::npos && StrToIntDef(FirstWord(text), number) != number)
            throw EIdReplyOutOfStep(command, "+OK " + FirstReplyText());
    };
    Transact(command, ReplyOk, FPipeline.Active() ? std::function<void()>(answersThisNumber) : nullptr);
    // "+OK 3 1200": the size is everything after the first space.
    std::string text = FirstReplyText();
    if (text.empty())
        return -1;
    size_t space = text.find(' ');
    return StrToIntDef(space == std::string::npos ? text : text.substr(space + 1), -1);
}

bool TIdPOP3::FetchMessage(int32_t number, TIdMessage& message)
{
    const int16_t code = Transact("RETR " + IntToStr(number), -1, [&] {
        // A header block ended by "." instead of a blank line is a message without a body.
        if (ReceiveHeaderBlock(message, "").empty())
            ReceiveMessageBody(message, ".");
    });
    return code == ReplyOk;
}

bool TIdPOP3::FetchMessageLines(int32_t number, int32_t lines, TIdMessage& message, int64_t& received)
{
    FReceived = 0;
    const int16_t code = Transact(HeaderCommand(number, lines), -1, [&] {
        FCountingReceived = true;
        try {
            if (ReceiveHeaderBlock(message, "").empty())
                ReceiveMessageBody(message, ".");
        } catch (...) {
            FCountingReceived = false;
            throw;
        }
        FCountingReceived = false;
    });
    received = FReceived;
    return code == ReplyOk;
}

void TIdPOP3::AddWork(TWorkMode mode, int32_t count)
{
    if (FCountingReceived && mode == wmRead)
        FReceived += count;
    TIdMessageClient::AddWork(mode, count);
}

bool TIdPOP3::DeleteMessage(int32_t number)
{
    return Transact(DeleteCommand(number), ReplyOk) == ReplyOk;
}

std::optional<std::vector<TIdPOP3::TUniqueId>> TIdPOP3::FetchUniqueIds(int32_t count)
{
    std::vector<TUniqueId> ids;
    const int64_t mostLines = int64_t{std::max(count, 0)} + MaxReplyLines;
    const int16_t code = Transact("UIDL", -1, [&] {
        for (int64_t lines = 0;; ++lines) {
            const std::string line = ReadLine();
            if (line == ".")
                break;
            if (lines == mostLines)
                throw EIdReplyTooLong();
            const auto parsed = ParseUniqueIdLine(line);
            if (parsed && parsed->Number <= count)
                ids.push_back(*parsed);
        }
    });
    if (code != ReplyOk)
        return std::nullopt;
    // A number listed twice keeps its first line.
    std::stable_sort(ids.begin(), ids.end(), [](const TUniqueId& a, const TUniqueId& b) { return a.Number < b.Number; });
    ids.erase(std::unique(ids.begin(), ids.end(), [](const TUniqueId& a, const TUniqueId& b) { return a.Number == b.Number; }),
              ids.end());
    return ids;
}

std::string TIdPOP3::FetchUniqueId(int32_t number)
{
    if (Transact(UniqueIdCommand(number), -1) != ReplyOk)
        return {};
    const auto parsed = ParseUniqueIdLine(FirstReplyText());
    return parsed && parsed->Number == number ? parsed->Id : std::string();
}

std::string TIdPOP3::FirstReplyText() const
{
    return LastReply.Text.empty() ? std::string() : LastReply.Text[0];
}

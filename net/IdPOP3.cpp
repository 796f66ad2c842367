#include "IdPOP3.h"

#include "Convert.h"
#include "IdException.h"
#include "IdHashMessageDigest.h"
#include "IdMessage.h"

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

} // namespace

TIdPOP3::TIdPOP3()
{
    Port = 110;
}

void TIdPOP3::OpenConnection(int32_t timeout)
{
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
                                            "). Jméno ani heslo nebylo odesláno.");
    }
    StartTls();
}

void TIdPOP3::LogIn()
{
    SendCommand("USER " + Username, ReplyOk);
    if (!Encrypted())
        PasswordSentUnencrypted = true;
    SendCommand("PASS " + Password, ReplyOk);
}

void TIdPOP3::LogInWithApop()
{
    std::string greeting = FirstReplyText();
    size_t open = greeting.find('<');
    size_t close = open == std::string::npos ? std::string::npos : greeting.find('>', open);
    if (close == std::string::npos)
        throw EIdException("Server do not support APOP (no timestamp)");
    std::string timestamp = greeting.substr(open, close - open + 1);
    SendCommand("APOP " + Username + " " + TIdHashMessageDigest5::HashValueAsHex(timestamp + Password), ReplyOk);
}

void TIdPOP3::CloseConnection()
{
    QuitConfirmed = false;
    try {
        if (IsConnected()) {
            WriteLine("QUIT");
            ReadQuitReply();
        }
    } catch (...) {
        TIdMessageClient::CloseConnection();
        throw;
    }
    TIdMessageClient::CloseConnection();
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
    SendCommand("STAT", ReplyOk);
    // "+OK 2 320": the count is the number before the first space.
    std::string text = FirstReplyText();
    if (text.empty())
        return 0;
    size_t space = text.find(' ');
    return StrToInt(space == std::string::npos ? std::string() : text.substr(0, space));
}

bool TIdPOP3::FetchHeader(int32_t number, TIdMessage& message)
{
    SendCommand("TOP " + IntToStr(number) + " 0", ReplyOk);
    Exchange([&] { return ReceiveHeaderBlock(message, "."); });
    return true;
}

int32_t TIdPOP3::FetchSize(int32_t number)
{
    SendCommand("LIST " + IntToStr(number), ReplyOk);
    // "+OK 3 1200": the size is everything after the first space.
    std::string text = FirstReplyText();
    if (text.empty())
        return -1;
    size_t space = text.find(' ');
    return StrToIntDef(space == std::string::npos ? text : text.substr(space + 1), -1);
}

bool TIdPOP3::FetchMessage(int32_t number, TIdMessage& message)
{
    SendCommand("RETR " + IntToStr(number));
    if (LastReply.NumericCode() != ReplyOk)
        return false;
    Exchange([&] {
        // A header block ended by "." instead of a blank line is a message without a body.
        if (ReceiveHeaderBlock(message, "").empty())
            ReceiveMessageBody(message, ".");
        return true;
    });
    return true;
}

bool TIdPOP3::DeleteMessage(int32_t number)
{
    return SendCommand("DELE " + IntToStr(number), ReplyOk) == ReplyOk;
}

std::string TIdPOP3::FirstReplyText() const
{
    return LastReply.Text.empty() ? std::string() : LastReply.Text[0];
}

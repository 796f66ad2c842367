#include "IdHTTP.h"

#include "IdStack.h"
#include "IdTCPClient.h"

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool AllDigits(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool IsLoopbackHost(const std::string& host)
{
    const std::string lower = Lower(host);
    return lower == "localhost" || lower == "127.0.0.1" || lower == "::1";
}

std::string HostHeader(const TIdURL& url)
{
    const std::string host = url.Host.find(':') != std::string::npos ? "[" + url.Host + "]" : url.Host;
    const int32_t defaultPort = url.Scheme == "https" ? 443 : 80;
    return url.Port == defaultPort ? host : host + ":" + std::to_string(url.Port);
}

std::string HostText(const TIdURL& url)
{
    return url.Host;
}

class TResponseReader {
public:
    TResponseReader(TIdTCPClient& client, const TIdURL& url) : FClient(client), FUrl(url) {}

    TIdHTTPResponse Read()
    {
        TIdHTTPResponse response;
        response.Status = StatusOf(Line());
        int64_t length = -1;
        bool chunked = false;
        for (int32_t lines = 0;; ++lines) {
            const std::string line = Line();
            if (line.empty())
                break;
            if (lines == TIdHTTP::MaxHeaderLines)
                Fail("posílá příliš mnoho řádků hlavičky");
            const size_t colon = line.find(':');
            if (colon == std::string::npos)
                Fail("posílá poškozenou hlavičku");
            const std::string name = Lower(Trimmed(line.substr(0, colon)));
            const std::string value = Trimmed(line.substr(colon + 1));
            if (name == "content-length") {
                if (!AllDigits(value) || value.size() > 12)
                    Fail("uvádí neplatnou délku odpovědi");
                length = std::stoll(value);
            } else if (name == "transfer-encoding") {
                chunked = Lower(value).find("chunked") != std::string::npos;
            } else if (name == "content-type") {
                response.ContentType = Lower(Trimmed(value.substr(0, value.find(';'))));
            } else if (name == "location") {
                response.Location = value;
            }
        }
        if (chunked)
            response.Body = ChunkedBody();
        else if (length >= 0)
            response.Body = Exactly(length);
        else
            response.Body = UntilClose();
        return response;
    }

private:
    [[noreturn]] void Fail(const std::string& what)
    {
        throw EIdHTTPError("Server " + HostText(FUrl) + " " + what + ".");
    }

    std::string Line()
    {
        std::string line;
        try {
            line = FClient.ReadLine("", -1, TIdHTTP::MaxHeaderLineBytes);
        } catch (const EIdReadLnMaxLineLengthExceeded&) {
            Fail("posílá příliš dlouhý řádek hlavičky");
        }
        if (FClient.LineSplit)
            Fail("posílá příliš dlouhý řádek hlavičky");
        return line;
    }

    int StatusOf(const std::string& line)
    {
        // "HTTP/1.1 200 OK"
        if (!line.starts_with("HTTP/1.") || line.size() < 12 || line[8] != ' ')
            Fail("neodpovídá protokolem HTTP");
        const std::string code = line.substr(9, 3);
        if (!AllDigits(code) || (line.size() > 12 && line[12] != ' '))
            Fail("neodpovídá protokolem HTTP");
        return std::stoi(code);
    }

    std::string Exactly(int64_t length)
    {
        if (length > static_cast<int64_t>(TIdHTTP::MaxBodyBytes))
            Fail("posílá příliš dlouhou odpověď");
        std::string body(static_cast<size_t>(length), '\0');
        if (length > 0)
            FClient.ReadExact(body.data(), static_cast<int32_t>(length));
        return body;
    }

    std::string ChunkedBody()
    {
        std::string body;
        for (;;) {
            std::string size = Trimmed(Line());
            size = size.substr(0, size.find(';'));
            if (size.empty() || size.size() > 8 ||
                !std::all_of(size.begin(), size.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
                Fail("posílá poškozenou odpověď");
            const int64_t length = std::stoll(size, nullptr, 16);
            if (length == 0)
                break;
            if (body.size() + static_cast<size_t>(length) > TIdHTTP::MaxBodyBytes)
                Fail("posílá příliš dlouhou odpověď");
            body += Exactly(length);
            if (!Line().empty())
                Fail("posílá poškozenou odpověď");
        }
        // Trailer lines up to the empty one.
        for (int32_t lines = 0; !Line().empty(); ++lines)
            if (lines == TIdHTTP::MaxHeaderLines)
                Fail("posílá příliš mnoho řádků hlavičky");
        return body;
    }

    std::string UntilClose()
    {
        for (;;) {
            if (static_cast<size_t>(FClient.InputQueue.Size()) > TIdHTTP::MaxBodyBytes)
                Fail("posílá příliš dlouhou odpověď");
            if (FClient.FillInputBuffer(false) <= 0)
                break;
        }
        return FClient.InputQueue.Take(FClient.InputQueue.Size());
    }

    TIdTCPClient& FClient;
    const TIdURL& FUrl;
};

} // namespace

std::optional<TIdURL> ParseHttpUrl(const std::string& url)
{
    for (char c : url)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
            return std::nullopt;
    TIdURL parsed;
    const size_t colon = url.find("://");
    if (colon == std::string::npos)
        return std::nullopt;
    parsed.Scheme = Lower(url.substr(0, colon));
    if (parsed.Scheme != "http" && parsed.Scheme != "https")
        return std::nullopt;
    const size_t authorityStart = colon + 3;
    const size_t authorityEnd = url.find_first_of("/?#", authorityStart);
    const std::string authority = url.substr(authorityStart, authorityEnd == std::string::npos ? std::string::npos
                                                                                                : authorityEnd - authorityStart);
    if (authority.empty() || authority.find('@') != std::string::npos)
        return std::nullopt;
    std::string port;
    if (authority.front() == '[') {
        const size_t close = authority.find(']');
        if (close == std::string::npos)
            return std::nullopt;
        parsed.Host = authority.substr(1, close - 1);
        if (close + 1 < authority.size()) {
            if (authority[close + 1] != ':')
                return std::nullopt;
            port = authority.substr(close + 2);
        }
    } else {
        const size_t portColon = authority.find(':');
        parsed.Host = authority.substr(0, portColon);
        if (portColon != std::string::npos)
            port = authority.substr(portColon + 1);
    }
    if (parsed.Host.empty())
        return std::nullopt;
    parsed.Port = parsed.Scheme == "https" ? 443 : 80;
    if (!port.empty()) {
        if (!AllDigits(port) || port.size() > 5)
            return std::nullopt;
        parsed.Port = std::stoi(port);
        if (parsed.Port < 1 || parsed.Port > 65535)
            return std::nullopt;
    }
    parsed.Target = authorityEnd == std::string::npos ? "/" : url.substr(authorityEnd);
    parsed.Target = parsed.Target.substr(0, parsed.Target.find('#'));
    if (parsed.Target.empty() || parsed.Target.front() != '/')
        parsed.Target = "/" + parsed.Target;
    return parsed;
}

std::string PercentEncode(const std::string& text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

std::string EncodeForm(const TIdFormFields& fields)
{
    std::string form;
    for (const auto& [name, value] : fields)
        form += (form.empty() ? "" : "&") + PercentEncode(name) + "=" + PercentEncode(value);
    return form;
}

std::optional<std::string> PercentDecode(const std::string& text)
{
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else {
            if (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(text[i + 2])))
                return std::nullopt;
            decoded += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        }
    }
    return decoded;
}

std::optional<TIdFormFields> DecodeForm(const std::string& text)
{
    TIdFormFields fields;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('&', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string field = text.substr(start, end - start);
        if (!field.empty()) {
            const size_t equals = field.find('=');
            const auto name = PercentDecode(field.substr(0, equals));
            const auto value = PercentDecode(equals == std::string::npos ? std::string() : field.substr(equals + 1));
            if (!name || !value)
                return std::nullopt;
            fields.emplace_back(*name, *value);
        }
        start = end + 1;
    }
    return fields;
}

TIdHTTPResponse TIdHTTP::PostForm(const std::string& url, const TIdFormFields& fields)
{
    return Exchange(url, "POST", EncodeForm(fields));
}

TIdHTTPResponse TIdHTTP::Get(const std::string& url)
{
    return Exchange(url, "GET", {});
}

TIdHTTPResponse TIdHTTP::Exchange(const std::string& address, const std::string& method, const std::string& body)
{
    const auto url = ParseHttpUrl(address);
    if (!url)
        throw EIdHTTPError("Adresa " + address + " není platná adresa http nebo https.");
    if (url->Scheme == "http" && !IsLoopbackHost(url->Host))
        throw EIdHTTPError("Adresa " + address + " není šifrovaná (http); potřebuji https.");
    TIdTCPClient client;
    client.Host = url->Host;
    client.Port = url->Port;
    client.Security = url->Scheme == "https" ? csImplicitTls : csNone;
    client.ReadTimeout = ReadTimeout;
    client.MaxLineLength = MaxHeaderLineBytes;
    std::string request = method + " " + url->Target + " HTTP/1.1\r\n" + "Host: " + HostHeader(*url) + "\r\n" +
                          "User-Agent: Kormoran\r\n" + "Accept: application/json\r\n" + "Connection: close\r\n";
    if (method == "POST")
        request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " + std::to_string(body.size()) +
                   "\r\n";
    request += "\r\n" + body;
    try {
        client.OpenConnection(ConnectTimeout);
        client.WriteText(request);
        TIdHTTPResponse response = TResponseReader(client, *url).Read();
        client.DropSocket();
        return response;
    } catch (const EIdHTTPError&) {
        client.DropSocket();
        throw;
    } catch (const EIdReadTimeout&) {
        client.DropSocket();
        throw EIdHTTPError("Server " + url->Host + " neodpověděl do " + std::to_string(ReadTimeout / 1000) + " s.");
    } catch (const EIdConnClosedGracefully&) {
        client.DropSocket();
        throw EIdHTTPError("Server " + url->Host + " ukončil spojení dřív, než odpověděl celý.");
    } catch (const EIdTlsError&) {
        client.DropSocket();
        throw;
    } catch (const EIdException& failure) {
        client.DropSocket();
        throw EIdHTTPError("Spojení se serverem " + url->Host + " selhalo: " + failure.Message);
    }
}

#include "LoopbackHttp.h"

#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace {

constexpr size_t MaxAnswer = 1 << 20;

struct Target {
    bool Tls = false;
    std::string Host; // "127.0.0.1" or "::1"
    std::string HostHeader;
    int Port = 0;
    std::string Path;
};

[[noreturn]] void Fail(const std::string& url, const std::string& why)
{
    throw std::runtime_error("loopback HTTP " + url + ": " + why);
}

Target ParseUrl(const std::string& url)
{
    Target target;
    std::string rest;
    if (url.starts_with("http://"))
        rest = url.substr(7);
    else if (url.starts_with("https://"))
        target.Tls = true, rest = url.substr(8);
    else
        Fail(url, "not an http or https URL");
    size_t slash = rest.find('/');
    std::string authority = rest.substr(0, slash);
    target.Path = slash == std::string::npos ? "/" : rest.substr(slash);
    size_t colon = authority.rfind(':');
    if (colon == std::string::npos || colon + 1 == authority.size())
        Fail(url, "no port");
    target.HostHeader = authority;
    target.Host = authority.substr(0, colon);
    if (target.Host == "[::1]")
        target.Host = "::1";
    if (target.Host != "127.0.0.1" && target.Host != "::1")
        Fail(url, "only 127.0.0.1 and [::1] are spoken to");
    try {
        target.Port = std::stoi(authority.substr(colon + 1));
    } catch (const std::exception&) {
        Fail(url, "bad port");
    }
    return target;
}

class Connection {
public:
    Connection(const Target& target, const std::string& url, int timeoutMs, const std::string& fromAddress)
        : FUrl(url)
    {
        bool v6 = target.Host == "::1";
        FSocket = socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (FSocket < 0)
            Fail(url, std::strerror(errno));
        timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
        setsockopt(FSocket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setsockopt(FSocket, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        sockaddr_storage address{};
        socklen_t length;
        if (v6) {
            auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
            a6->sin6_family = AF_INET6;
            a6->sin6_port = htons(uint16_t(target.Port));
            a6->sin6_addr = in6addr_loopback;
            length = sizeof *a6;
        } else {
            auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
            a4->sin_family = AF_INET;
            a4->sin_port = htons(uint16_t(target.Port));
            a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            length = sizeof *a4;
        }
        if (!fromAddress.empty())
            Bind(fromAddress, v6);
        if (connect(FSocket, reinterpret_cast<sockaddr*>(&address), length) != 0)
            Fail(url, std::string("connect: ") + std::strerror(errno));
        if (target.Tls)
            StartTls();
    }
    ~Connection()
    {
        if (FSsl)
            SSL_free(FSsl);
        if (FContext)
            SSL_CTX_free(FContext);
        close(FSocket);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void Write(const std::string& bytes)
    {
        size_t done = 0;
        while (done < bytes.size()) {
            long count = FSsl ? SSL_write(FSsl, bytes.data() + done, int(bytes.size() - done))
                              : send(FSocket, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (count <= 0 && !FSsl && errno == EINTR)
                continue;
            if (count <= 0)
                Fail(FUrl, "the request could not be sent");
            done += size_t(count);
        }
    }

    // Everything until the server closes.
    std::string ReadAll()
    {
        std::string answer;
        char buffer[4096];
        while (answer.size() < MaxAnswer) {
            long count = FSsl ? SSL_read(FSsl, buffer, sizeof buffer) : recv(FSocket, buffer, sizeof buffer, 0);
            if (count < 0 && !FSsl && errno == EINTR)
                continue;
            if (count < 0 && !FSsl && (errno == EAGAIN || errno == EWOULDBLOCK))
                Fail(FUrl, "no answer in time");
            if (count <= 0) {
                if (FSsl && SSL_get_error(FSsl, int(count)) == SSL_ERROR_SYSCALL && errno == EAGAIN)
                    Fail(FUrl, "no answer in time");
                break;
            }
            answer.append(buffer, size_t(count));
        }
        return answer;
    }

private:
    void Bind(const std::string& fromAddress, bool v6)
    {
        sockaddr_storage source{};
        void* raw;
        if (v6) {
            auto* s6 = reinterpret_cast<sockaddr_in6*>(&source);
            s6->sin6_family = AF_INET6;
            raw = &s6->sin6_addr;
        } else {
            auto* s4 = reinterpret_cast<sockaddr_in*>(&source);
            s4->sin_family = AF_INET;
            raw = &s4->sin_addr;
        }
        socklen_t length = v6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
        if (inet_pton(v6 ? AF_INET6 : AF_INET, fromAddress.c_str(), raw) != 1 ||
            bind(FSocket, reinterpret_cast<sockaddr*>(&source), length) != 0)
            Fail(FUrl, "cannot send from " + fromAddress);
    }

    void StartTls()
    {
        FContext = SSL_CTX_new(TLS_client_method());
        FSsl = FContext ? SSL_new(FContext) : nullptr;
        if (!FSsl || SSL_set_fd(FSsl, FSocket) != 1 || SSL_connect(FSsl) != 1)
            Fail(FUrl, "TLS handshake failed");
    }

    std::string FUrl;
    int FSocket = -1;
    SSL_CTX* FContext = nullptr;
    SSL* FSsl = nullptr;
};

LoopbackHttpAnswer ParseAnswer(const std::string& url, const std::string& bytes)
{
    size_t headEnd = bytes.find("\r\n\r\n");
    if (!bytes.starts_with("HTTP/1.") || headEnd == std::string::npos || bytes.size() < 12)
        Fail(url, "the answer is not HTTP");
    LoopbackHttpAnswer answer;
    answer.Head = bytes.substr(0, headEnd + 2);
    answer.Body = bytes.substr(headEnd + 4);
    try {
        answer.Status = std::stoi(bytes.substr(9, 3));
    } catch (const std::exception&) {
        Fail(url, "the answer has no status");
    }
    return answer;
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

} // namespace

std::string LoopbackHttpAnswer::Header(const std::string& name) const
{
    size_t lineStart = Head.find("\r\n");
    while (lineStart != std::string::npos && lineStart + 2 < Head.size()) {
        lineStart += 2;
        size_t lineEnd = Head.find("\r\n", lineStart);
        std::string line = Head.substr(lineStart, lineEnd - lineStart);
        size_t colon = line.find(':');
        if (colon != std::string::npos && SameIgnoringCase(line.substr(0, colon), name)) {
            size_t value = line.find_first_not_of(" \t", colon + 1);
            return value == std::string::npos ? "" : line.substr(value);
        }
        lineStart = lineEnd;
    }
    return "";
}

LoopbackHttpAnswer LoopbackHttpRequest(const std::string& method, const std::string& url, const std::string& body,
                                       int timeoutMs, const std::string& fromAddress)
{
    Target target = ParseUrl(url);
    Connection connection(target, url, timeoutMs, fromAddress);
    std::string request = method + " " + target.Path + " HTTP/1.1\r\nHost: " + target.HostHeader +
                          "\r\nConnection: close\r\n";
    if (method == "POST")
        request += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: " +
                   std::to_string(body.size()) + "\r\n";
    connection.Write(request + "\r\n" + (method == "POST" ? body : ""));
    return ParseAnswer(url, connection.ReadAll());
}

std::string FormEncode(const std::vector<std::pair<std::string, std::string>>& fields)
{
    static const char Hex[] = "0123456789ABCDEF";
    auto encode = [](const std::string& text) {
        std::string out;
        for (unsigned char c : text) {
            if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
                out += char(c);
            } else {
                out += '%';
                out += Hex[c >> 4];
                out += Hex[c & 15];
            }
        }
        return out;
    };
    std::string form;
    for (const auto& [name, value] : fields)
        form += (form.empty() ? "" : "&") + encode(name) + "=" + encode(value);
    return form;
}

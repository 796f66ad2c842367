#include "IdRedirectListener.h"

#include "IdException.h"
#include "IdWait.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const std::string NotFoundPage = "<!DOCTYPE html><html lang=\"cs\"><meta charset=\"utf-8\"><title>Kormoran</title>"
                                 "<p>Tady nic není.</p></html>";
const std::string BadRequestPage = "<!DOCTYPE html><html lang=\"cs\"><meta charset=\"utf-8\"><title>Kormoran</title>"
                                   "<p>Tomuto požadavku Kormoran nerozumí.</p></html>";

void SendAll(int socket, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t count = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        sent += static_cast<size_t>(count);
    }
}

void Answer(int socket, const char* status, const std::string& page)
{
    // The answer is small and the socket still blocking for sends: a browser reads it.
    SendAll(socket, std::string("HTTP/1.1 ") + status + "\r\nContent-Type: text/html; charset=utf-8\r\n" +
                        "Content-Length: " + std::to_string(page.size()) + "\r\nCache-Control: no-store\r\n" +
                        "Connection: close\r\n\r\n" + page);
}

// The browser connects from 127.0.0.1 itself; another address of the loopback net is
// another program that should not be handing in codes.
bool IsLoopbackPeer(int socket)
{
    sockaddr_storage peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || peer.ss_family != AF_INET)
        return false;
    const auto* address = reinterpret_cast<const sockaddr_in*>(&peer);
    return ntohl(address->sin_addr.s_addr) == INADDR_LOOPBACK;
}

} // namespace

TIdRedirectListener::TIdRedirectListener()
{
    FSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (FSocket < 0)
        throw EIdException("Nelze otevřít místo, kam se prohlížeč po přihlášení vrátí (socket).");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(FSocket, 8) != 0 ||
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(FSocket);
        FSocket = -1;
        throw EIdException("Nelze otevřít místo, kam se prohlížeč po přihlášení vrátí (127.0.0.1).");
    }
    FPort = ntohs(address.sin_port);
}

TIdRedirectListener::~TIdRedirectListener()
{
    for (TConnection& connection : FConnections)
        Close(connection);
    if (FSocket >= 0)
        ::close(FSocket);
}

std::string TIdRedirectListener::RedirectUri() const
{
    return "http://127.0.0.1:" + std::to_string(FPort) + "/";
}

void TIdRedirectListener::Close(TConnection& connection)
{
    if (connection.Socket >= 0)
        ::close(connection.Socket);
    connection.Socket = -1;
}

void TIdRedirectListener::Accept()
{
    const int socket = ::accept4(FSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (socket < 0)
        return;
    if (!IsLoopbackPeer(socket)) {
        ::close(socket);
        return;
    }
    // The oldest connection, a browser's spare one most likely, makes room.
    if (FConnections.size() == MaxConnections) {
        Close(FConnections.front());
        FConnections.erase(FConnections.begin());
    }
    FConnections.push_back({socket, {}});
}

bool TIdRedirectListener::Serve(TConnection& connection, std::string& target,
                                const std::function<std::string(const std::string&)>& page)
{
    char buffer[4096];
    const ssize_t count = ::recv(connection.Socket, buffer, sizeof buffer, 0);
    if (count < 0 && (errno == EAGAIN || errno == EINTR))
        return false;
    if (count <= 0) {
        Close(connection);
        return false;
    }
    connection.Received.append(buffer, static_cast<size_t>(count));
    const size_t headEnd = connection.Received.find("\r\n\r\n");
    if (headEnd == std::string::npos && connection.Received.find("\n\n") == std::string::npos) {
        if (connection.Received.size() > MaxRequestBytes) {
            Answer(connection.Socket, "400 Bad Request", BadRequestPage);
            Close(connection);
        }
        return false;
    }
    // "GET /?code=...&state=... HTTP/1.1"
    const std::string line = connection.Received.substr(0, connection.Received.find_first_of("\r\n"));
    const size_t firstSpace = line.find(' ');
    const size_t secondSpace = firstSpace == std::string::npos ? std::string::npos : line.find(' ', firstSpace + 1);
    if (line.substr(0, firstSpace) != "GET" || secondSpace == std::string::npos ||
        !line.substr(secondSpace + 1).starts_with("HTTP/1.") || connection.Received.size() > MaxRequestBytes) {
        Answer(connection.Socket, "400 Bad Request", BadRequestPage);
        Close(connection);
        return false;
    }
    const std::string requested = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    if (requested != "/" && !requested.starts_with("/?")) {
        Answer(connection.Socket, "404 Not Found", NotFoundPage);
        Close(connection);
        return false;
    }
    Answer(connection.Socket, "200 OK", page(requested));
    Close(connection);
    target = requested;
    return true;
}

std::string TIdRedirectListener::Await(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting,
                                       const std::function<std::string(const std::string& target)>& page)
{
    if (FSocket < 0)
        throw EIdException("Přihlášení už skončilo.");
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (whileWaiting)
            whileWaiting();
        if (std::chrono::steady_clock::now() >= deadline)
            throw EIdException("Prohlížeč se do " + std::to_string(timeout.count() / 60000) +
                               " minut nevrátil; přihlášení bylo ukončeno.");
        std::vector<pollfd> watched{{FSocket, POLLIN, 0}};
        for (const TConnection& connection : FConnections)
            watched.push_back({connection.Socket, POLLIN, 0});
        const int ready = ::poll(watched.data(), watched.size(), WaitSliceMs);
        if (ready <= 0)
            continue;
        for (size_t i = 1; i < watched.size(); ++i) {
            if (watched[i].revents == 0)
                continue;
            std::string target;
            if (Serve(FConnections[i - 1], target, page)) {
                for (TConnection& connection : FConnections)
                    Close(connection);
                FConnections.clear();
                ::close(FSocket);
                FSocket = -1;
                return target;
            }
        }
        std::erase_if(FConnections, [](const TConnection& connection) { return connection.Socket < 0; });
        if (watched[0].revents != 0)
            Accept();
    }
}

#include "DelayingProxy.h"

#include <arpa/inet.h>
#include <cerrno>
#include <deque>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

void NoDelay(int socket)
{
    int on = 1;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

// Bytes read from one side, held until they are due on the other.
class Direction {
public:
    Direction(int from, int to, std::chrono::milliseconds delay) : From(from), To(to), FDelay(delay) {}

    // Reads what is waiting; false once the sending side has closed.
    bool Read()
    {
        char buffer[65536];
        ssize_t received = recv(From, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (received <= 0) {
            FClosed = true;
            return false;
        }
        FHeld.push_back({Clock::now() + FDelay, std::string(buffer, static_cast<size_t>(received))});
        return true;
    }

    // Passes on what is due; when the sender has closed and all is passed on, so does it.
    void Pass()
    {
        while (!FHeld.empty() && FHeld.front().Due <= Clock::now()) {
            std::string& bytes = FHeld.front().Bytes;
            ssize_t sent = send(To, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent < 0 && (errno == EAGAIN || errno == EINTR))
                return;
            if (sent < 0) {
                FHeld.clear();
                break;
            }
            bytes.erase(0, static_cast<size_t>(sent));
            if (bytes.empty())
                FHeld.pop_front();
        }
        if (FClosed && FHeld.empty() && !FShutDown) {
            shutdown(To, SHUT_WR);
            FShutDown = true;
        }
    }

    bool Done() const { return FShutDown; }
    bool Closed() const { return FClosed; }
    // Milliseconds until the next bytes are due, -1 when none are held.
    int Wait() const
    {
        if (FHeld.empty())
            return -1;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(FHeld.front().Due - Clock::now());
        return static_cast<int>(std::max<int64_t>(left.count(), 0));
    }

    const int From;
    const int To;

private:
    struct Held {
        Clock::time_point Due;
        std::string Bytes;
    };
    std::chrono::milliseconds FDelay;
    std::deque<Held> FHeld;
    bool FClosed = false;
    bool FShutDown = false;
};

} // namespace

DelayingProxy::DelayingProxy(int targetPort, std::chrono::milliseconds delayEachWay)
    : FTargetPort(targetPort), FDelay(delayEachWay)
{
    FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(FListener, 4) != 0 || getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the delaying proxy cannot listen on 127.0.0.1");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Serve(); });
}

DelayingProxy::~DelayingProxy()
{
    FStop = true;
    FThread.join();
    close(FListener);
}

void DelayingProxy::Serve()
{
    while (!FStop) {
        pollfd listener{FListener, POLLIN, 0};
        if (poll(&listener, 1, 50) <= 0)
            continue;
        int client = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in target = Loopback(FTargetPort);
        if (server >= 0 && connect(server, reinterpret_cast<sockaddr*>(&target), sizeof target) == 0)
            Relay(client, server);
        if (server >= 0)
            close(server);
        close(client);
    }
}

void DelayingProxy::Relay(int client, int server)
{
    NoDelay(client);
    NoDelay(server);
    Direction up(client, server, FDelay);
    Direction down(server, client, FDelay);
    while (!FStop && !(up.Done() && down.Done())) {
        pollfd sides[2] = {{client, static_cast<short>(up.Closed() ? 0 : POLLIN), 0},
                           {server, static_cast<short>(down.Closed() ? 0 : POLLIN), 0}};
        int wait = 50;
        for (int due : {up.Wait(), down.Wait()})
            if (due >= 0 && due < wait)
                wait = due;
        poll(sides, 2, wait);
        if (!up.Closed() && (sides[0].revents & (POLLIN | POLLHUP | POLLERR)))
            up.Read();
        if (!down.Closed() && (sides[1].revents & (POLLIN | POLLHUP | POLLERR)))
            down.Read();
        up.Pass();
        down.Pass();
    }
}

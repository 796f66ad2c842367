#include "ScriptedServer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds PollSlice{20};

void MakeNonBlocking(int socket)
{
    fcntl(socket, F_SETFL, fcntl(socket, F_GETFL) | O_NONBLOCK);
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

} // namespace

ScriptedServer::ScriptedServer()
{
    FListener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (FListener < 0 || bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0
        || listen(FListener, 8) != 0 || getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("the scripted server cannot listen on 127.0.0.1");
    MakeNonBlocking(FListener);
    FPort = ntohs(address.sin_port);
}

ScriptedServer::~ScriptedServer()
{
    FStop = true;
    if (FThread.joinable())
        FThread.join();
    if (FClient >= 0)
        close(FClient);
    close(FListener);
}

ScriptedServer& ScriptedServer::Add(Step step)
{
    FSteps.push_back(std::move(step));
    return *this;
}

ScriptedServer& ScriptedServer::Says(const std::string& line)
{
    return Sends(line + "\r\n");
}

ScriptedServer& ScriptedServer::Sends(const std::string& bytes)
{
    return Add([this, bytes] { return SendAll(bytes.data(), bytes.size()); });
}

ScriptedServer& ScriptedServer::Trickles(const std::string& bytes, size_t pieceSize)
{
    return Add([this, bytes, pieceSize] {
        int noDelay = 1;
        setsockopt(FClient, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof(noDelay));
        for (size_t start = 0; start < bytes.size(); start += pieceSize) {
            if (!SendAll(bytes.data() + start, std::min(pieceSize, bytes.size() - start)))
                return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    });
}

ScriptedServer& ScriptedServer::Streams(const std::string& block, int64_t totalBytes)
{
    return Add([this, block, totalBytes] {
        for (int64_t sent = 0; sent < totalBytes; sent += static_cast<int64_t>(block.size())) {
            size_t count = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(block.size()), totalBytes - sent));
            if (!SendAll(block.data(), count))
                return false;
        }
        return true;
    });
}

ScriptedServer& ScriptedServer::Expects(const std::string& line)
{
    return Add([this, line] {
        std::string received;
        if (!ReadLine(received))
            return false;
        if (received != line) {
            Fail("expected " + Quoted(line) + ", got " + Quoted(received));
            return false;
        }
        return true;
    });
}

ScriptedServer& ScriptedServer::ExpectsAlone(const std::string& line)
{
    Expects(line);
    return Add([this, line] {
        // A command sent ahead would be in the same write, or follow it at once.
        if (FPending.empty() && WaitFor(FClient, POLLIN, PollSlice) != WaitResult::Ready)
            return true;
        Fail("after " + Quoted(line) + " the client sent more before it had an answer");
        return false;
    });
}

ScriptedServer& ScriptedServer::TakesTurns(Turn first, const std::vector<std::string>& lines)
{
    Turn turn = first;
    for (const std::string& line : lines) {
        if (turn == Turn::Server)
            Says(line);
        else
            Expects(line);
        turn = turn == Turn::Server ? Turn::Client : Turn::Server;
    }
    return *this;
}

ScriptedServer& ScriptedServer::Stalls(std::chrono::milliseconds time)
{
    return Add([this, time] {
        auto end = Clock::now() + time;
        while (!FStop && Clock::now() < end)
            std::this_thread::sleep_for(std::min<Clock::duration>(PollSlice, end - Clock::now()));
        return !FStop;
    });
}

ScriptedServer& ScriptedServer::Closes()
{
    return Add([this] {
        CloseClient(false);
        return true;
    });
}

ScriptedServer& ScriptedServer::Resets()
{
    return Add([this] {
        CloseClient(true);
        return true;
    });
}

ScriptedServer& ScriptedServer::AcceptsNext()
{
    return Add([this] {
        CloseClient(false);
        return AcceptClient();
    });
}

int ScriptedServer::Start()
{
    FThread = std::thread([this] { Play(); });
    return FPort;
}

std::vector<std::string> ScriptedServer::Finish()
{
    if (FThread.joinable())
        FThread.join();
    std::lock_guard<std::mutex> lock(FLock);
    return FFailures;
}

std::vector<std::string> ScriptedServer::Received() const
{
    std::string bytes = ReceivedBytes();
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        std::string line = bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        start = end == std::string::npos ? bytes.size() : end + 1;
    }
    return lines;
}

std::string ScriptedServer::ReceivedBytes() const
{
    std::lock_guard<std::mutex> lock(FLock);
    return FReceived;
}

void ScriptedServer::Play()
{
    if (!AcceptClient())
        return;
    for (const Step& step : FSteps) {
        if (FClient < 0 || !step())
            break;
    }
    CloseClient(false);
}

bool ScriptedServer::AcceptClient()
{
    switch (WaitFor(FListener, POLLIN, StepTimeout)) {
    case WaitResult::Stopped: return false;
    case WaitResult::TimedOut: Fail("no client connected"); return false;
    case WaitResult::Ready: break;
    }
    FClient = accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (FClient < 0) {
        Fail("accept failed");
        return false;
    }
    FPending.clear();
    ++FConnections;
    return true;
}

ScriptedServer::WaitResult ScriptedServer::WaitFor(int socket, short events, std::chrono::milliseconds timeout)
{
    auto end = Clock::now() + timeout;
    while (!FStop) {
        pollfd entry{socket, events, 0};
        int ready = poll(&entry, 1, static_cast<int>(PollSlice.count()));
        if (ready > 0)
            return WaitResult::Ready;
        if (Clock::now() >= end)
            return WaitResult::TimedOut;
    }
    return WaitResult::Stopped;
}

bool ScriptedServer::SendAll(const char* bytes, size_t count)
{
    while (count > 0) {
        ssize_t sent = send(FClient, bytes, count, MSG_NOSIGNAL);
        if (sent > 0) {
            bytes += sent;
            count -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno != EAGAIN && errno != EINTR)
            return false; // the client went away; that is the test's to judge
        if (WaitFor(FClient, POLLOUT, StepTimeout) != WaitResult::Ready)
            return false;
    }
    return true;
}

bool ScriptedServer::ReadLine(std::string& line)
{
    for (;;) {
        size_t end = FPending.find('\n');
        if (end != std::string::npos) {
            line = FPending.substr(0, end);
            FPending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            return true;
        }
        switch (WaitFor(FClient, POLLIN, StepTimeout)) {
        case WaitResult::Stopped: return false;
        case WaitResult::TimedOut: Fail("expected a line, got nothing in time"); return false;
        case WaitResult::Ready: break;
        }
        char buffer[4096];
        ssize_t received = recv(FClient, buffer, sizeof(buffer), 0);
        if (received < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (received <= 0) {
            Fail("expected a line, the client closed");
            return false;
        }
        Record(buffer, static_cast<size_t>(received));
        FPending.append(buffer, static_cast<size_t>(received));
    }
}

void ScriptedServer::CloseClient(bool abort)
{
    if (FClient < 0)
        return;
    if (abort) {
        linger hard{1, 0};
        setsockopt(FClient, SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    } else {
        // Closing with unread bytes would reset the connection; read them first.
        shutdown(FClient, SHUT_WR);
        DrainUntilClientCloses();
    }
    close(FClient);
    FClient = -1;
}

void ScriptedServer::DrainUntilClientCloses()
{
    while (WaitFor(FClient, POLLIN, StepTimeout) == WaitResult::Ready) {
        char buffer[4096];
        ssize_t received = recv(FClient, buffer, sizeof(buffer), 0);
        if (received < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (received <= 0)
            return;
        Record(buffer, static_cast<size_t>(received));
    }
}

void ScriptedServer::Fail(const std::string& failure)
{
    std::lock_guard<std::mutex> lock(FLock);
    FFailures.push_back(failure);
}

void ScriptedServer::Record(const char* bytes, size_t count)
{
    std::lock_guard<std::mutex> lock(FLock);
    FReceived.append(bytes, count);
}

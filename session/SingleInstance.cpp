#include "SingleInstance.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace {

const char RaiseRequest[] = "raise\n";
// The first start may hold the lock a moment before it listens.
constexpr int ConnectTries = 40;
constexpr auto ConnectPause = std::chrono::milliseconds(50);

bool SocketAddress(const std::string& path, sockaddr_un& address)
{
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

bool AskRunningWindow(const std::string& path)
{
    sockaddr_un address {};
    if (!SocketAddress(path, address))
        return false;
    for (int attempt = 0; attempt < ConnectTries; ++attempt) {
        const int peer = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (peer < 0)
            return false;
        if (::connect(peer, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
            const bool sent = ::send(peer, RaiseRequest, sizeof RaiseRequest - 1, MSG_NOSIGNAL) > 0;
            ::close(peer);
            return sent;
        }
        ::close(peer);
        std::this_thread::sleep_for(ConnectPause);
    }
    return false;
}

int Listen(const std::string& path)
{
    sockaddr_un address {};
    if (!SocketAddress(path, address))
        return -1;
    const int listening = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listening < 0)
        return -1;
    ::unlink(path.c_str());  // left by a start that ended without cleaning up
    if (::bind(listening, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listening, 8) != 0) {
        ::close(listening);
        return -1;
    }
    return listening;
}

} // namespace

std::string InstanceDirectory()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return {};
    return std::string(runtime) + "/kormoran";
}

TSingleInstance::TSingleInstance(const std::string& directory)
{
    if (directory.empty())
        return;
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
        return;
    FLock = ::open((directory + "/window.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (FLock < 0)
        return;
    FSocketPath = directory + "/window.socket";
    if (::flock(FLock, LOCK_EX | LOCK_NB) == 0) {
        FListening = Listen(FSocketPath);
        return;
    }
    // A window runs; when it cannot be reached, a second one is better than none.
    FFirst = !AskRunningWindow(FSocketPath);
    ::close(FLock);
    FLock = -1;
}

TSingleInstance::~TSingleInstance()
{
    if (FListening >= 0) {
        ::close(FListening);
        ::unlink(FSocketPath.c_str());
    }
    if (FLock >= 0)
        ::close(FLock);
}

bool TSingleInstance::TakeRequest()
{
    if (FListening < 0)
        return false;
    const int peer = ::accept4(FListening, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0)
        return false;
    // The request is one short word; a peer that sends nothing within a moment is not
    // waited for.
    timeval wait {0, 200000};
    ::setsockopt(peer, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    char request[sizeof RaiseRequest] = {};
    const ssize_t got = ::recv(peer, request, sizeof request - 1, 0);
    ::close(peer);
    return got == static_cast<ssize_t>(sizeof RaiseRequest - 1) && std::strcmp(request, RaiseRequest) == 0;
}

#pragma once
// A TCP proxy on 127.0.0.1 that holds every byte for a fixed time in each direction
// before passing it on, so a server on loopback answers like one across a real link
// (25 ms each way is a 50 ms round trip). It serves one connection after another on its
// own thread.

#include <atomic>
#include <chrono>
#include <thread>

class DelayingProxy {
public:
    DelayingProxy(int targetPort, std::chrono::milliseconds delayEachWay);
    ~DelayingProxy();
    DelayingProxy(const DelayingProxy&) = delete;
    DelayingProxy& operator=(const DelayingProxy&) = delete;

    int Port() const { return FPort; }

private:
    void Serve();
    void Relay(int client, int server);

    int FTargetPort;
    std::chrono::milliseconds FDelay;
    int FListener = -1;
    int FPort = 0;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

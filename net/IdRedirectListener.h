#pragma once
// Where the browser comes back to after an OAuth2 sign-in (RFC 8252): a listener on
// 127.0.0.1 with a port the system chooses, which takes exactly one redirect, a GET of
// "/" (with its query), answers it with the page the caller gives and stops listening.
// A connection from an address other than 127.0.0.1 is closed unanswered; a
// request for another path (a browser's /favicon.ico) gets 404 and the wait goes on; a
// request that is not a well-formed GET within MaxRequestBytes gets 400. A browser may
// open several connections and use only one, so up to MaxConnections are read side by
// side and none can hold the others up. Raises EIdException on failures to listen and
// on the time-out; the cancelled callback ends the wait by raising whatever it raises.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TIdRedirectListener {
public:
    TIdRedirectListener();
    ~TIdRedirectListener();
    TIdRedirectListener(const TIdRedirectListener&) = delete;
    TIdRedirectListener& operator=(const TIdRedirectListener&) = delete;

    int32_t Port() const { return FPort; }
    // "http://127.0.0.1:PORT/"
    std::string RedirectUri() const;

    // Waits for the redirect at most timeout; every WaitSliceMs runs whileWaiting (which
    // may raise to cancel). page(target) gives the HTML answered to the redirect whose
    // request target ("/?code=...&state=...") is returned.
    std::string Await(std::chrono::milliseconds timeout, const std::function<void()>& whileWaiting,
                      const std::function<std::string(const std::string& target)>& page);

    static constexpr size_t MaxRequestBytes = 16 * 1024;
    static constexpr size_t MaxConnections = 8;

private:
    struct TConnection {
        int Socket = -1;
        std::string Received;
    };
    void Accept();
    // The request target once the head of a GET of "/" has arrived; empty while more is to come.
    bool Serve(TConnection& connection, std::string& target, const std::function<std::string(const std::string&)>& page);
    void Close(TConnection& connection);

    int FSocket = -1;
    int32_t FPort = 0;
    std::vector<TConnection> FConnections;
};

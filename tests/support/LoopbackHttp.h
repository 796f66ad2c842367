#pragma once
// One HTTP/1.1 request to a server of the tests on 127.0.0.1 or ::1, over a fresh
// connection: for playing the browser (following an authorization URL, calling the
// loopback listener a client opened) and for the switches of the tests' authorization
// server. Plain HTTP or HTTPS; the server's certificate is not checked, since this only
// ever talks to servers the test started itself.

#include <string>
#include <utility>
#include <vector>

struct LoopbackHttpAnswer {
    int Status = 0;
    std::string Head; // the status line and the header lines, CR LF ends kept
    std::string Body;

    // The value of the first header of that name (any case), empty when there is none.
    std::string Header(const std::string& name) const;
};

// method is "GET" or "POST"; url is http[s]://127.0.0.1:PORT/PATH or http[s]://[::1]:PORT/PATH.
// A POST body goes as application/x-www-form-urlencoded. fromAddress, when given, is the
// address the request comes from (another loopback address such as 127.0.0.2, for a
// listener that must refuse strangers). Throws std::runtime_error for another host, a
// connection that fails, an answer that is not HTTP, or when no byte comes for timeoutMs;
// the answer is read until the server closes (at most 1 MiB).
LoopbackHttpAnswer LoopbackHttpRequest(const std::string& method, const std::string& url,
                                       const std::string& body = "", int timeoutMs = 10000,
                                       const std::string& fromAddress = "");

// name=value&... with every byte outside the unreserved set percent-encoded.
std::string FormEncode(const std::vector<std::pair<std::string, std::string>>& fields);

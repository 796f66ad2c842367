#pragma once
// A small HTTP/1.1 client for what an OAuth2 sign-in needs: a form POSTed to a token
// endpoint, and a GET. One request per connection ("Connection: close"). https goes
// through the TLS transport with its certificate checks; plain http only to the loopback
// addresses (127.0.0.1, ::1, localhost), where a test's server or the program's own
// listener runs. An answer has at most MaxHeaderLines header lines of MaxHeaderLineBytes
// and a body of at most MaxBodyBytes; a server silent for ReadTimeout ms, or one that
// trickles, is given up. Failures raise EIdHTTPError with a Czech text naming the host.

#include "IdException.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class EIdHTTPError : public EIdException {
public:
    using EIdException::EIdException;
};

struct TIdURL {
    std::string Scheme; // "http" or "https", lower case
    std::string Host;   // without the brackets of an IPv6 address
    int32_t Port = 0;
    std::string Target; // path and query, "/" at least
};

// Nothing for another scheme, user information, a port outside 1-65535, a missing host,
// or a control character or blank anywhere.
std::optional<TIdURL> ParseHttpUrl(const std::string& url);

struct TIdHTTPResponse {
    int Status = 0;
    std::string ContentType; // lower case, without parameters
    std::string Location;
    std::string Body;
};

using TIdFormFields = std::vector<std::pair<std::string, std::string>>;

// application/x-www-form-urlencoded: "a=1&b=x%20y" (RFC 3986 unreserved kept, the rest
// as %XX; a blank is %20).
std::string EncodeForm(const TIdFormFields& fields);
std::string PercentEncode(const std::string& text);
// "%41+b" -> "A b"; nothing for a broken escape.
std::optional<std::string> PercentDecode(const std::string& text);
// The fields of a query or form, decoded; a field without "=" has an empty value.
std::optional<TIdFormFields> DecodeForm(const std::string& text);

class TIdHTTP {
public:
    int32_t ConnectTimeout = 15000;
    int32_t ReadTimeout = 20000;
    static constexpr int32_t MaxHeaderLines = 100;
    static constexpr int32_t MaxHeaderLineBytes = 8192;
    static constexpr size_t MaxBodyBytes = 256 * 1024;

    TIdHTTPResponse PostForm(const std::string& url, const TIdFormFields& fields);
    TIdHTTPResponse Get(const std::string& url);

private:
    TIdHTTPResponse Exchange(const std::string& url, const std::string& method, const std::string& body);
};

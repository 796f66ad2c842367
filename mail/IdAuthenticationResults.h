#pragma once
// The Authentication-Results header (RFC 8601): which server checked the message and
// what each method (spf, dkim, dmarc, ...) found, with the properties it names
// (smtp.mailfrom, header.d, header.from).
//
// Comments and quoted strings may stand anywhere the grammar allows folding white space.
// Servers that add "name=value" words without a ptype (action=none) are read; anything
// else outside the grammar makes the whole header unreadable, so that a broken or
// hostile header never passes for a result. Nothing here raises.

#include <string>
#include <string_view>
#include <vector>

struct TIdAuthenticationProperty {
    std::string Name;   // "header.d", lower case; a bare word for the non-standard ones
    std::string Value;  // as written, quotes removed
};

struct TIdAuthenticationResult {
    std::string Method;  // lower case, without a version
    std::string Result;  // lower case: pass, fail, none, softfail, ...
    std::string Reason;
    std::vector<TIdAuthenticationProperty> Properties;

    // The value of the first property of that name (case ignored), or empty.
    std::string Property(std::string_view name) const;
};

struct TIdAuthenticationResults {
    // False when the value does not follow the grammar; Results is then empty.
    bool Valid = false;
    std::string AuthServId;
    std::vector<TIdAuthenticationResult> Results;
};

// A header holding more results than this is taken for unreadable.
constexpr size_t AuthenticationResultsLimit = 256;

TIdAuthenticationResults ParseAuthenticationResults(std::string_view value);

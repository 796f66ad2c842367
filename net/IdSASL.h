#pragma once
// SASL mechanisms (RFC 4422) as POP3's AUTH command (RFC 5034) drives them: the client
// names the mechanism, may send an initial response with it, and answers each challenge
// of the server until the server says "+OK" or "-ERR". Challenges and responses travel
// in base64; a mechanism sees and gives the decoded bytes.
//
// PLAIN is built here; the token mechanisms (XOAUTH2, OAUTHBEARER) in IdSASLOAuth2.h.

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TIdSASLMechanism {
public:
    virtual ~TIdSASLMechanism() = default;
    // The name AUTH sends and CAPA's "SASL" line lists ("PLAIN").
    virtual std::string Name() const = 0;
    // What goes with the AUTH command itself; nothing waits for the first challenge.
    virtual std::optional<std::string> InitialResponse() = 0;
    // The answer to a challenge. A mechanism that has nothing more to say gives an empty
    // answer; a server that goes on after that is answered "*" (the exchange is abandoned).
    virtual std::string Respond(const std::string& challenge) = 0;
    // Whether the secret this mechanism sends may only go over an encrypted connection.
    virtual bool NeedsEncryption() const { return true; }
    // What the server said about a refusal in its last challenge, for the user; empty
    // when it said nothing there.
    virtual std::string RefusalDetail() const { return {}; }
};

// RFC 4616: authorization identity (empty), user name and password in one response.
class TIdSASLPlain : public TIdSASLMechanism {
public:
    TIdSASLPlain(std::string user, std::string password) : FUser(std::move(user)), FPassword(std::move(password)) {}
    std::string Name() const override { return "PLAIN"; }
    std::optional<std::string> InitialResponse() override;
    std::string Respond(const std::string& challenge) override;

private:
    std::string FUser;
    std::string FPassword;
};

// The mechanisms a CAPA line "SASL PLAIN LOGIN" lists (upper case); none for other lines.
std::vector<std::string> SaslMechanismsOfCapability(const std::string& line);

// Base64 without line breaks (RFC 4648), as AUTH's lines carry it.
std::string EncodeSaslBase64(const std::string& bytes);
// Nothing when the text is not base64 (a server that sends garbage as a challenge).
std::optional<std::string> DecodeSaslBase64(const std::string& text);

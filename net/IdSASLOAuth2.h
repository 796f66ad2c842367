#pragma once
// The two SASL mechanisms that log in with an OAuth2 access token instead of a password.
// A refused token comes back as a challenge holding the server's JSON error; the
// mechanism answers it as its mechanism requires, so that the server ends with "-ERR",
// and keeps the decoded error in RefusalDetail for the user.

#include "IdSASL.h"

#include <string>

class TIdSASLTokenMechanism : public TIdSASLMechanism {
public:
    // What the server's error challenge said, decoded: "status 401, schemes bearer" for
    // a JSON object, else the printable part of the text; empty when it sent none.
    std::string RefusalDetail() const override { return FRefusalDetail; }

protected:
    void KeepRefusal(const std::string& challenge);

private:
    std::string FRefusalDetail;
};

// "user=USER^Aauth=Bearer TOKEN^A^A". With twoStep the AUTH command goes alone and the
// token answers the server's empty "+" challenge (the form some servers insist on);
// otherwise it goes with AUTH as the initial response. An error challenge is answered
// with an empty line.
class TIdSASLXOAuth2 : public TIdSASLTokenMechanism {
public:
    TIdSASLXOAuth2(std::string user, std::string token, bool twoStep = false)
        : FUser(std::move(user)), FToken(std::move(token)), FTwoStep(twoStep) {}
    std::string Name() const override { return "XOAUTH2"; }
    std::optional<std::string> InitialResponse() override;
    std::string Respond(const std::string& challenge) override;

private:
    std::string Payload() const;
    std::string FUser;
    std::string FToken;
    bool FTwoStep;
    bool FSent = false;
};

// RFC 7628: "n,a=USER,^Aauth=Bearer TOKEN^A^A" as the initial response; an error
// challenge is answered with a single ^A (%x01), which ends the exchange.
class TIdSASLOAuthBearer : public TIdSASLTokenMechanism {
public:
    TIdSASLOAuthBearer(std::string user, std::string token) : FUser(std::move(user)), FToken(std::move(token)) {}
    std::string Name() const override { return "OAUTHBEARER"; }
    std::optional<std::string> InitialResponse() override;
    std::string Respond(const std::string& challenge) override;

private:
    std::string FUser;
    std::string FToken;
};

#include "IdSASLOAuth2.h"

#include "IdJSON.h"

namespace {

constexpr size_t MaxDetailLength = 300;

// RFC 5801: "," and "=" inside the authorization identity are written =2C and =3D.
std::string SaslName(const std::string& user)
{
    std::string text;
    for (char c : user) {
        if (c == ',')
            text += "=2C";
        else if (c == '=')
            text += "=3D";
        else
            text += c;
    }
    return text;
}

std::string PrintablePart(const std::string& text)
{
    std::string printable;
    for (char c : text) {
        if (printable.size() >= MaxDetailLength)
            break;
        if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F)
            printable += c;
    }
    return printable;
}

} // namespace

void TIdSASLTokenMechanism::KeepRefusal(const std::string& challenge)
{
    const auto members = ParseJsonObject(challenge);
    if (!members) {
        FRefusalDetail = PrintablePart(challenge);
        return;
    }
    std::string detail;
    for (const auto& [name, value] : *members)
        detail += (detail.empty() ? "" : ", ") + PrintablePart(name) + " " + PrintablePart(value);
    FRefusalDetail = detail.substr(0, MaxDetailLength);
}

std::string TIdSASLXOAuth2::Payload() const
{
    return "user=" + FUser + "\x01" "auth=Bearer " + FToken + "\x01\x01";
}

std::optional<std::string> TIdSASLXOAuth2::InitialResponse()
{
    if (FTwoStep)
        return std::nullopt;
    FSent = true;
    return Payload();
}

std::string TIdSASLXOAuth2::Respond(const std::string& challenge)
{
    if (!FSent) {
        FSent = true;
        return Payload();
    }
    KeepRefusal(challenge);
    return {};
}

std::optional<std::string> TIdSASLOAuthBearer::InitialResponse()
{
    return "n,a=" + SaslName(FUser) + ",\x01" "auth=Bearer " + FToken + "\x01\x01";
}

std::string TIdSASLOAuthBearer::Respond(const std::string& challenge)
{
    KeepRefusal(challenge);
    return "\x01";
}

#include "IdSASL.h"

#include <openssl/evp.h>

#include <cctype>
#include <sstream>

std::optional<std::string> TIdSASLPlain::InitialResponse()
{
    return std::string(1, '\0') + FUser + std::string(1, '\0') + FPassword;
}

std::string TIdSASLPlain::Respond(const std::string&)
{
    // Everything was said in the initial response.
    return {};
}

std::vector<std::string> SaslMechanismsOfCapability(const std::string& line)
{
    std::istringstream words(line);
    std::string word;
    words >> word;
    for (char& c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::vector<std::string> mechanisms;
    if (word != "SASL")
        return mechanisms;
    while (words >> word) {
        for (char& c : word)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        mechanisms.push_back(word);
    }
    return mechanisms;
}

std::string EncodeSaslBase64(const std::string& bytes)
{
    std::string text(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    text.resize(static_cast<size_t>(length));
    return text;
}

std::optional<std::string> DecodeSaslBase64(const std::string& text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '/' && c != '=')
            return std::nullopt;
    std::string bytes(text.size() / 4 * 3 + 1, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(bytes.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0)
        return std::nullopt;
    // EVP_DecodeBlock counts the bytes the padding stands for.
    size_t padding = 0;
    for (size_t i = text.size(); i > 0 && text[i - 1] == '=' && padding < 2; --i)
        ++padding;
    bytes.resize(static_cast<size_t>(length) - padding);
    return bytes;
}

#include "OAuth2Providers.h"

#include "Exception.h"
#include "FileContents.h"
#include "FileLocations.h"
#include "udm.h"

#include <filesystem>
#include <map>
#include <sstream>

#ifndef KORMORAN_DATA_DIR_FROM_BIN
#define KORMORAN_DATA_DIR_FROM_BIN "../share/kormoran"
#endif

namespace {

constexpr size_t MaxClientsFileBytes = 256 * 1024;

struct TBuiltIn {
    const char* Name;
    const char* Host;
    const char* AuthorizationUrl;
    const char* TokenUrl;
    const char* DeviceUrl;
    const char* Scope;
    const char* ExtraParameters;
    bool TwoStep;
};

const TBuiltIn BuiltIns[] = {
    {"microsoft", "outlook.office365.com", "https://login.microsoftonline.com/common/oauth2/v2.0/authorize",
     "https://login.microsoftonline.com/common/oauth2/v2.0/token",
     "https://login.microsoftonline.com/common/oauth2/v2.0/devicecode",
     "https://outlook.office.com/POP.AccessAsUser.All offline_access", "", true},
    {"google", "pop.gmail.com", "https://accounts.google.com/o/oauth2/v2/auth", "https://oauth2.googleapis.com/token", "",
     "https://mail.google.com/", "access_type=offline&prompt=consent", false},
    // The issuer is login.seznam.cz; the scope for mail is set where the client is registered.
    {"seznam", "pop3.seznam.cz", "https://login.seznam.cz/api/v1/oauth/auth",
     "https://login.seznam.cz/api/v1/oauth/token", "", "", "", false},
};

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The file's sections in order, each with its "key = value" pairs in order.
using TSection = std::vector<std::pair<std::string, std::string>>;
using TSections = std::vector<std::pair<std::string, TSection>>;

TSections ParseClients(const std::string& text)
{
    TSections sections;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = Trimmed(line);
        if (line.empty() || line.front() == '#' || line.front() == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') {
            sections.emplace_back(Lower(Trimmed(line.substr(1, line.size() - 2))), TSection{});
            continue;
        }
        const size_t equals = line.find('=');
        if (sections.empty() || equals == std::string::npos)
            continue;
        sections.back().second.emplace_back(Lower(Trimmed(line.substr(0, equals))), Trimmed(line.substr(equals + 1)));
    }
    return sections;
}

TSections LoadClients(const std::string& path)
{
    try {
        return ParseClients(ReadFileContents(path, MaxClientsFileBytes).value_or(std::string()));
    } catch (const std::exception&) {
        // An unreadable file is as good as none: the sign-in then asks for a client ID.
        return {};
    }
}

std::string FormatClients(const TSections& sections)
{
    std::string text = "# Kormoran: OAuth2 client registrations (client_id, client_secret) and endpoints.\n";
    for (const auto& [name, entries] : sections) {
        text += "\n[" + name + "]\n";
        for (const auto& [key, value] : entries)
            text += key + " = " + value + "\n";
    }
    return text;
}

const TSection* FindSection(const TSections& sections, const std::string& name)
{
    for (const auto& [sectionName, entries] : sections)
        if (sectionName == Lower(name))
            return &entries;
    return nullptr;
}

void LayOver(TOAuth2ClientEntry& entry, const TSection* section)
{
    if (!section)
        return;
    const std::map<std::string, std::string*> fields = {
        {"client_id", &entry.ClientId},          {"client_secret", &entry.ClientSecret},
        {"authorization_url", &entry.AuthorizationUrl}, {"token_url", &entry.TokenUrl},
        {"device_url", &entry.DeviceUrl},        {"scope", &entry.Scope},
        {"mechanisms", &entry.Mechanisms},
    };
    for (const auto& [key, value] : *section) {
        const auto field = fields.find(key);
        if (field != fields.end() && !value.empty())
            *field->second = value;
    }
}

TSection SectionOf(const TOAuth2ClientEntry& entry)
{
    TSection section;
    for (const auto& [key, value] : {std::pair{"client_id", &entry.ClientId}, std::pair{"client_secret", &entry.ClientSecret},
                                     std::pair{"authorization_url", &entry.AuthorizationUrl},
                                     std::pair{"token_url", &entry.TokenUrl}, std::pair{"device_url", &entry.DeviceUrl},
                                     std::pair{"scope", &entry.Scope}, std::pair{"mechanisms", &entry.Mechanisms}})
        if (value->find_first_of("\r\n") != std::string::npos)
            throw Exception(std::string("Hodnota ") + key + " nesmí obsahovat konec řádku; nic nebylo uloženo.");
        else if (!value->empty())
            section.emplace_back(key, Trimmed(*value));
    return section;
}

const TBuiltIn* BuiltInOfHost(const std::string& host)
{
    for (const TBuiltIn& builtIn : BuiltIns)
        if (Lower(host) == builtIn.Host)
            return &builtIn;
    return nullptr;
}

} // namespace

std::string OAuth2ProviderOf(const std::string& host)
{
    const TBuiltIn* builtIn = BuiltInOfHost(host);
    return builtIn ? builtIn->Name : "custom";
}

std::string OAuth2ClientSection(const std::string& host)
{
    const TBuiltIn* builtIn = BuiltInOfHost(host);
    return builtIn ? builtIn->Name : Lower(host);
}

TOAuth2Client OAuth2ClientFor(const std::string& host)
{
    TOAuth2Client client;
    TOAuth2ClientEntry entry;
    const TBuiltIn* builtIn = BuiltInOfHost(host);
    client.Provider = builtIn ? builtIn->Name : "custom";
    client.Section = OAuth2ClientSection(host);
    client.Mechanisms = {"XOAUTH2", "OAUTHBEARER"};
    if (builtIn) {
        entry.AuthorizationUrl = builtIn->AuthorizationUrl;
        entry.TokenUrl = builtIn->TokenUrl;
        entry.DeviceUrl = builtIn->DeviceUrl;
        entry.Scope = builtIn->Scope;
        client.ExtraAuthorizationParameters = builtIn->ExtraParameters;
        client.TwoStepXOAuth2 = builtIn->TwoStep;
    } else {
        // The standard mechanism first where nobody asks otherwise.
        client.Mechanisms = {"OAUTHBEARER", "XOAUTH2"};
    }
    for (const std::string& path : {SharedOAuth2ClientsPath(), UserOAuth2ClientsPath()}) {
        const TSections sections = LoadClients(path);
        if (builtIn)
            LayOver(entry, FindSection(sections, builtIn->Name));
        LayOver(entry, FindSection(sections, host));
    }
    client.AuthorizationUrl = entry.AuthorizationUrl;
    client.TokenUrl = entry.TokenUrl;
    client.DeviceUrl = entry.DeviceUrl;
    client.Scope = entry.Scope;
    client.ClientId = entry.ClientId;
    client.ClientSecret = entry.ClientSecret;
    if (!entry.Mechanisms.empty()) {
        std::istringstream names(entry.Mechanisms);
        client.Mechanisms.clear();
        for (std::string name; names >> name;)
            client.Mechanisms.push_back(Upper(name));
    }
    return client;
}

TOAuth2ClientEntry ReadUserOAuth2Client(const std::string& section)
{
    TOAuth2ClientEntry entry;
    LayOver(entry, FindSection(LoadClients(UserOAuth2ClientsPath()), section));
    return entry;
}

void WriteUserOAuth2Client(const std::string& section, const TOAuth2ClientEntry& entry)
{
    const std::string path = UserOAuth2ClientsPath();
    // A file that cannot be read is not overwritten blindly.
    TSections sections = ParseClients(ReadFileContents(path, MaxClientsFileBytes).value_or(std::string()));
    const std::string name = Lower(Trimmed(section));
    std::erase_if(sections, [&](const auto& existing) { return existing.first == name; });
    const TSection entries = SectionOf(entry);
    if (!entries.empty())
        sections.emplace_back(name, entries);
    CreateDirectoryFor(path);
    ReplaceFileContents(path, FormatClients(sections), 0600);
}

std::string UserOAuth2ClientsPath()
{
    return ConfigDirectory() + "/oauth-clients";
}

std::string SharedOAuth2ClientsPath()
{
    const std::string besideExecutable = AppFilePath("oauth-clients");
    if (std::filesystem::exists(besideExecutable))
        return besideExecutable;
    return std::filesystem::path(AppFilePath(KORMORAN_DATA_DIR_FROM_BIN "/oauth-clients")).lexically_normal();
}

#include "AccountFile.h"

#include "Convert.h"
#include "Cp1250.h"
#include "FileContents.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Reads lines the way a text file is read line by line: the text ends at the first
// Ctrl+Z, and a last line without a line end still counts.
class TLineReader {
public:
    explicit TLineReader(const std::string& bytes) : FText(Utf8FromCp1250(bytes.substr(0, bytes.find('\x1A')))) {}

    bool AtEnd() const { return FPosition >= FText.size(); }

    std::string ReadLine()
    {
        if (AtEnd())
            return "";
        size_t lf = FText.find('\n', FPosition);
        size_t end = lf == std::string::npos ? FText.size() : lf;
        std::string line = FText.substr(FPosition, end - FPosition);
        if (lf != std::string::npos && !line.empty() && line.back() == '\r')
            line.pop_back();
        FPosition = end + 1;
        return line;
    }

private:
    std::string FText;
    size_t FPosition = 0;
};

// The account file may be in one of several places, so its errors say which file it was.
EInOutError WithPath(const EInOutError& error, const std::string& path)
{
    return EInOutError(error.Message + ": " + path, error.ErrorCode);
}

// A few accounts take a few hundred bytes; anything near this is not an account file
// (a device, a log named by mistake) and is not read into memory.
constexpr size_t MaxAccountFileBytes = 1 << 20;

// Whoever may write into the directory may put their own accounts (and servers) in
// place of the user's, or read the passwords of the next save.
void RefuseSharedDirectory(const std::string& filePath)
{
    const std::string directory = std::filesystem::path(filePath).parent_path().string();
    struct stat status {};
    if (directory.empty() || ::stat(directory.c_str(), &status) != 0)
        return;
    if (status.st_mode & (S_IWGRP | S_IWOTH))
        throw EInOutError("Adresář s účty smí měnit i jiní uživatelé, účty v něm nepoužiji "
                          "(nastavte mu práva 700): " + directory, EACCES);
}

} // namespace

std::vector<TAccountLines> ParseAccounts(const std::string& bytes)
{
    std::vector<TAccountLines> accounts;
    TLineReader reader(bytes);
    while (!reader.AtEnd()) {
        TAccountLines account;
        account.Address = reader.ReadLine();
        account.Host = reader.ReadLine();
        account.User = reader.ReadLine();
        account.Password = reader.ReadLine();
        account.Port = reader.ReadLine();
        accounts.push_back(account);
    }
    return accounts;
}

std::string FormatAccounts(const std::vector<TAccountLines>& accounts)
{
    std::string bytes;
    for (const TAccountLines& account : accounts)
        for (const std::string* line : {&account.Address, &account.Host, &account.User, &account.Password, &account.Port})
            bytes += Cp1250FromUtf8(*line) + "\r\n";
    return bytes;
}

std::vector<TAccountLines> LoadAccountFile(const std::string& path)
{
    RefuseSharedDirectory(path);
    try {
        std::optional<std::string> bytes = ReadFileContents(path, MaxAccountFileBytes);
        return bytes ? ParseAccounts(*bytes) : std::vector<TAccountLines>{};
    } catch (const EInOutError& error) {
        throw WithPath(error, path);
    }
}

std::vector<TAccountLines> LoadExistingAccountFile(const std::string& path)
{
    try {
        std::optional<std::string> bytes = ReadFileContents(path, MaxAccountFileBytes);
        if (!bytes)
            throw EInOutError::FromErrno(ENOENT);
        return ParseAccounts(*bytes);
    } catch (const EInOutError& error) {
        throw WithPath(error, path);
    }
}

void SaveAccountFile(const std::string& path, const std::vector<TAccountLines>& accounts)
{
    try {
        CreateDirectoryFor(path);
    } catch (const EInOutError& error) {
        throw WithPath(error, path);
    }
    RefuseSharedDirectory(path);
    try {
        ReplaceFileContents(path, FormatAccounts(accounts), 0600);
    } catch (const EInOutError& error) {
        throw WithPath(error, path);
    }
}

namespace {

constexpr const char* ImplicitTlsPrefix = "pop3s://";
constexpr const char* StartTlsPrefix = "starttls://";
constexpr const char* OAuth2ImplicitTlsPrefix = "pop3s+oauth2://";
constexpr const char* OAuth2StartTlsPrefix = "starttls+oauth2://";
constexpr const char* OAuth2PlainPrefix = "pop3+oauth2://";
constexpr int32_t ImplicitTlsPort = 995;

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != prefix[i])
            return false;
    }
    return true;
}

struct TPrefix {
    const char* Text;
    TIdConnectionSecurity Security;
    TLoginMethod Login;
};

constexpr TPrefix Prefixes[] = {
    {ImplicitTlsPrefix, csImplicitTls, lmPassword},
    {StartTlsPrefix, csStartTls, lmPassword},
    {OAuth2ImplicitTlsPrefix, csImplicitTls, lmOAuth2},
    {OAuth2StartTlsPrefix, csStartTls, lmOAuth2},
    {OAuth2PlainPrefix, csNone, lmOAuth2},
};

} // namespace

THostLine ParseHostLine(const std::string& line, int32_t port)
{
    for (const TPrefix& prefix : Prefixes)
        if (StartsWithIgnoringCase(line, prefix.Text))
            return {line.substr(std::string_view(prefix.Text).size()), prefix.Security, prefix.Login};
    return {line, port == ImplicitTlsPort ? csImplicitTls : csNone, lmPassword};
}

std::string FormatHostLine(const std::string& host, TIdConnectionSecurity security, TLoginMethod login)
{
    if (login == lmOAuth2) {
        switch (security) {
        case csImplicitTls: return OAuth2ImplicitTlsPrefix + host;
        case csStartTls: return OAuth2StartTlsPrefix + host;
        default: return OAuth2PlainPrefix + host;
        }
    }
    switch (security) {
    case csImplicitTls: return ImplicitTlsPrefix + host;
    case csStartTls: return StartTlsPrefix + host;
    default: return host;
    }
}

TPOP3Rec RecordFromLines(const TAccountLines& lines)
{
    TPOP3Rec account;
    account.Address = lines.Address;
    account.User = lines.User;
    account.Password = lines.Password;
    account.Port = StrToInt(lines.Port);
    const THostLine host = ParseHostLine(lines.Host, account.Port);
    account.Host = host.Host;
    account.Security = host.Security;
    account.Login = host.Login;
    return account;
}

TAccountLines LinesFromRecord(const TPOP3Rec& account)
{
    return {account.Address, FormatHostLine(account.Host, account.Security, account.Login), account.User, account.Password,
            IntToStr(account.Port)};
}

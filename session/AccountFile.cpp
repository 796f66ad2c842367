#include "AccountFile.h"

#include "Convert.h"
#include "Cp1250.h"
#include "FileContents.h"

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
    std::optional<std::string> bytes = ReadFileContents(path);
    return bytes ? ParseAccounts(*bytes) : std::vector<TAccountLines>{};
}

void SaveAccountFile(const std::string& path, const std::vector<TAccountLines>& accounts)
{
    ReplaceFileContents(path, FormatAccounts(accounts), 0600);
}

TPOP3Rec RecordFromLines(const TAccountLines& lines)
{
    TPOP3Rec account;
    account.Address = lines.Address;
    account.Host = lines.Host;
    account.User = lines.User;
    account.Password = lines.Password;
    account.Port = StrToInt(lines.Port);
    return account;
}

TAccountLines LinesFromRecord(const TPOP3Rec& account)
{
    return {account.Address, account.Host, account.User, account.Password, IntToStr(account.Port)};
}

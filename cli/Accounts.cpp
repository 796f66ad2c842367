#include "Accounts.h"

#include "Convert.h"
#include "Cp1250.h"
#include "Exception.h"
#include "FileContents.h"

namespace {

const std::string NoSuchAccount = Cp1250FromUtf8("Účet neexistuje: ");

std::string ReadLine(const std::string& bytes, size_t& position)
{
    if (position >= bytes.size())
        return {};
    size_t end = bytes.find('\n', position);
    if (end == std::string::npos)
        end = bytes.size();
    std::string line = bytes.substr(position, end - position);
    position = end + 1;
    if (!line.empty() && line.back() == '\r' && end < bytes.size())
        line.pop_back();
    return line;
}

} // namespace

std::vector<TCliAccount> ParseAccountFile(const std::string& fileBytes)
{
    const std::string bytes = fileBytes.substr(0, fileBytes.find('\x1A'));
    std::vector<TCliAccount> accounts;
    size_t position = 0;
    while (position < bytes.size()) {
        TCliAccount account;
        for (std::string* field : {&account.Address, &account.Host, &account.User, &account.Password, &account.Port})
            *field = ReadLine(bytes, position);
        accounts.push_back(std::move(account));
    }
    return accounts;
}

std::vector<TCliAccount> ReadAccountFile(const std::string& path)
{
    return ParseAccountFile(ReadFileContents(path).value_or(""));
}

const TCliAccount& SelectAccount(const std::vector<TCliAccount>& accounts, const std::string& account)
{
    const auto position = TryStrToInt(account);
    if (position && account.front() != '$' && *position >= 1 && static_cast<size_t>(*position) <= accounts.size())
        return accounts[*position - 1];
    for (const TCliAccount& candidate : accounts)
        if (candidate.Address == account)
            return candidate;
    throw Exception(NoSuchAccount + account);
}

#include "AccountFile.h"

#include "Convert.h"
#include "Cp1250.h"
#include "Exception.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

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

std::vector<TAccountLines> ParseAccountFile(const std::string& fileBytes)
{
    const std::string bytes = fileBytes.substr(0, fileBytes.find('\x1A'));
    std::vector<TAccountLines> accounts;
    size_t position = 0;
    while (position < bytes.size()) {
        TAccountLines account;
        for (std::string* field : {&account.Address, &account.Host, &account.User, &account.Password, &account.Port})
            *field = ReadLine(bytes, position);
        accounts.push_back(std::move(account));
    }
    return accounts;
}

std::vector<TAccountLines> ReadAccountFile(const std::string& path)
{
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        if (errno == ENOENT)
            return {};
        throw EInOutError::FromErrno(errno);
    }
    std::string bytes;
    char chunk[65536];
    for (;;) {
        const ssize_t count = ::read(handle, chunk, sizeof chunk);
        if (count < 0) {
            const int error = errno;
            ::close(handle);
            throw EInOutError::FromErrno(error);
        }
        if (count == 0)
            break;
        bytes.append(chunk, static_cast<size_t>(count));
    }
    ::close(handle);
    return ParseAccountFile(bytes);
}

const TAccountLines& SelectAccount(const std::vector<TAccountLines>& accounts, const std::string& account)
{
    const auto position = TryStrToInt(account);
    if (position && account.front() != '$' && *position >= 1 && static_cast<size_t>(*position) <= accounts.size())
        return accounts[*position - 1];
    for (const TAccountLines& candidate : accounts)
        if (candidate.Address == account)
            return candidate;
    throw Exception(NoSuchAccount + account);
}

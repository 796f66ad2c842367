#include "AccountUpdate.h"

#include "Exception.h"
#include "FileContents.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

// An exclusive lock on the lock file beside the account file, held while it lives.
class TAccountFileLock {
public:
    explicit TAccountFileLock(const std::string& path)
    {
        const std::string lockPath = path + ".lock";
        try {
            CreateDirectoryFor(lockPath);
        } catch (const EInOutError& error) {
            throw EInOutError(error.Message + ": " + lockPath, error.ErrorCode);
        }
        FFile = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (FFile < 0) {
            const EInOutError error = EInOutError::FromErrno(errno);
            throw EInOutError(error.Message + ": " + lockPath, error.ErrorCode);
        }
        while (::flock(FFile, LOCK_EX) != 0) {
            if (errno != EINTR) {
                const EInOutError error = EInOutError::FromErrno(errno);
                ::close(FFile);
                throw EInOutError(error.Message + ": " + lockPath, error.ErrorCode);
            }
        }
    }
    ~TAccountFileLock() { ::close(FFile); }
    TAccountFileLock(const TAccountFileLock&) = delete;
    TAccountFileLock& operator=(const TAccountFileLock&) = delete;

private:
    int FFile = -1;
};

} // namespace

std::vector<TAccountLines> UpdateAccountFile(const std::string& path, const TAccountChange& change)
{
    TAccountFileLock lock(path);
    std::vector<TAccountLines> accounts = LoadAccountFile(path);
    change(accounts);
    SaveAccountFile(path, accounts);
    return accounts;
}

TAccountChange AddAccountChange(TAccountLines account)
{
    return [account = std::move(account)](std::vector<TAccountLines>& accounts) { accounts.push_back(account); };
}

TAccountChange EditAccountChange(TAccountLines before, TAccountLines after)
{
    return [before = std::move(before), after = std::move(after)](std::vector<TAccountLines>& accounts) {
        const auto found = std::find(accounts.begin(), accounts.end(), before);
        if (found == accounts.end())
            accounts.push_back(after);
        else
            *found = after;
    };
}

TAccountChange DeleteAccountChange(TAccountLines account)
{
    return [account = std::move(account)](std::vector<TAccountLines>& accounts) {
        const auto found = std::find(accounts.begin(), accounts.end(), account);
        if (found != accounts.end())
            accounts.erase(found);
    };
}

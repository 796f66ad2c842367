#include "udm.h"

#include <climits>
#include <unistd.h>

namespace {

std::string AppFileDirectoryOverride;

std::string ExecutableDirectory()
{
    char path[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return ".";
    std::string executable(path, static_cast<size_t>(length));
    return executable.substr(0, executable.rfind('/') + 1);
}

} // namespace

std::string AppFilePath(const std::string& fileName)
{
    std::string path = (AppFileDirectoryOverride.empty() ? ExecutableDirectory() : AppFileDirectoryOverride)
        + "/" + fileName;
    for (size_t pair = path.find("//"); pair != std::string::npos; pair = path.find("//"))
        path.erase(pair, 1);
    return path;
}

void SetAppFileDirectory(const std::string& directory)
{
    AppFileDirectoryOverride = directory;
}

TPOP3Rec NewAccountRecord()
{
    TPOP3Rec account;
    account.Security = csImplicitTls;
    account.Port = 995;
    return account;
}

#include "FileContents.h"

#include "Exception.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseErrno()
{
    throw EInOutError::FromErrno(errno);
}

void WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            RaiseErrno();
        }
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

// Fills and closes the open temporary file; raises with the first errno on the way.
void FillTemporary(int fd, std::string_view bytes, mode_t mode)
{
    try {
        if (::fchmod(fd, mode & 07777) != 0)
            RaiseErrno();
        WriteAll(fd, bytes);
        if (::fsync(fd) != 0)
            RaiseErrno();
    } catch (...) {
        ::close(fd);
        throw;
    }
    if (::close(fd) != 0)
        RaiseErrno();
}

std::string DirectoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a chain of symbolic links ends at (which need not exist yet), so that a
// replacement goes where the link points and the link itself stays.
std::string LinkTarget(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        char target[4096];
        const ssize_t length = ::readlink(current.c_str(), target, sizeof target);
        if (length < 0) {
            if (errno == EINVAL || errno == ENOENT)
                return current;   // not a link, or nothing there yet
            RaiseErrno();
        }
        if (static_cast<size_t>(length) == sizeof target)
            throw EInOutError::FromErrno(ENAMETOOLONG);
        const std::string next(target, static_cast<size_t>(length));
        current = next.front() == '/' ? next : DirectoryOf(current) + "/" + next;
    }
    throw EInOutError::FromErrno(ELOOP);
}

// Makes the rename itself durable: without it a crash can bring back the old file.
void SyncDirectory(const std::string& directory)
{
    const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        RaiseErrno();
    const int result = ::fsync(fd);
    const int error = errno;
    ::close(fd);
    if (result != 0 && error != EINVAL)   // some file systems cannot sync a directory
        throw EInOutError::FromErrno(error);
}

// A symbolic link counts even when what it points to is not there.
bool DirectoryEntryExists(const std::string& path)
{
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

std::optional<std::string> ReadFileContents(const std::string& path, size_t maxBytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return std::nullopt;
        RaiseErrno();
    }
    std::string bytes;
    char buffer[65536];
    for (;;) {
        ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            int error = errno;
            ::close(fd);
            throw EInOutError::FromErrno(error);
        }
        if (count == 0)
            break;
        bytes.append(buffer, static_cast<size_t>(count));
        if (bytes.size() > maxBytes) {
            ::close(fd);
            throw EInOutError("File too large", EFBIG);
        }
    }
    ::close(fd);
    return bytes;
}

void ReplaceFileContents(const std::string& linkOrPath, std::string_view bytes, mode_t mode)
{
    const std::string path = LinkTarget(linkOrPath);
    std::string temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        RaiseErrno();
    try {
        FillTemporary(fd, bytes, mode);
        if (::rename(temporary.c_str(), path.c_str()) != 0)
            RaiseErrno();
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    SyncDirectory(DirectoryOf(path));
}

void CreateDirectoryFor(const std::string& filePath)
{
    const size_t slash = filePath.rfind('/');
    if (slash == std::string::npos || slash == 0)
        return;
    const std::string directory = filePath.substr(0, slash);
    if (DirectoryEntryExists(directory))
        return;
    CreateDirectoryFor(directory);
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
        throw EInOutError::FromErrno(errno);
}

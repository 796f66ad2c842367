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

} // namespace

std::optional<std::string> ReadFileContents(const std::string& path)
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
    }
    ::close(fd);
    return bytes;
}

void ReplaceFileContents(const std::string& path, std::string_view bytes, mode_t mode)
{
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
}

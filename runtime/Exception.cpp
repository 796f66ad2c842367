#include "Exception.h"

#include <cerrno>

EListError EListError::OutOfBounds(long long index)
{
    return EListError("List index out of bounds (" + std::to_string(index) + ")");
}

EInOutError EInOutError::FromErrno(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return EInOutError("File not found", errorNumber);
    case EACCES:
    case EPERM:
    case EROFS:
        return EInOutError("File access denied", errorNumber);
    case ENOSPC:
        return EInOutError("Disk full", errorNumber);
    case EMFILE:
    case ENFILE:
        return EInOutError("Too many open files", errorNumber);
    default:
        return EInOutError("I/O error " + std::to_string(errorNumber), errorNumber);
    }
}

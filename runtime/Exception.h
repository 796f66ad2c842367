#pragma once
// The root of every exception the program raises, and the runtime's own failures.
// Message is the text the user sees in the error box; what() returns it.

#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : Message(std::move(message)) {}
    const char* what() const noexcept override { return Message.c_str(); }

    std::string Message;
};

// Text that is not an integer: "'%s' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// An index outside a list: "List index out of bounds (%d)".
class EListError : public Exception {
public:
    using Exception::Exception;
    static EListError OutOfBounds(long long index);
};

// A failed file operation; ErrorCode is the system's error number.
class EInOutError : public Exception {
public:
    EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
    // "File not found", "File access denied", "Disk full", "Too many open files", else "I/O error %d".
    static EInOutError FromErrno(int errorNumber);

    int ErrorCode;
};

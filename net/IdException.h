#pragma once
// The exceptions of the network and message layers. Classes with a fixed text carry it in
// their default constructor, so `throw EIdNotConnected()` is all a raiser writes.

#include "Exception.h"

#include <cstdint>
#include <string>

class EIdException : public Exception {
public:
    using Exception::Exception;
};

// A failed socket call: "Socket Error # %d", CR LF, the text of the error table.
class EIdSocketError : public EIdException {
public:
    EIdSocketError(int32_t errorNumber, std::string message)
        : EIdException(std::move(message)), ErrorNumber(errorNumber) {}

    int32_t ErrorNumber;
};

// Loading or calling into the system's socket library failed. Title is the library or
// function name, Win32Error the system's error number.
class EIdWS2StubError : public EIdException {
public:
    EIdWS2StubError(std::string message, std::string title, int32_t win32Error)
        : EIdException(std::move(message)), Title(std::move(title)), Win32Error(win32Error) {}
    // "Error on loading Winsock2 library (%s)" with the library name, ": " and the system text.
    static EIdWS2StubError LoadingLibrary(const std::string& library, const std::string& systemText);
    // "Error on call Winsock2 library function %s" with the name, ": " and the system text.
    static EIdWS2StubError CallingFunction(const std::string& function, int32_t win32Error,
                                           const std::string& systemText);

    std::string Title;
    int32_t Win32Error;
};

class EIdStackInitializationFailed : public EIdException {
public:
    EIdStackInitializationFailed() : EIdException("Winsock Initialization Error.") {}
};

class EIdStackSetSizeExceeded : public EIdException {
public:
    EIdStackSetSizeExceeded() : EIdException("Set Size Exceeded.") {}
};

class EIdInvalidSocket : public EIdException {
public:
    EIdInvalidSocket() : EIdException("Cannot allocate socket.") {}
};

class EIdCouldNotBindSocket : public EIdException {
public:
    EIdCouldNotBindSocket() : EIdException("Could not bind socket. Address and port are already in use.") {}
};

class EIdInvalidPortRange : public EIdException {
public:
    EIdInvalidPortRange(int32_t minimum, int32_t maximum)
        : EIdException("Invalid Port Range (" + std::to_string(minimum) + " - " + std::to_string(maximum) + ")") {}
};

class EIdCanNotBindPortInRange : public EIdException {
public:
    EIdCanNotBindPortInRange(int32_t minimum, int32_t maximum)
        : EIdException("Can not bind in port range (" + std::to_string(minimum) + " - " + std::to_string(maximum) + ")") {}
};

// The peer closed the connection and nothing usable is left to read.
class EIdConnClosedGracefully : public EIdException {
public:
    EIdConnClosedGracefully() : EIdException("Connection Closed Gracefully.") {}
};

class EIdAlreadyConnected : public EIdException {
public:
    EIdAlreadyConnected() : EIdException("Already connected.") {}
};

// A connect with a time-out failed; the message is the failure's own.
class EIdConnectException : public EIdException {
public:
    using EIdException::EIdException;
};

// A connect that did not finish within its time-out; with the host the user sees the
// same words as for a silent server.
class EIdConnectTimeout : public EIdException {
public:
    EIdConnectTimeout() : EIdException("Connect timed out.") {}
    explicit EIdConnectTimeout(const std::string& host);
};

// Receive or send on a transport that holds no socket.
class EIdClosedSocket : public EIdException {
public:
    EIdClosedSocket() : EIdException("Disconnected.") {}
};

class EIdNotConnected : public EIdException {
public:
    EIdNotConnected() : EIdException("Not Connected") {}
};

// A wait for data that went past the read time-out: "Read Timeout" on a bare
// connection, "Server neodpovídá: HOST" on a client that knows its host.
class EIdReadTimeout : public EIdException {
public:
    EIdReadTimeout() : EIdException("Read Timeout") {}
    explicit EIdReadTimeout(const std::string& host);
};

// A reply that goes on past what any server sends: more than MaxReplyLines continuation
// lines, or as many blank lines before it.
class EIdReplyTooLong : public EIdException {
public:
    EIdReplyTooLong();
};

class EIdReadLnMaxLineLengthExceeded : public EIdException {
public:
    EIdReadLnMaxLineLengthExceeded() : EIdException("Max line length exceeded.") {}
};

class EIdNotEnoughDataInBuffer : public EIdException {
public:
    EIdNotEnoughDataInBuffer() : EIdException("Not enough data in buffer.") {}
};

class EIdObjectTypeNotSupported : public EIdException {
public:
    EIdObjectTypeNotSupported() : EIdException("Object type not supported.") {}
};

// A reply line read in full that the client cannot classify; the connection is still in
// step with the server.
class EIdReplyNotUnderstood : public EIdException {
public:
    using EIdException::EIdException;
};

// A server reply whose code the caller does not accept; the message is the reply's text.
class EIdProtocolReplyError : public EIdException {
public:
    EIdProtocolReplyError(int32_t replyCode, std::string message)
        : EIdException(std::move(message)), ReplyCode(replyCode) {}

    int32_t ReplyCode;
};

// A reply read from a pipeline that cannot be the answer to the command it stands for;
// the replies are out of step with the commands, so the connection has been dropped.
class EIdReplyOutOfStep : public EIdException {
public:
    EIdReplyOutOfStep(const std::string& command, const std::string& reply)
        : EIdException("Reply out of step: \"" + reply + "\" does not answer \"" + command + "\"") {}
};

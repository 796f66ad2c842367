#pragma once
// A password from outside the account file, for scripts that keep passwords in a
// keyring: the first line a command prints (--password-command), else the environment
// variable KORMORAN_PASSWORD.

#include <cstdint>
#include <optional>
#include <string>

// The first line command writes to standard output, without its line end (UTF-8), run
// by /bin/sh. Raises Exception when the command fails, prints nothing or has not ended
// within timeoutMs; the command and whatever it started are ended in every case.
std::string PasswordFromCommand(const std::string& command, int32_t timeoutMs);
// The same for an OAuth2 access token (--token-command), blanks around it dropped.
std::string TokenFromCommand(const std::string& command, int32_t timeoutMs);
// A keyring that asks for its passphrase needs a person's time, but not for ever.
constexpr int32_t PasswordCommandTimeoutMs = 60000;

// From command when it is not empty, else from KORMORAN_PASSWORD when that is set and
// not empty, else nothing: the account file's password holds.
std::optional<std::string> OutsidePassword(const std::string& command);

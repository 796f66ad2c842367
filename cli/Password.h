#pragma once
// A password from outside the account file, for scripts that keep passwords in a
// keyring: the first line a command prints (--password-command), else the environment
// variable KORMORAN_PASSWORD.

#include <optional>
#include <string>

// The first line command writes to standard output, without its line end (UTF-8), run
// by /bin/sh. Raises Exception when the command fails or prints nothing.
std::string PasswordFromCommand(const std::string& command);

// From command when it is not empty, else from KORMORAN_PASSWORD when that is set and
// not empty, else nothing: the account file's password holds.
std::optional<std::string> OutsidePassword(const std::string& command);

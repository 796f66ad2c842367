#pragma once
// The mailbox session's shared types: the account record and the place of the
// program's own files.

#include <cstdint>
#include <string>

// One POP3 account. Texts are Windows-1250.
struct TPOP3Rec {
    std::string Address;
    std::string Host;
    std::string User;
    std::string Password;
    int32_t Port = 110;
};

// Full path of a file in the executable's directory (accounts.dat, Kormoran.hlp).
std::string AppFilePath(const std::string& fileName);

// Points AppFilePath at another directory; an empty text restores the executable's.
// The tests keep their accounts.dat in temporary directories this way.
void SetAppFileDirectory(const std::string& directory);

#pragma once
// The accounts of accounts.dat as the front end reads them: five lines per account
// (address, host, user, password, port), a line ending at LF with or without a CR
// before it, a byte 26 ending the file, lines missing at the end reading as empty.

#include "Exception.h"

#include <string>
#include <vector>

struct TCliAccount {
    std::string Address;
    std::string Host;
    std::string User;
    std::string Password;
    std::string Port;  // converted only when the account is used
};

// A missing file holds no accounts; a file that cannot be read raises EInOutError.
std::vector<TCliAccount> ReadAccountFile(const std::string& path);
// Parses the bytes of an account file.
std::vector<TCliAccount> ParseAccountFile(const std::string& bytes);

// The account an ACCOUNT argument names: a 1-based position, or else an address (the
// first account with it). Raises a Czech error when there is none.
const TCliAccount& SelectAccount(const std::vector<TCliAccount>& accounts, const std::string& account);

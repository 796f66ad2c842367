#pragma once
// Choosing one of the accounts of accounts.dat from the command line.

#include "AccountFile.h"

#include <string>
#include <vector>

// The account an ACCOUNT argument names: a 1-based position, or else an address (the
// first account with it). Raises a Czech error when there is none.
const TAccountLines& SelectAccount(const std::vector<TAccountLines>& accounts, const std::string& account);

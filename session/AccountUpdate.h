#pragma once
// Changes to the account file from more than one writer (a window, the command line)
// without a lost update: each change is made under a lock on the file as it is now, not
// on a copy some writer read earlier.

#include "AccountFile.h"

#include <functional>
#include <string>
#include <vector>

using TAccountChange = std::function<void(std::vector<TAccountLines>& accounts)>;

// Takes the lock beside path (path + ".lock", waiting for another writer to finish),
// reads the file again, applies change and writes the result. Returns the accounts as
// the file now holds them. Raises what LoadAccountFile and SaveAccountFile raise; a
// change that raises leaves the file as it was.
std::vector<TAccountLines> UpdateAccountFile(const std::string& path, const TAccountChange& change);

// The changes the window makes. An account is found by all its lines, so a change
// meant for one account never lands on another that a second writer put in its place.
TAccountChange AddAccountChange(TAccountLines account);
// Replaces the first account equal to before; when another writer removed it meanwhile,
// the edited account is added, so the edit is not lost.
TAccountChange EditAccountChange(TAccountLines before, TAccountLines after);
// Removes the first account equal to account; nothing when it is gone already.
TAccountChange DeleteAccountChange(TAccountLines account);

#pragma once
// What the last check of each mailbox saw, kept between runs: one small file per mailbox
// in the state directory (FileLocations.h) holding the identity of every message, in
// message order. The window and kormoran-cli keep the same files. A message whose
// identity the previous check did not see is new.

#include "udm.h"

#include <memory>
#include <string>
#include <vector>

// A message's identity: its unique ID, else (a server without UIDL, or an ID it did not
// give) one made of its Message-Id, date and size: "~" and 32 hexadecimal digits.
std::string IdentityOf(const TMessageHeader& record);

struct TLastCheck {
    // Whether a check of the mailbox was kept and could be read.
    bool Known = false;
    // Message n's identity at index n - 1.
    std::vector<std::string> Identities;
    // Why the file was not used (damaged, another mailbox's, another version), else empty.
    std::string Note;
};

// The last check of the mailbox session logs in to. Never raises.
TLastCheck ReadLastCheck(const TPOP3& session);

// Marks the records New that the previous check of the mailbox did not see (a message
// whose identity another record shares is never new) and keeps this check as the last
// one; the previous file stays whole until the new one has been written. Never raises:
// returns a note for the user when the previous check could not be read or this one not
// kept, else an empty text.
std::string RememberCheck(const TPOP3& session, const std::vector<std::shared_ptr<TMessageHeader>>& records);

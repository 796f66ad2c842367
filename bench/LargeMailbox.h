#pragma once
// A large mailbox on a private Dovecot for the benchmarks at scale: every message has a
// header block of 660 bytes (with its blank line), as delivered mail has today.

#include "PrivatePop3Server.h"
#include "TemporaryDirectory.h"

#include <memory>
#include <string>

constexpr size_t LargeMailboxHeaderBytes = 660;

// Message number `number` of the mailbox, CR LF line ends.
std::string LargeMailboxMessage(int number);

struct TLargeMailbox {
    std::unique_ptr<PrivatePop3Server> Server;
    TTemporaryDirectory Directory;
    // An accounts.dat with the one account of the server, for kormoran-cli --accounts.
    std::string Accounts;
};

// A new mailbox of count messages. Dovecot builds its index at the first check; the
// caller makes one before measuring.
std::unique_ptr<TLargeMailbox> NewLargeMailbox(int count);

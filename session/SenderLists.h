#pragma once
// The senders the user always trusts and those always suspicious, each an address or a
// whole domain ("@example.cz"). Kept in senders.txt of the configuration directory, one
// entry a line: "allow " or "suspect " and the entry. An address entry outweighs its
// domain's. Texts are UTF-8.

#include "Verdict.h"

#include <map>
#include <string>

enum TSenderStanding { ssUnlisted, ssAllowed, ssSuspicious };

class TSenderLists {
public:
    // The lists in the file; empty when it does not exist. Lines it does not know are
    // skipped. Raises EInOutError when the file cannot be read.
    static TSenderLists Load(const std::string& path);
    // Replaces the file; raises EInOutError.
    void Save(const std::string& path) const;

    // Puts the address, or "@" and a domain, on one list and takes it off the other.
    void Set(const std::string& entry, TSenderStanding standing);
    TSenderStanding StandingOf(const std::string& address) const;

private:
    TSenderStanding Lookup(const std::string& entry) const;
    // Lower-case entries.
    std::map<std::string, TSenderStanding> FEntries;
};

// The entry that stands for a sender's whole domain: "@" and the domain.
std::string DomainEntry(const std::string& address);

// What "Vybrat podezřelé" selects: a message flagged as spam, one that failed
// authentication, or one from a suspicious sender; never one from a trusted sender.
bool CountsAsSuspicious(const TVerdictMarks& verdict, TSenderStanding standing);

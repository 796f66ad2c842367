#pragma once
// What the header block of a message says about it before it is downloaded: whether the
// receiving server could confirm the sender (the topmost Authentication-Results), what a
// spam filter thought (X-Spam-*), and signs that the sender pretends to be someone else.
// Every finding names the header it comes from; nothing is guessed. Texts are UTF-8.

#include "IdMessage.h"

#include <optional>
#include <string>
#include <vector>

enum TAuthVerdict { avNone, avVerified, avFailed };

// The verdict without its reasons: what a check keeps for every message, a few bytes.
struct TVerdictMarks {
    TAuthVerdict Auth = avNone;
    std::optional<bool> Spam;
    std::optional<double> SpamScore;

    // The "Ověření" column: "ověřeno", "selhalo" or "–".
    std::string AuthText() const;
    // The "Spam" column: "ano 7.3", "ne -1.9", "7.3", or empty.
    std::string SpamText() const;
    // Flagged as spam or failed authentication.
    bool Flagged() const { return Auth == avFailed || Spam.value_or(false); }
};

struct TVerdict : TVerdictMarks {
    // What the authentication result was read from: "Authentication-Results (mx.example.cz):
    // dmarc=pass, dkim=pass (header.d=example.cz), spf=pass"; empty without one.
    std::string AuthSource;
    // "X-Spam-Status: Yes, score=7.3"; empty without spam headers.
    std::string SpamSource;
    // Signs of deception, each saying which header said what.
    std::vector<std::string> Warnings;

    // The verdict lines above a message's text and in a row's tooltip; none when the
    // header block says nothing of this kind.
    std::vector<std::string> Lines() const;
};

// withReasons false leaves AuthSource, SpamSource and Warnings empty: what a check keeps
// for every message costs no texts, which are read again when they are shown.
TVerdict JudgeMessage(const TIdMessage& message, bool withReasons = true);

// The domain of an address, lower case: the text after its last "@"; empty without one.
std::string AddressDomain(const std::string& address);

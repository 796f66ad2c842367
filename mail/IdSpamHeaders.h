#pragma once
// What a spam filter on the way wrote into the header block: X-Spam-Flag (YES/NO),
// X-Spam-Status ("Yes, score=7.3 required=5.0 tests=..."), X-Spam-Score (a number) and
// X-Spam-Level (one "*" per point). The topmost header of each name counts: the
// receiving server adds its own above whatever the sender wrote. Nothing here raises.

#include "IdHeaderList.h"

#include <optional>
#include <string>

struct TIdSpamReport {
    // Which header gave the flag, and its value: "X-Spam-Flag", "YES".
    std::optional<bool> Flagged;
    std::string FlagHeader;
    std::string FlagValue;
    std::optional<double> Score;
    std::string ScoreHeader;
};

// The number a text begins with ("-1.9", "7.3 (*******)", "+0.5"), or nothing: a
// value that is no number, not finite, or beyond a million.
std::optional<double> LeadingScore(std::string_view text);

TIdSpamReport ReadSpamHeaders(const TIdHeaderList& headers);

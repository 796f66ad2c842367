#pragma once
// One message of a check as one line of JSON, for scripts and status bars.

#include "udm.h"

#include <string>

// {"account":…,"number":…,"uid":…,"new":…,"date":…,"size":…,"from":…,"to":…,"subject":…,"id":…}
// on one line; the date in ISO 8601 ("2026-01-05T08:12:00+01:00"), null without one; uid
// null when the server gave none.
std::string JsonLine(const TMessageHeader& record, const std::string& account);

// text as a JSON string, quotes included; control characters escaped.
std::string JsonString(const std::string& text);

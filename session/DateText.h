#pragma once
// A message date as the header list shows it, in the user's regional formats.

#include <string>

// date: days since 30 December 1899, the fraction being the time of day.
// The short date format (year always in four digits), then, unless the time of day is
// exactly midnight, one blank and the long time format (without a time-zone name).
// A message without a usable date (0) gives an empty text.
std::string DateTimeText(double date);

// The same date for scripts, whatever the locale: "2026-01-05 08:12:00 +0100", with the
// local zone's offset from UTC at that time. A message without a date (0) gives an empty text.
std::string IsoDateTimeText(double date);

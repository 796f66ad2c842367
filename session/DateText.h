#pragma once
// A message date as the header list shows it, in the user's regional formats.

#include <string>

// date: days since 30 December 1899, the fraction being the time of day.
// The short date format (year always in four digits), then, unless the time of day is
// exactly midnight, one blank and the long time format (without a time-zone name).
std::string DateTimeText(double date);

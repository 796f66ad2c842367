#pragma once
// The progress bar's rule for a work notification.

#include <cstdint>

// The position the bar moves to when the session reports count bytes: count itself
// while it fits within the bar; otherwise one step on, and back to the minimum after
// the maximum, so that a count far beyond the bar still shows that work goes on.
int SteppedPosition(int position, int minimum, int maximum, int64_t count);

#include "DateText.h"

#include <cstdio>

// The program shows dates in the desktop's regional format, which needs Qt; the
// harnesses have none, and the shape of a message's text does not depend on the format.
std::string DateTimeText(double date)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.5f", date);
    return text;
}
